-- The archive's tables as this program makes them in a new archive: the
-- state the steps step-01.sql ... of the same version leave an older
-- archive in (a test holds the two alike). One definition for both
-- engines; the words in braces are their differences:
--   {id}          SQLite: INTEGER PRIMARY KEY    PostgreSQL: BIGSERIAL PRIMARY KEY
--   {clustered}   SQLite: WITHOUT ROWID (rows kept in the order of their key)
--                 PostgreSQL: nothing
--   {bytewise}    SQLite: nothing (its texts compare by code point anyway)
--                 PostgreSQL: COLLATE "C" (not the server's locale)
--   {greatest}    SQLite: MAX                    PostgreSQL: GREATEST
--   {least}       SQLite: MIN                    PostgreSQL: LEAST
-- and a statement that starts with {sqlite} or {postgresql} is that engine's
-- alone. Statements end with ';' at the end of a line; lines starting with
-- "--" are comments. Times are ms since 1970 (UTC); a verdict is 0 none,
-- 1 factory paint, 2 suspiciously thin, 3 repainted, 4 filler.

-- One row per inspection, with what the list shows and filters by.
CREATE TABLE inspection (
    id {id},
    uid TEXT NOT NULL UNIQUE,           -- the same inspection stored again keeps it
    started_ms BIGINT NOT NULL,
    ended_ms BIGINT NOT NULL,
    category TEXT NOT NULL DEFAULT '',  -- as the inspection program sent it
    station TEXT NOT NULL DEFAULT '',
    points_measured INTEGER NOT NULL DEFAULT 0,
    reading_count INTEGER NOT NULL DEFAULT 0,
    fe_min INTEGER, fe_max INTEGER,     -- lowest and highest reading per substrate
    al_min INTEGER, al_max INTEGER,
    revision INTEGER NOT NULL DEFAULT 1, -- a replay never replaces a later store
    fe_thin_below INTEGER, fe_factory_up_to INTEGER, fe_repainted_up_to INTEGER,
    al_thin_below INTEGER, al_factory_up_to INTEGER, al_repainted_up_to INTEGER,
    plate TEXT NOT NULL DEFAULT '',     -- typed in the archive window, as the rest below
    inspector TEXT NOT NULL DEFAULT '',
    worst INTEGER,                      -- under the limits above; none without them
    changed BIGINT NOT NULL DEFAULT 0,  -- the mark of the write that touched it last
    vin TEXT NOT NULL DEFAULT '',
    make_model TEXT NOT NULL DEFAULT '',
    odometer_km INTEGER,
    interrupted INTEGER                 -- 1: kept from its journal after a forced end
);
CREATE INDEX inspection_ended ON inspection (ended_ms);
CREATE INDEX inspection_changed ON inspection (changed);
-- One for each filter and sort of the list, ending in the moment and the id
-- that break ties.
CREATE INDEX inspection_by_started ON inspection (started_ms, id);
CREATE INDEX inspection_by_category ON inspection (category{bytewise}, started_ms, id);
CREATE INDEX inspection_by_station ON inspection (station{bytewise}, started_ms, id);
CREATE INDEX inspection_by_worst ON inspection (worst, started_ms, id);
CREATE INDEX inspection_by_points ON inspection (points_measured, started_ms, id);
CREATE INDEX inspection_by_reading ON inspection (reading_count, started_ms, id);
-- The search by the beginning of a plate or a VIN.
CREATE INDEX inspection_by_plate ON inspection
    ((replace(replace(plate, ' ', ''), '-', '')){bytewise}) WHERE plate <> '';
CREATE INDEX inspection_by_vin ON inspection (vin{bytewise}) WHERE vin <> '';

-- The plan: the 23 points in the user's order, ticked or not.
CREATE TABLE plan_point (inspection_id BIGINT NOT NULL, position INTEGER NOT NULL,
    point INTEGER NOT NULL, ticked INTEGER NOT NULL,
    PRIMARY KEY (inspection_id, position)){clustered};
-- Every reading in the order taken: substrate 'FE' or 'AL', value in µm,
-- typed 1 for a value typed by hand.
CREATE TABLE reading (inspection_id BIGINT NOT NULL, seq INTEGER NOT NULL,
    point INTEGER NOT NULL, substrate TEXT NOT NULL, value INTEGER NOT NULL,
    typed INTEGER NOT NULL, taken_ms BIGINT NOT NULL,
    PRIMARY KEY (inspection_id, seq)){clustered};
-- The points handed over to the inspection program, and when.
CREATE TABLE sent_point (inspection_id BIGINT NOT NULL, point INTEGER NOT NULL,
    sent_ms BIGINT NOT NULL, PRIMARY KEY (inspection_id, point)){clustered};

-- The statistics' sums: per point, the readings of the inspections of one
-- station, category and stored verdict (-1: none stored) started in one UTC
-- day (span 1, bucket: the day since 1970) or one block of 32 UTC days (span
-- 32): how many, their sum, sum of squares, lowest and highest; point -1
-- counts the inspections. Station and category are numbers of label (kind 0
-- a station, 1 a category). The ends of a range are summed from the readings.
CREATE TABLE label (id {id}, kind INTEGER NOT NULL, name TEXT NOT NULL, UNIQUE (kind, name));
CREATE TABLE point_sums (bucket INTEGER NOT NULL, station INTEGER NOT NULL,
    category INTEGER NOT NULL, span SMALLINT NOT NULL, worst SMALLINT NOT NULL,
    point SMALLINT NOT NULL, n INTEGER NOT NULL, minimum INTEGER NOT NULL,
    maximum INTEGER NOT NULL, total BIGINT NOT NULL, squares BIGINT NOT NULL,
    PRIMARY KEY (span, bucket, station, category, worst, point)){clustered};

-- The schema's version (SQLite: also PRAGMA user_version, which programs
-- before version 7 read), and the oldest version whose programs may still
-- store into it (the default is history's: the version that added it).
CREATE TABLE archive_schema (version INTEGER NOT NULL, floor INTEGER NOT NULL DEFAULT 7);
