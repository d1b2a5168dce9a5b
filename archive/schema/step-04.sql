-- Version 4: the plate or VIN and the inspector's name, typed in the archive window.
-- floor: 4
ALTER TABLE inspection ADD COLUMN plate TEXT NOT NULL DEFAULT '';
ALTER TABLE inspection ADD COLUMN inspector TEXT NOT NULL DEFAULT '';
