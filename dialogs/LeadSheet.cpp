#include "dialogs/LeadSheet.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "device/DevicePacket.h"

namespace {

constexpr int kRows = 6;
constexpr double kColumnMm = LeadSheet::kLabelMm + LeadSheet::kLeadSeconds * LeadSheet::kMmPerSecond;
constexpr double kMarginMm = 2;
// The paper's grid colours: every millimetre light, every fifth a little stronger.
const QColor kFineLine(255, 224, 223);
const QColor kCoarseLine(250, 180, 180);

}  // namespace

LeadSheet::LeadSheet(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(false);
}

void LeadSheet::SetContent(const ReportContent& content)
{
    content_ = content;
    updateGeometry();
    update();
}

double LeadSheet::PixelsPerMm() const
{
    // A screen that reports no sensible resolution is taken as 96 dpi.
    const int dpi = logicalDpiX() > 30 ? logicalDpiX() : 96;
    return dpi / 25.4;
}

QSize LeadSheet::sizeHint() const
{
    const double mm = PixelsPerMm();
    return QSize(static_cast<int>(std::ceil((2 * kColumnMm + 2 * kMarginMm) * mm)),
                 static_cast<int>(std::ceil((kRows * kRowMm + 2 * kMarginMm) * mm)));
}

void LeadSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const double mm = PixelsPerMm();
    const double left = kMarginMm * mm, top = kMarginMm * mm;
    const double width = 2 * kColumnMm * mm, height = kRows * kRowMm * mm;
    for (int k = 0; k <= static_cast<int>(2 * kColumnMm); ++k) {
        painter.setPen(k % 5 ? kFineLine : kCoarseLine);
        painter.drawLine(QPointF(left + k * mm, top), QPointF(left + k * mm, top + height));
    }
    for (int k = 0; k <= static_cast<int>(kRows * kRowMm); ++k) {
        painter.setPen(k % 5 ? kFineLine : kCoarseLine);
        painter.drawLine(QPointF(left, top + k * mm), QPointF(left + width, top + k * mm));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (const ReportLead& lead : content_.leads) {
        const int column = lead.leadIndex / kRows, row = lead.leadIndex % kRows;
        const double x0 = left + (column * kColumnMm + kLabelMm) * mm;
        const double middle = top + (row + 0.5) * kRowMm * mm;
        painter.setPen(Qt::black);
        painter.drawText(QPointF(left + column * kColumnMm * mm + mm, middle - kRowMm * mm / 4), lead.name);
        // The gain's units per millivolt, as its calibration pulse shows; an unknown gain is
        // drawn at the analysis's own 80.
        const double unitsPerMv = lead.calAmplitude > 0 ? lead.calAmplitude : kUnitsPerMillivolt;
        const size_t count = std::min<size_t>(lead.samples.size(), kPacketsPerSecond * kLeadSeconds);
        QPainterPath trace;
        for (size_t j = 0; j < count; ++j) {
            const double x = x0 + j * kMmPerSecond / kPacketsPerSecond * mm;
            const double y = middle - (lead.samples[j] - kBaseline) / unitsPerMv * kMmPerMillivolt * mm;
            if (j == 0)
                trace.moveTo(x, y);
            else
                trace.lineTo(x, y);
        }
        painter.setPen(QPen(Qt::black, std::max(1.0, mm / 4)));
        painter.drawPath(trace);
    }
}
