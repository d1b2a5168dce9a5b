-- Version 6: per-point sums of each station's UTC days (span 1, bucket: the
-- day since 1970) and blocks of 32 UTC days (span 32), split by category, by
-- stored worst verdict (-1: none stored) or by both as the grain says (bit 0
-- category, bit 1 verdict; a column the grain does not split by holds '' or
-- -1); point -1 counts the inspections of its bucket.
-- floor: 6
CREATE TABLE point_rollup (grain INTEGER NOT NULL, category TEXT NOT NULL,
    worst INTEGER NOT NULL, span INTEGER NOT NULL, bucket BIGINT NOT NULL,
    station TEXT NOT NULL, point INTEGER NOT NULL, n BIGINT NOT NULL, total BIGINT NOT NULL,
    squares BIGINT NOT NULL, minimum INTEGER NOT NULL, maximum INTEGER NOT NULL,
    PRIMARY KEY (grain, category, worst, span, bucket, station, point)){clustered};
INSERT INTO point_rollup (grain, category, worst, span, bucket, station, point,
    n, total, squares, minimum, maximum)
  SELECT 3, i.category, COALESCE(i.worst, -1), 1, i.started_ms / 86400000, i.station,
      s.point, SUM(s.n), SUM(s.total), SUM(s.squares), MIN(s.minimum), MAX(s.maximum)
    FROM inspection i JOIN point_summary s ON s.inspection_id = i.id
    WHERE i.started_ms >= 0 GROUP BY 1, 2, 3, 4, 5, 6, 7
  UNION ALL
  SELECT 3, i.category, COALESCE(i.worst, -1), 1, i.started_ms / 86400000, i.station,
      -1, COUNT(*), 0, 0, 0, 0
    FROM inspection i WHERE i.started_ms >= 0 GROUP BY 1, 2, 3, 4, 5, 6
  ORDER BY 1, 2, 3, 4, 5, 6, 7;
INSERT INTO point_rollup (grain, category, worst, span, bucket, station, point,
    n, total, squares, minimum, maximum)
  SELECT g.grain, CASE WHEN g.grain = 1 THEN r.category ELSE '' END,
      CASE WHEN g.grain = 2 THEN r.worst ELSE -1 END, 1, r.bucket, r.station, r.point,
      SUM(r.n), SUM(r.total), SUM(r.squares), MIN(r.minimum), MAX(r.maximum)
    FROM point_rollup r CROSS JOIN (SELECT 0 AS grain UNION ALL SELECT 1 UNION ALL SELECT 2) g
    WHERE r.grain = 3 AND r.span = 1 GROUP BY 1, 2, 3, 5, 6, 7 ORDER BY 1, 2, 3, 5, 6, 7;
INSERT INTO point_rollup (grain, category, worst, span, bucket, station, point,
    n, total, squares, minimum, maximum)
  SELECT grain, category, worst, 32, bucket / 32, station, point,
      SUM(n), SUM(total), SUM(squares), MIN(minimum), MAX(maximum)
    FROM point_rollup WHERE span = 1
    GROUP BY grain, category, worst, bucket / 32, station, point
    ORDER BY grain, category, worst, bucket / 32, station, point;
CREATE INDEX point_rollup_by_station ON point_rollup (station, span, bucket);
