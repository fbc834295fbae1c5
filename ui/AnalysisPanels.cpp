#include "ui/AnalysisPanels.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <algorithm>

#include "analysis/Measurements.h"
#include "foundation/Translate.h"
#include "ui/PanelText.h"

namespace {

const QColor kPanelTextColor(64, 255, 64);
constexpr int kSmallestText = 7;  // pixels; the panels' texts never shrink below it

// Text of both panels: 18 pixels where the panel has room, smaller on a small screen so that the
// longest label still ends before the unit column.
QFont PanelFont(const QRect& rect)
{
    const int pitch = (rect.bottom() - rect.top()) / 12;
    QFont font = CellFont(std::clamp(pitch - 2, 8, 18));
    const int room = (rect.right() - rect.left()) / 3 - 14;
    while (font.pixelSize() > kSmallestText && QFontMetrics(font).horizontalAdvance("R(V5)/S(V1)") > room)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

// Smaller until every text is at most room pixels wide: a number or a statement cut off at the
// panel's edge would say something else.
void ShrinkToFit(QFont& font, const QStringList& texts, int room)
{
    const auto widest = [&] {
        const QFontMetrics metrics(font);
        int w = 0;
        for (const QString& text : texts)
            w = std::max(w, metrics.horizontalAdvance(text));
        return w;
    };
    while (font.pixelSize() > kSmallestText && widest() > room)
        font.setPixelSize(font.pixelSize() - 1);
}

}  // namespace

void AnalysisPanels::DrawMeasurements(QPainter& painter, const QRect& rect,
                                      const MeasurementSet& set,
                                      const std::array<LeadMeasurements, kLeadCount>& leads,
                                      uint32_t corrected) const
{
    const std::array<std::string, kMeasurementLabels.size()> values =
        MeasurementValueTexts(set, leads[kLeadV5][kFieldR], leads[kLeadV1][kFieldS], corrected);
    const int width = rect.right() - rect.left();
    const int height = rect.bottom() - rect.top();
    const int valueX = rect.left() + 3 * width / 5;
    QStringList texts;
    for (const std::string& value : values)
        texts << QString::fromStdString(value);
    QFont font = PanelFont(rect);
    ShrinkToFit(font, texts, rect.right() - valueX);
    painter.save();
    painter.setFont(font);
    painter.setPen(kPanelTextColor);
    for (std::size_t row = 0; row < values.size(); ++row) {
        const int y = rect.top() + int(row + 1) * height / 12;
        TextAt(painter, rect.left() + 10, y, kMeasurementLabels[row].name);
        TextAt(painter, rect.left() + width / 3, y, kMeasurementLabels[row].unit);
        TextAt(painter, valueX, y, texts[int(row)]);
    }
    painter.restore();
}

void AnalysisPanels::DrawDiagnosis(QPainter& painter, const QRect& rect,
                                   const ConclusionLines& lines, int firstLine,
                                   bool showLines) const
{
    QStringList texts{Translate(*language_, "<<**Diagnose**>>")};
    if (showLines)
        for (int k = 9; k >= std::clamp(firstLine, 0, 9); --k)
            texts << QString::fromStdString(lines.line[k]);
    const int room = rect.right() - rect.left() - 1;
    QFont font = PanelFont(rect);
    ShrinkToFit(font, texts, room);
    const QFontMetrics metrics(font);
    painter.save();
    painter.setFont(font);
    painter.setPen(kPanelTextColor);
    const int height = rect.bottom() - rect.top();
    TextAt(painter, rect.left() + 1, rect.top() + height / 20, texts[0]);
    for (int k = 0; k + 1 < texts.size(); ++k)
        TextAt(painter, rect.left() + 1, rect.top() + height * (k + 2) / 15,
               metrics.elidedText(texts[k + 1], Qt::ElideRight, room));
    painter.restore();
}
