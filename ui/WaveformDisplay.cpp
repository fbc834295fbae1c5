#include "ui/WaveformDisplay.h"

#include <QPainter>
#include <algorithm>

#include "device/DevicePacket.h"
#include "device/RecorderLabels.h"
#include "foundation/Translate.h"
#include "record/DisplayPoint.h"
#include "ui/PanelText.h"

namespace {

const QColor kFineColor(255, 224, 223);
const QColor kCoarseColor(250, 200, 200);
const QColor kFrameColor(200, 120, 120);
const QColor kTraceColor(0, 0, 0);
const QColor kLeadNameColor(64, 128, 64);
const QColor kStateColor(128, 255, 128);

const QFont& NameFont()
{
    static const QFont font = CellFont(30);
    return font;
}

const QFont& StateFont()
{
    static const QFont font = CellFont(15);
    return font;
}

}  // namespace

QString WaveformDisplay::LeadName(int code)
{
    return code >= 0 && code < kLeadCount ? QString(kLeadNames[code]) : QString();
}

QString WaveformDisplay::Translate(const char* key) const
{
    return ::Translate(*language_, key);
}

QString WaveformDisplay::ReviewSpeedText()
{
    // Live, the decimation matches the chosen speed; review always puts 80 points a second on
    // the 4-pixel millimetre, which is 20 mm/s whatever the recorder's speed was.
    constexpr int mmPerSecond = kPacketsPerSecond / kPacketsPerPoint / kFineStep;
    return QString("%1mm/s").arg(mmPerSecond);
}

QString WaveformDisplay::LabelText(int lead, int k) const
{
    const Labels& l = reviewShown_ ? reviewLabels_[lead] : labels_[lead];
    if (k > 0 && !l.present)
        return {};
    switch (k) {
    case 0: return LeadName(lead);
    // The speed and gain codes of the live stream and of review points are one above the
    // setting and the recorder's gain code.
    case 1: return reviewShown_ ? ReviewSpeedText() : QString(SpeedText(l.speed - 1));
    case 2: return FilterText(l.filter);
    case 3: return GainText(l.gain - 1);
    case 4: return l.mode == 0 ? Translate("MONITOR") : l.mode == 1 ? Translate("DEMO") : QString();
    case 5: return l.range == 0 ? Translate("WITHIN") : l.range == 1 ? Translate("OVERFLOW") : QString();
    default: return {};
    }
}

void WaveformDisplay::SetLayout(const std::array<QRect, kLeadCount>& leads,
                                const std::array<QRect, kLeadCount>& labels)
{
    leadRect_ = leads;
    labelRect_ = labels;
    // One pixel per grid step. The image spans the panel edge to edge, both edges included,
    // because the pen reaches the right edge before it wraps.
    const QSize size = leads[0].size();
    grid_ = QImage(size, QImage::Format_RGB32);
    grid_.fill(Qt::white);
    {
        QPainter painter(&grid_);
        for (const int step : {kFineStep, kCoarseStep}) {
            painter.setPen(step == kFineStep ? kFineColor : kCoarseColor);
            for (int i = step; i < size.width() - 1; i += step)
                painter.drawLine(i, 1, i, size.height() - 2);
            for (int i = step; i < size.height() - 1; i += step)
                painter.drawLine(1, i, size.width() - 2, i);
        }
        painter.setPen(kFrameColor);
        painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
    }
    for (int lead = 0; lead < kLeadCount; ++lead) {
        panels_[lead] = grid_.copy();
        // The strip ends where its panel begins: the panel's first column is the panel's own.
        strips_[lead] = QImage(labels[lead].width() - 1, labels[lead].height() - 1,
                               QImage::Format_RGB32);
        stripStale_[lead] = true;
    }
    ResetAllLeadPens(false);
    dirty_ = QRegion(0, 0, 1 << 20, 1 << 20);
}

int WaveformDisplay::Middle(int lead) const
{
    const QRect& r = leadRect_[lead];
    return r.top() + (r.bottom() - r.top()) / 2;
}

void WaveformDisplay::ResetLeadPen(int lead, int x, int y, bool erase)
{
    if (lead < 0 || lead >= kLeadCount)
        return;
    pens_[lead].x = x;
    pens_[lead].y = y;
    pens_[lead].restarted = false;
    if (erase && !grid_.isNull()) {
        panels_[lead] = grid_.copy();
        dirty_ += leadRect_[lead];
    }
}

void WaveformDisplay::ResetAllLeadPens(bool erase)
{
    for (int lead = 0; lead < kLeadCount; ++lead)
        ResetLeadPen(lead, leadRect_[lead].left(), Middle(lead), erase);
    lastLead_ = -1;
}

void WaveformDisplay::ResetStateLabels()
{
    for (Labels& l : labels_) {
        l.mode = 0;
        l.range = 0;
    }
    stripStale_.fill(true);
    for (const QRect& r : labelRect_)
        dirty_ += r;
}

void WaveformDisplay::SetLabels(Labels& target, int lead, const Labels& labels)
{
    // Live this runs for every drawn point, in review for every point at each paint; the strip
    // is rendered again only when a label actually changed, which gives the same picture at a
    // fraction of the cost.
    if (target == labels)
        return;
    target = labels;
    if (&target == (reviewShown_ ? &reviewLabels_[lead] : &labels_[lead])) {
        stripStale_[lead] = true;
        dirty_ += labelRect_[lead];
    }
}

void WaveformDisplay::UpdateLeadLabels(int lead, int speedCode, int gainCode, int filterCode,
                                       int modeFlag, int rangeFlag)
{
    if (lead < 0 || lead >= kLeadCount)
        return;
    SetLabels(labels_[lead], lead, {speedCode, filterCode, gainCode, modeFlag, rangeFlag, true});
}

void WaveformDisplay::RestoreGrid(int lead, int x, int width)
{
    // x in window coordinates; the strip is clipped to the panel.
    QImage& panel = panels_[lead];
    const int from = std::max(0, x - leadRect_[lead].left());
    const int to = std::min(panel.width(), from + width);
    if (from >= to)
        return;
    const std::size_t bytes = std::size_t(to - from) * 4;
    for (int row = 0; row < panel.height(); ++row) {
        const auto* src = reinterpret_cast<const uint32_t*>(grid_.constScanLine(row)) + from;
        auto* dst = reinterpret_cast<uint32_t*>(panel.scanLine(row)) + from;
        std::copy_n(reinterpret_cast<const char*>(src), bytes, reinterpret_cast<char*>(dst));
    }
}

void WaveformDisplay::SetPixelSpan(QImage& image, int x, int y0, int y1)
{
    // x, y in image coordinates, already inside the image.
    if (y0 > y1)
        std::swap(y0, y1);
    const uint32_t black = kTraceColor.rgb();
    for (int y = y0; y <= y1; ++y)
        reinterpret_cast<uint32_t*>(image.scanLine(y))[x] = black;
}

void WaveformDisplay::DrawPoint(int lead, int sample)
{
    if (lead < 0 || lead >= kLeadCount || grid_.isNull())
        return;
    PenState& pen = pens_[lead];
    const QRect& r = leadRect_[lead];
    if (lead != lastLead_) {
        // The lead's turn has come again: its panel starts afresh from the left.
        if (pen.restarted)
            ResetLeadPen(lead, r.left(), Middle(lead), !reviewDrawing_);
        lastLead_ = lead;
    }
    pen.restarted = true;

    if (pen.x == r.left())
        RestoreGrid(lead, r.left(), kEraseWidth);

    // Truncated toward zero, as the recorder's own monitor does.
    const int offset = (kZeroLine - sample) / kUnitsPerPixel;
    const int y = std::clamp(Middle(lead) + offset, r.top(), r.bottom());
    const int x = pen.x + 1;

    // A one-pixel line from the pen to (x, y): the vertical run is split between the two
    // columns so a steep QRS stays one connected stroke.
    QImage& panel = panels_[lead];
    const int x0 = std::clamp(pen.x - r.left(), 0, panel.width() - 1);
    const int x1 = std::clamp(x - r.left(), 0, panel.width() - 1);
    const int y0 = std::clamp(pen.y - r.top(), 0, panel.height() - 1);
    const int y1 = y - r.top();
    const int mid = y0 + (y1 - y0) / 2;
    SetPixelSpan(panel, x0, y0, mid);
    SetPixelSpan(panel, x1, mid, y1);

    pen.y = y;
    pen.x = x >= r.right() ? r.left() : x;
    if (pen.x + kEraseWidth + 1 <= r.right() + 1 && pen.x != r.left())
        RestoreGrid(lead, pen.x + 1, kEraseWidth);
    dirty_ += r;
}

void WaveformDisplay::DrawReview(const DisplayPoint* points, std::size_t size, std::size_t count)
{
    if (grid_.isNull())
        return;
    if (!reviewShown_) {
        // The strips show the review's labels from now on, not what the live stream left.
        stripStale_.fill(true);
        for (const QRect& r : labelRect_)
            dirty_ += r;
    }
    reviewShown_ = true;
    reviewDrawing_ = true;
    for (int lead = 0; lead < kLeadCount; ++lead)
        panels_[lead] = grid_.copy();
    ResetAllLeadPens(false);
    std::array<Labels, kLeadCount> labels;
    std::array<bool, kLeadCount> labelled{};
    count = std::min(count, size);
    for (std::size_t i = 0; i < size; ++i) {
        const DisplayPoint& p = points[i];
        if (p.leadIndex >= kLeadCount)
            continue;
        if (i < count)
            DrawPoint(p.leadIndex, p.sample);
        else if (labelled[p.leadIndex])
            continue;
        // The speed code of a review point is fixed; the review's own speed is shown instead.
        labels[p.leadIndex] = {p.speedCode, p.filterCode, p.gainCode, p.modeFlag, p.rangeFlag, true};
        labelled[p.leadIndex] = true;
    }
    for (int lead = 0; lead < kLeadCount; ++lead) {
        if (!labelled[lead])
            labels[lead].present = false;
        SetLabels(reviewLabels_[lead], lead, labels[lead]);
    }
    reviewDrawing_ = false;
    for (const QRect& r : leadRect_)
        dirty_ += r;
}

void WaveformDisplay::LeaveReview()
{
    if (!reviewShown_)
        return;
    reviewShown_ = false;
    for (int lead = 0; lead < kLeadCount; ++lead) {
        panels_[lead] = grid_.copy();
        stripStale_[lead] = true;
        dirty_ += leadRect_[lead] | labelRect_[lead];
    }
}

void WaveformDisplay::RenderLabels(int lead)
{
    QImage& strip = strips_[lead];
    strip.fill(Qt::black);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int width = labelRect_[lead].width();
    const int middle = (labelRect_[lead].height()) / 2;

    painter.setFont(NameFont());
    painter.setPen(kLeadNameColor);
    const QFontMetrics big = painter.fontMetrics();
    TextAt(painter, width / 10, middle - big.height() / 2, LeadName(lead));
    const int column = big.horizontalAdvance("-----") + width / 7;

    painter.setFont(StateFont());
    painter.setPen(kStateColor);
    const int pitch = painter.fontMetrics().height() + 4;
    for (int k = 0; k < 5; ++k) {
        const int y = static_cast<int>(middle - 2.5 * pitch + k * pitch);
        TextAt(painter, column, y, LabelText(lead, k + 1));
    }
    stripStale_[lead] = false;
}

void WaveformDisplay::PaintLeads(QPainter& painter, const QRegion& region)
{
    for (int lead = 0; lead < kLeadCount; ++lead) {
        if (region.intersects(labelRect_[lead])) {
            if (stripStale_[lead])
                RenderLabels(lead);
            painter.drawImage(labelRect_[lead].topLeft(), strips_[lead]);
        }
        if (region.intersects(leadRect_[lead]))
            painter.drawImage(leadRect_[lead].topLeft(), panels_[lead]);
    }
}

QRegion WaveformDisplay::TakeDirty()
{
    QRegion taken = dirty_;
    dirty_ = QRegion();
    return taken;
}
