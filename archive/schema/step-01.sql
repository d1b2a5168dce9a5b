-- Version 1: the inspections, their plans, readings and handed-over points.
-- floor: 1
CREATE TABLE inspection (id {id}, uid TEXT NOT NULL UNIQUE, started_ms BIGINT NOT NULL,
    ended_ms BIGINT NOT NULL, category TEXT NOT NULL DEFAULT '');
CREATE INDEX inspection_started ON inspection (started_ms);
CREATE TABLE plan_point (inspection_id BIGINT NOT NULL, position INTEGER NOT NULL,
    point INTEGER NOT NULL, ticked INTEGER NOT NULL, PRIMARY KEY (inspection_id, position));
CREATE TABLE reading (inspection_id BIGINT NOT NULL, seq INTEGER NOT NULL,
    point INTEGER NOT NULL, substrate TEXT NOT NULL, value INTEGER NOT NULL,
    typed INTEGER NOT NULL, taken_ms BIGINT NOT NULL, PRIMARY KEY (inspection_id, seq));
CREATE TABLE sent_point (inspection_id BIGINT NOT NULL, point INTEGER NOT NULL,
    sent_ms BIGINT NOT NULL, PRIMARY KEY (inspection_id, point));
{postgresql} CREATE TABLE archive_schema (version INTEGER NOT NULL);
