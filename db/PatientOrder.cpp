#include "db/PatientOrder.h"

#include <array>
#include <vector>

#include "db/AppDatabase.h"

namespace {

// The columns after PatientID, in the order of the struct's fields.
const QStringList kFields = {"AccessionNumber", "RequestedProcedureID",
                             "RequestedProcedureDescription", "ScheduledStepID",
                             "StudyInstanceUID", "WorklistPatientID", "IssuerOfPatientID",
                             "PatientName", "PatientSex", "PatientBirthDate"};

template <class Order>
auto Fields(Order& o)
{
    return std::array{&o.accessionNumber, &o.requestedProcedureId, &o.requestedProcedureDescription,
            &o.scheduledStepId, &o.studyInstanceUid, &o.patientId, &o.issuerOfPatientId,
            &o.patientName, &o.patientSex, &o.patientBirthDate};
}

}  // namespace

QStringList PatientOrderColumns()
{
    return QStringList("PatientID") + kFields;
}

QString PatientOrderCreateStatement()
{
    return QString("CREATE TABLE IF NOT EXISTS %1 (PatientID INTEGER PRIMARY KEY NOT NULL, %2 TEXT)")
        .arg(kPatientOrderTable, kFields.join(" TEXT, "));
}

OrderLookup FindPatientOrder(int32_t patientId)
{
    const AdoHandle rows = AppDatabase::Instance().Run(
        QString("SELECT %1 FROM %2 WHERE PatientID = ?").arg(kFields.join(", "), kPatientOrderTable),
        {patientId});
    OrderLookup lookup;
    if (!rows) {
        lookup.queryFailed = true;
        return lookup;
    }
    if (rows->rows.empty())
        return lookup;
    PatientOrder order;
    const auto fields = Fields(order);
    for (size_t i = 0; i < fields.size(); ++i)
        *fields[i] = rows->rows.front().at(i).toString();
    lookup.order = order;
    return lookup;
}

bool ReplacePatientOrder(int32_t patientId, const PatientOrder* order)
{
    AppDatabase& db = AppDatabase::Instance();
    if (!db.Run(QString("DELETE FROM %1 WHERE PatientID = ?").arg(kPatientOrderTable), {patientId}))
        return false;
    if (!order)
        return true;
    std::vector<QVariant> values{patientId};
    for (const QString* field : Fields(*order))
        values.push_back(*field);
    return db.Run(QString("INSERT INTO %1 (PatientID, %2) VALUES (?%3)")
                      .arg(kPatientOrderTable, kFields.join(", "), QString(", ?").repeated(kFields.size())),
                  values) != nullptr;
}
