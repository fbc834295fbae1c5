-- The patient table for a PostgreSQL database shared by several stations; the same table as
-- Patient.sql. The build copies it into the program folder, from where it is run once as the
-- table's owner (README, "Several stations"). The program never creates or alters it.
--
-- NewDate holds local time as text "yyyy-MM-dd HH:mm:ss", as in Corvida.mdb, so text order is
-- time order on both databases; the DATETIME domain tells the program it is a date column.
-- Isdel is 0 live, 1 deleted.
CREATE DOMAIN DATETIME AS TEXT;
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
