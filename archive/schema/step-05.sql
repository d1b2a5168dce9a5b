-- Version 5: what a large archive needs to stay quick. The worst verdict
-- (0 none, 1 factory, 2 thin, 3 repainted, 4 filler) under the limits stored
-- with the inspection (none without valid ones), so that the list filters and
-- sorts by it through an index; which write touched the row last, so that
-- the window notices a store of an older inspection or a plate typed
-- elsewhere; per point of each inspection the count, sum, sum of squares,
-- lowest and highest reading, so that statistics over many inspections read
-- one row per point instead of every reading; an index for each filter and
-- sort of the list, each ending in the moment and the id that break ties.
-- floor: 5
ALTER TABLE inspection ADD COLUMN worst INTEGER;
ALTER TABLE inspection ADD COLUMN changed BIGINT NOT NULL DEFAULT 0;
UPDATE inspection SET changed = id;
CREATE INDEX inspection_changed ON inspection (changed);
UPDATE inspection SET worst = {greatest}(
    CASE WHEN fe_min IS NULL OR fe_max IS NULL THEN 0 WHEN fe_max > fe_repainted_up_to THEN 4
        WHEN fe_max > fe_factory_up_to THEN 3 WHEN fe_min < fe_thin_below THEN 2 ELSE 1 END,
    CASE WHEN al_min IS NULL OR al_max IS NULL THEN 0 WHEN al_max > al_repainted_up_to THEN 4
        WHEN al_max > al_factory_up_to THEN 3 WHEN al_min < al_thin_below THEN 2 ELSE 1 END)
  WHERE (fe_thin_below >= 0 AND fe_thin_below <= fe_factory_up_to
        AND fe_factory_up_to < fe_repainted_up_to AND fe_repainted_up_to < 65535)
    AND (al_thin_below >= 0 AND al_thin_below <= al_factory_up_to
        AND al_factory_up_to < al_repainted_up_to AND al_repainted_up_to < 65535);
CREATE TABLE point_summary (inspection_id BIGINT NOT NULL, point INTEGER NOT NULL,
    n INTEGER NOT NULL, total BIGINT NOT NULL, squares BIGINT NOT NULL,
    minimum INTEGER NOT NULL, maximum INTEGER NOT NULL,
    PRIMARY KEY (inspection_id, point)){clustered};
INSERT INTO point_summary (inspection_id, point, n, total, squares, minimum, maximum)
  SELECT inspection_id, point, COUNT(*), SUM(value), SUM(CAST(value AS BIGINT) * value),
      MIN(value), MAX(value)
    FROM reading WHERE point >= 0 AND point < 23 AND value >= 0 AND value <= 65535
    GROUP BY inspection_id, point;
DROP INDEX inspection_started;
DROP INDEX inspection_category;
CREATE INDEX inspection_by_started ON inspection (started_ms, id);
CREATE INDEX inspection_by_category ON inspection (category{bytewise}, started_ms, id);
CREATE INDEX inspection_by_station ON inspection (station{bytewise}, started_ms, id);
CREATE INDEX inspection_by_worst ON inspection (worst, started_ms, id);
CREATE INDEX inspection_by_points ON inspection (points_measured, started_ms, id);
CREATE INDEX inspection_by_reading ON inspection (reading_count, started_ms, id);
