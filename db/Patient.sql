-- The patient table of Corvida.mdb. The program never creates or alters it; the build makes an
-- empty database from this file, and a clinic's database is never replaced.
--
-- NewDate holds local time as text "yyyy-MM-dd HH:mm:ss" (the database layer rewrites the dates
-- of statements into that form), so text order is time order. Isdel is 0 live, 1 deleted.
CREATE TABLE Patient (
    PatientID  INTEGER PRIMARY KEY NOT NULL,
    Name       TEXT,
    Age        INTEGER,
    Height     INTEGER,
    Weight     INTEGER,
    Blood      INTEGER,
    Sex        INTEGER,
    Other      TEXT,
    ClinicalNo TEXT,
    NewDate    DATETIME,
    Isdel      INTEGER NOT NULL DEFAULT 0
);
-- The history list and the search for the oldest deleted row both go by these two.
CREATE INDEX PatientByState ON Patient (Isdel, NewDate);
