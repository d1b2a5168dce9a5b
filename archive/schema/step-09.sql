-- Version 9: an inspection kept from its journal after its program ended by
-- force before it was finished: interrupted 1; none (NULL) for the others.
-- Programs of version 8 store beside it (theirs are none).
-- floor: 8
ALTER TABLE inspection ADD COLUMN interrupted INTEGER;
