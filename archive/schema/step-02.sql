-- Version 2: what the list of inspections shows, kept beside each inspection
-- so that the list never reads the readings; the station that measured.
-- floor: 2
ALTER TABLE inspection ADD COLUMN station TEXT NOT NULL DEFAULT '';
ALTER TABLE inspection ADD COLUMN points_measured INTEGER NOT NULL DEFAULT 0;
ALTER TABLE inspection ADD COLUMN reading_count INTEGER NOT NULL DEFAULT 0;
ALTER TABLE inspection ADD COLUMN fe_min INTEGER;
ALTER TABLE inspection ADD COLUMN fe_max INTEGER;
ALTER TABLE inspection ADD COLUMN al_min INTEGER;
ALTER TABLE inspection ADD COLUMN al_max INTEGER;
UPDATE inspection SET
    points_measured = (SELECT COUNT(DISTINCT point) FROM reading r WHERE r.inspection_id = inspection.id),
    reading_count = (SELECT COUNT(*) FROM reading r WHERE r.inspection_id = inspection.id),
    fe_min = (SELECT MIN(value) FROM reading r WHERE r.inspection_id = inspection.id AND substrate = 'FE'),
    fe_max = (SELECT MAX(value) FROM reading r WHERE r.inspection_id = inspection.id AND substrate = 'FE'),
    al_min = (SELECT MIN(value) FROM reading r WHERE r.inspection_id = inspection.id AND substrate = 'AL'),
    al_max = (SELECT MAX(value) FROM reading r WHERE r.inspection_id = inspection.id AND substrate = 'AL');
CREATE INDEX inspection_category ON inspection (category, started_ms);
CREATE INDEX inspection_ended ON inspection (ended_ms);
