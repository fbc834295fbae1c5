-- The tables for a PostgreSQL database shared by several stations; the same tables as
-- Patient.sql. Create the database once, as a role that may create databases:
--   createdb corvida && psql -d corvida -v ON_ERROR_STOP=1 -f db/PatientPostgres.sql
-- The program never creates or alters Patient.
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

-- The readings of the records, one row per version, never updated or deleted. A record is known
-- by its content (RecordDigest: SHA-256 of its whole seconds, hex) together with its patient's
-- identity (PatientID with that row's NewDate as PatientDate), so an ID handed on by the row
-- limit never brings the readings of the patient it belonged to, and a record imported under
-- another ID keeps its own. Version 0 is the machine's reading as the record's first analysis
-- gave it, the reading list's source; 1 is the physician's confirmation and every amendment the
-- next. Statements are codes ("11 36 126:124", a lead code after the T wave's); the nine
-- corrected values are NULL where the machine's stands (axes in tenths of a degree). Times are
-- local, "yyyy-MM-dd HH:mm:ss". The program adds this table to a database that lacks it.
CREATE TABLE Reading (
    RecordDigest TEXT NOT NULL,
    PatientID    INTEGER NOT NULL,
    PatientDate  DATETIME NOT NULL,
    Version      INTEGER NOT NULL,
    RecordName   TEXT NOT NULL,
    RecordTime   DATETIME NOT NULL,
    Statements   TEXT NOT NULL,
    HeartRate    INTEGER,
    PDuration    INTEGER,
    PR           INTEGER,
    QRS          INTEGER,
    QT           INTEGER,
    QTc          INTEGER,
    PAxis        INTEGER,
    QRSAxis      INTEGER,
    TAxis        INTEGER,
    Comment      TEXT NOT NULL,
    Reason       TEXT NOT NULL,
    ReaderLogin  TEXT NOT NULL,
    ReaderName   TEXT NOT NULL,
    PrintedName  TEXT NOT NULL,
    Station      TEXT NOT NULL,
    ReadAt       DATETIME NOT NULL,
    -- Two stations confirming one version at once: the second insert breaks this key and fails.
    PRIMARY KEY (RecordDigest, PatientID, PatientDate, Version)
);
-- A patient's records (History, export) and the reading list go by the patient.
CREATE INDEX ReadingByPatient ON Reading (PatientID, PatientDate);
