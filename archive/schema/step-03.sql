-- Version 3: how many times the inspection was stored (a replay never
-- replaces a later store), and the limits its verdicts were given with.
-- floor: 3
ALTER TABLE inspection ADD COLUMN revision INTEGER NOT NULL DEFAULT 1;
ALTER TABLE inspection ADD COLUMN fe_thin_below INTEGER;
ALTER TABLE inspection ADD COLUMN fe_factory_up_to INTEGER;
ALTER TABLE inspection ADD COLUMN fe_repainted_up_to INTEGER;
ALTER TABLE inspection ADD COLUMN al_thin_below INTEGER;
ALTER TABLE inspection ADD COLUMN al_factory_up_to INTEGER;
ALTER TABLE inspection ADD COLUMN al_repainted_up_to INTEGER;
