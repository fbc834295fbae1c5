#include "ui/HeaderStrip.h"

#include <QPainter>

#include "foundation/Translate.h"

HeaderStrip::HeaderStrip(const LanguageTable& language, QWidget* parent)
    : QWidget(parent), language_(language)
{
}

void HeaderStrip::SetLines(const QString& line1, const QString& line2)
{
    if (!line1.isEmpty())
        line1_ = line1;
    if (!line2.isEmpty())
        line2_ = line2;
    if (!line1.isEmpty() || !line2.isEmpty())
        update();
}

void HeaderStrip::ShowPatient(const PatientRecord& patient)
{
    patient_ = patient;
    const auto tr = [this](const char* key) { return Translate(language_, key); };
    SetLines(QString("%1 -  %2  %3 - %4  %5 - %6")
                 .arg(tr("Name"), patient.Name, tr("Clinical NO."), patient.ClinicalNo, tr("Sex"),
                      tr(patient.Sex != 0 ? "FEMALE" : "MALE")),
             QString());
}

void HeaderStrip::Clear()
{
    patient_.reset();
    SetLines(" ", " ");
}

void HeaderStrip::Retranslate()
{
    if (patient_)
        ShowPatient(*patient_);
    else
        Clear();
}

void HeaderStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop, line1_ + line2_);
}
