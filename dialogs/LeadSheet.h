#pragma once
// The twelve leads of a record as a physician reads them on paper: 25 mm/s and 10 mm/mV on a
// millimetre grid, in two columns (I ... aVF beside V1 ... V6), four seconds of each lead, drawn
// at the screen's own millimetres.
#include <QWidget>

#include "report/ReportLayout.h"

class LeadSheet : public QWidget {
public:
    static constexpr double kMmPerSecond = 25;
    static constexpr double kMmPerMillivolt = 10;
    static constexpr double kLeadSeconds = 4;    // a lead's turn in the recorder
    static constexpr double kRowMm = 25;         // room for 1.25 mV either side
    static constexpr double kLabelMm = 10;       // left of each column, for the lead's name

    explicit LeadSheet(QWidget* parent = nullptr);
    // The leads of a record as the report reads them (any order; each placed by its own index).
    void SetContent(const ReportContent& content);
    QSize sizeHint() const override;
    // Screen pixels per millimetre of the sheet.
    double PixelsPerMm() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ReportContent content_;
};
