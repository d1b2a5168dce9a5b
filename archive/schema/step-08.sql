-- Version 8: the statistics' sums in a lean shape. Per point, the readings
-- of the inspections of one station, category and stored verdict (-1: none
-- stored) started in one UTC day (span 1, bucket: the day since 1970) or in
-- one block of 32 UTC days (span 32), summed; point -1 counts the
-- inspections. Station and category are numbers of the table label (kind 0
-- a station, 1 a category). The hours at the ends of a range are summed from
-- the readings, so the sums of each inspection go. SQLite keeps the plan,
-- the readings and the handed-over points in the order of their key.
-- Programs before this version write the sums this step drops.
-- floor: 8
DROP TABLE point_rollup;
DROP TABLE point_summary;
CREATE TABLE label (id {id}, kind INTEGER NOT NULL, name TEXT NOT NULL, UNIQUE (kind, name));
INSERT INTO label (kind, name) SELECT DISTINCT 0, station FROM inspection;
INSERT INTO label (kind, name) SELECT DISTINCT 1, category FROM inspection;
CREATE TABLE point_sums (bucket INTEGER NOT NULL, station INTEGER NOT NULL,
    category INTEGER NOT NULL, span SMALLINT NOT NULL, worst SMALLINT NOT NULL,
    point SMALLINT NOT NULL, n INTEGER NOT NULL, minimum INTEGER NOT NULL,
    maximum INTEGER NOT NULL, total BIGINT NOT NULL, squares BIGINT NOT NULL,
    PRIMARY KEY (span, bucket, station, category, worst, point)){clustered};
INSERT INTO point_sums (span, bucket, station, category, worst, point,
    n, total, squares, minimum, maximum)
  SELECT 1, i.started_ms / 86400000, s.id, c.id, COALESCE(i.worst, -1), r.point,
      COUNT(*), SUM(r.value), SUM(CAST(r.value AS BIGINT) * r.value), MIN(r.value), MAX(r.value)
    FROM reading r JOIN inspection i ON i.id = r.inspection_id
      JOIN label s ON s.kind = 0 AND s.name = i.station
      JOIN label c ON c.kind = 1 AND c.name = i.category
    WHERE i.started_ms >= 0 AND r.point >= 0 AND r.point < 23
      AND r.value >= 0 AND r.value <= 65535
    GROUP BY 1, 2, 3, 4, 5, 6
  UNION ALL
  SELECT 1, i.started_ms / 86400000, s.id, c.id, COALESCE(i.worst, -1), -1, COUNT(*), 0, 0, 0, 0
    FROM inspection i JOIN label s ON s.kind = 0 AND s.name = i.station
      JOIN label c ON c.kind = 1 AND c.name = i.category
    WHERE i.started_ms >= 0 GROUP BY 1, 2, 3, 4, 5;
INSERT INTO point_sums (span, bucket, station, category, worst, point,
    n, total, squares, minimum, maximum)
  SELECT 32, bucket / 32, station, category, worst, point,
      SUM(n), SUM(total), SUM(squares), MIN(minimum), MAX(maximum)
    FROM point_sums WHERE span = 1 GROUP BY 2, 3, 4, 5, 6;
{sqlite} CREATE TABLE plan_point_sorted (inspection_id BIGINT NOT NULL,
    position INTEGER NOT NULL, point INTEGER NOT NULL, ticked INTEGER NOT NULL,
    PRIMARY KEY (inspection_id, position)) WITHOUT ROWID;
{sqlite} INSERT INTO plan_point_sorted SELECT inspection_id, position, point, ticked
    FROM plan_point;
{sqlite} DROP TABLE plan_point;
{sqlite} ALTER TABLE plan_point_sorted RENAME TO plan_point;
{sqlite} CREATE TABLE reading_sorted (inspection_id BIGINT NOT NULL, seq INTEGER NOT NULL,
    point INTEGER NOT NULL, substrate TEXT NOT NULL, value INTEGER NOT NULL,
    typed INTEGER NOT NULL, taken_ms BIGINT NOT NULL,
    PRIMARY KEY (inspection_id, seq)) WITHOUT ROWID;
{sqlite} INSERT INTO reading_sorted SELECT inspection_id, seq, point, substrate, value, typed,
    taken_ms FROM reading;
{sqlite} DROP TABLE reading;
{sqlite} ALTER TABLE reading_sorted RENAME TO reading;
{sqlite} CREATE TABLE sent_point_sorted (inspection_id BIGINT NOT NULL,
    point INTEGER NOT NULL, sent_ms BIGINT NOT NULL,
    PRIMARY KEY (inspection_id, point)) WITHOUT ROWID;
{sqlite} INSERT INTO sent_point_sorted SELECT inspection_id, point, sent_ms FROM sent_point;
{sqlite} DROP TABLE sent_point;
{sqlite} ALTER TABLE sent_point_sorted RENAME TO sent_point;
