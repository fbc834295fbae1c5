#pragma once
// The black strip below the lead panels: two header lines written one after the other, white,
// centred at the top. The first names the patient in hand, built here and nowhere else.
#include <QString>
#include <QWidget>
#include <optional>

#include "db/PatientRecord.h"

class LanguageTable;

class HeaderStrip : public QWidget {
    Q_OBJECT
public:
    // The labels are in language, which must outlive the strip.
    HeaderStrip(const LanguageTable& language, QWidget* parent);

    // Stores each non-empty line; an empty one leaves its line as it is.
    void SetLines(const QString& line1, const QString& line2);
    // Line 1 becomes "Name -  <name>  Clinical NO. - <number>  Sex - MALE|FEMALE" in the language
    // of the moment; line 2 stays. The patient is kept for a language change.
    void ShowPatient(const PatientRecord& patient);
    // Both lines blank, and no patient is kept.
    void Clear();
    // After a language change: the kept patient named again, or both lines blank.
    void Retranslate();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const LanguageTable& language_;
    QString line1_;
    QString line2_;
    std::optional<PatientRecord> patient_;
};
