#pragma once
// A patient being recorded cannot be deleted, on this station or on any other that shares the
// database: the recording holds its patient from its start to its end. On PostgreSQL the hold is
// an advisory lock of this program's database session, taken shared (two rooms may record one
// patient at once) and claimed exclusively by a delete for its own transaction; on a local
// database it is this program's own list of the patients it records.
//
// The hold is taken before the row is checked and the delete claims it before it marks the row,
// so whichever comes second sees the first: a recording never begins for a patient deleted
// meanwhile, and a patient is never deleted under a recording.
#include <cstdint>
#include <optional>

#include "db/PatientRecord.h"

class RecordingHold {
public:
    RecordingHold() = default;
    ~RecordingHold() { Release(); }
    RecordingHold(const RecordingHold&) = delete;
    RecordingHold& operator=(const RecordingHold&) = delete;

    // Holds patient (its PatientID and NewDate, as it was made) for a recording. False when the
    // database says it is no longer that patient, live: deleted, or its ID taken over since;
    // nothing is held then. A database that cannot be asked does not stop a recording: the hold
    // is then this station's only.
    bool Take(const PatientRecord& patient);
    void Release();

    // For a delete, inside its transaction on the Patient table: false when a recording holds
    // id anywhere; otherwise none can begin until the transaction ends.
    static bool ClaimForDelete(int32_t id);

private:
    std::optional<int32_t> id_;
    bool serverLock_ = false;
};
