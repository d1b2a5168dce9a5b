-- Version 7: the plate and the VIN apart (a VIN typed into the one field of
-- earlier versions moves over: 17 characters of the VIN alphabet), the make
-- and model and the odometer reading typed in the archive window, a search of
-- plate and VIN by their beginning (blanks and hyphens left out), and the
-- oldest version whose programs may still store into the archive beside its
-- version. The list's columns and stored verdict of an inspection holding
-- readings no program of ours writes (off the catalogue, out of range), as a
-- first-version archive may, are made again from its other readings.
-- floor: 7
ALTER TABLE inspection ADD COLUMN vin TEXT NOT NULL DEFAULT '';
ALTER TABLE inspection ADD COLUMN make_model TEXT NOT NULL DEFAULT '';
ALTER TABLE inspection ADD COLUMN odometer_km INTEGER;
UPDATE inspection SET vin = plate, plate = ''
  WHERE length(plate) = 17 AND trim(plate, '0123456789ABCDEFGHJKLMNPRSTUVWXYZ') = '';
CREATE INDEX inspection_by_plate ON inspection
    ((replace(replace(plate, ' ', ''), '-', '')){bytewise}) WHERE plate <> '';
CREATE INDEX inspection_by_vin ON inspection (vin{bytewise}) WHERE vin <> '';
{sqlite} CREATE TABLE archive_schema (version INTEGER NOT NULL);
ALTER TABLE archive_schema ADD COLUMN floor INTEGER NOT NULL DEFAULT 7;
UPDATE inspection SET
    points_measured = (SELECT COUNT(DISTINCT point) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535),
    reading_count = (SELECT COUNT(*) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535),
    fe_min = (SELECT MIN(value) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535 AND substrate = 'FE'),
    fe_max = (SELECT MAX(value) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535 AND substrate = 'FE'),
    al_min = (SELECT MIN(value) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535 AND substrate = 'AL'),
    al_max = (SELECT MAX(value) FROM reading r WHERE r.inspection_id = inspection.id
        AND point >= 0 AND point < 23 AND value >= 0 AND value <= 65535 AND substrate = 'AL')
  WHERE id IN (SELECT inspection_id FROM reading
      WHERE point < 0 OR point >= 23 OR value < 0 OR value > 65535);
UPDATE inspection SET worst = {greatest}(
    CASE WHEN fe_min IS NULL OR fe_max IS NULL THEN 0 WHEN fe_max > fe_repainted_up_to THEN 4
        WHEN fe_max > fe_factory_up_to THEN 3 WHEN fe_min < fe_thin_below THEN 2 ELSE 1 END,
    CASE WHEN al_min IS NULL OR al_max IS NULL THEN 0 WHEN al_max > al_repainted_up_to THEN 4
        WHEN al_max > al_factory_up_to THEN 3 WHEN al_min < al_thin_below THEN 2 ELSE 1 END)
  WHERE worst IS NOT NULL AND id IN (SELECT inspection_id FROM reading
      WHERE point < 0 OR point >= 23 OR value < 0 OR value > 65535);
