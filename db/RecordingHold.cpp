#include "db/RecordingHold.h"

#include <QString>
#include <mutex>
#include <set>

#include "db/AppDatabase.h"
#include "db/PatientFolder.h"
#include "db/PatientStore.h"

namespace {

// The first key of the program's advisory locks ("CVRH"), so they meet no other application's
// locks on a shared server; the second key is the PatientID.
constexpr int32_t kRecordingLockSpace = 0x43565248;

std::mutex localMutex;
std::multiset<int32_t> localHolds;  // the patients this program records, once per recording

bool ServerLock(const char* function, int32_t id)
{
    return AppDatabase::Instance().Run(QString("SELECT %1(?, ?)").arg(function),
                                       {kRecordingLockSpace, id}) != nullptr;
}

}  // namespace

bool RecordingHold::Take(const PatientRecord& patient)
{
    Release();
    AppDatabase& db = AppDatabase::Instance();
    // Waits at most the connection's lock time for a delete that is running elsewhere.
    serverLock_ = db.IsServer() && ServerLock("pg_advisory_lock_shared", patient.PatientID);
    const PatientLookup now = FindPatient(QString::number(patient.PatientID));
    if (!now.queryFailed && (!now.row || now.row->Isdel != 0 || !SamePatient(*now.row, patient))) {
        if (serverLock_)
            ServerLock("pg_advisory_unlock_shared", patient.PatientID);
        serverLock_ = false;
        return false;
    }
    id_ = patient.PatientID;
    const std::lock_guard<std::mutex> lock(localMutex);
    localHolds.insert(*id_);
    return true;
}

void RecordingHold::Release()
{
    if (!id_)
        return;
    if (serverLock_)
        ServerLock("pg_advisory_unlock_shared", *id_);
    {
        const std::lock_guard<std::mutex> lock(localMutex);
        localHolds.erase(localHolds.find(*id_));
    }
    id_.reset();
    serverLock_ = false;
}

bool RecordingHold::ClaimForDelete(int32_t id)
{
    {
        // This program's own recordings first: on the server its session's locks never stand
        // in its own way.
        const std::lock_guard<std::mutex> lock(localMutex);
        if (localHolds.count(id))
            return false;
    }
    AppDatabase& db = AppDatabase::Instance();
    if (!db.IsServer())
        return true;
    const AdoHandle claimed =
        db.Run("SELECT pg_try_advisory_xact_lock(?, ?)", {kRecordingLockSpace, id});
    return claimed && !claimed->rows.empty() && claimed->rows[0].at(0).toBool();
}
