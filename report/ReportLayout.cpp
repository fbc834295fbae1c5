#include "report/ReportLayout.h"

#include <QDate>
#include <QDateTime>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPolygon>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/Measurements.h"
#include "foundation/Translate.h"
#include "db/PatientRecord.h"
#include "device/RecorderLabels.h"
#include "record/RecordFile.h"

namespace {

const std::array<const char*, 4> kBloodGroups = {"A", "B", "AB", "O"};

// Summary page offsets in pixels of a 600 dpi page; other resolutions scale them, so the three
// columns keep their distances on paper.
constexpr int kSummaryLabelX = 230;
constexpr int kSummaryUnitX = 690;
constexpr int kSummaryValueX = 1630;
constexpr int kSummaryTopGap = 10;

constexpr int kDrawFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine;
constexpr int kFieldFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;
constexpr int kLineFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

QString PageText(const QString& pageWord, int page)
{
    return pageWord + " " + QString::number(page);
}

constexpr const char* kFooterGap = "   ";

// Text drawn with its top-left corner at a point.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(QRect(x, y, 0, 0), kDrawFlags, text);
}

// The insertion time as stored ("2009-3-7  9:5:41", no leading zeros) or in ISO form, written
// "%Y-%m-%d %H:%M:%S"; a text that is no date is shown as it is.
QString FormatNewDate(const QString& stored)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,4})-(\\d{1,2})-(\\d{1,2})(?:[ T]+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?"));
    const QRegularExpressionMatch m = form.match(stored);
    if (!m.hasMatch())
        return stored;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return stored;
    return QDateTime(date, time).toString("yyyy-MM-dd HH:mm:ss");
}

// Chinese comes from a Simplified Chinese face whose ideographs are its own glyphs. A PDF names
// each glyph by the lowest code point that maps to it, and the CJK collection's faces share
// their glyphs with the radicals (心 comes back as U+2F3C, 门 as U+2EE9): text that cannot be
// searched or copied. Left to the system's fallback, Chinese would come from that collection.
QFont ReportFont(QStringList families)
{
    families << "WenQuanYi Zen Hei";
    QFont font;
    font.setFamilies(families);
    return font;
}

}  // namespace

ReportContent BuildReportContent(const std::vector<DevicePacket>& packets, int printSpeedIndex,
                                 bool sampleOffset)
{
    const int speed = std::clamp(printSpeedIndex, 0, 2);
    ReportContent content;
    std::array<int, kRecordLeads> slotOf;
    slotOf.fill(-1);
    for (const DevicePacket& p : packets) {
        const PacketFields f = ExtractFields(p.data());
        int& slot = slotOf[f.leadIndex];
        if (slot < 0) {
            slot = static_cast<int>(content.leads.size());
            ReportLead lead;
            lead.leadIndex = f.leadIndex;
            lead.name = kLeadNames[f.leadIndex];
            lead.rate = kPrintRates[speed];
            lead.labelLines[0] = SpeedText(speed);
            lead.labelLines[1] = FilterText(f.filterCode);
            // Gain code 3 has no known scale: no gain label and no pulse rather than a false one.
            if (f.gainCode < kGainSettings.size()) {
                lead.labelLines[2] = kGainSettings[f.gainCode].text;
                lead.calAmplitude = kGainSettings[f.gainCode].unitsPerMillivolt;
            }
            lead.samples.reserve(kPacketsPerLead);
            content.leads.push_back(std::move(lead));
        }
        int s = f.sample;
        if (sampleOffset)
            s = std::clamp(s - kLiveSampleOffset, 0, 1023);
        content.leads[slot].samples.push_back(static_cast<uint16_t>(s & 1023));
    }
    return content;
}

QString RecordDateText(const QString& path)
{
    // The name alone decides: "m" + YYYYMMDDhhmm + ".cv". Anything else (a demo record, a path
    // shorter than that, letters among the digits, 30 February) prints no date.
    const std::optional<std::tm> t = RecordStartTime(path.toStdString());
    if (!t || !QDate(t->tm_year + 1900, t->tm_mon + 1, t->tm_mday).isValid())
        return {};
    return QString::asprintf("%04d-%02d-%02d %02d:%02d", t->tm_year + 1900, t->tm_mon + 1,
                             t->tm_mday, t->tm_hour, t->tm_min);
}

ReportHeader BuildReportHeader(const PatientRecord* patient, const QString& date,
                               const LanguageTable& language)
{
    const auto Translate = [&language](const char* key) { return ::Translate(language, key); };
    ReportHeader h;
    h.date = date;
    QString clinical, name, age, height, weight, blood, sex, newDate, other;
    if (patient) {
        clinical = patient->ClinicalNo;
        name = patient->Name;
        age = QString::number(patient->Age);
        height = QString::number(patient->Height);
        weight = QString::number(patient->Weight);
        if (patient->Blood >= 0 && patient->Blood < static_cast<int>(kBloodGroups.size()))
            blood = kBloodGroups[patient->Blood];
        sex = Translate(patient->Sex == 0 ? "MALE" : "FEMALE");
        newDate = FormatNewDate(patient->NewDate);
        other = patient->Other;
        // Lines of the note are joined by one space; a CR LF pair is one line break.
        other.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ');
    }
    h.texts = {Translate("Corvida ECG Report"),
               QString(),
               Translate("Clinical NO.") + ": " + clinical,
               Translate("Name") + ": " + name,
               Translate("Age") + ": " + age,
               Translate("Height") + " : " + height,
               Translate("Weight") + " : " + weight,
               Translate("Blood") + " : " + blood,
               Translate("Sex") + ": " + sex,
               Translate("Date") + " : " + newDate,
               QString(),
               Translate("Other") + " : " + other};
    if (patient)
        h.patient = Translate("Name") + ": " + name + kFooterGap + Translate("Clinical NO.") + ": " + clinical;
    return h;
}

void ApplyReading(ReportSummary& summary, const Reading& reading, const LanguageTable& language)
{
    summary.measurements = CorrectedMeasurements(summary.measurements, reading.values);
    summary.corrected = CorrectedMarks(reading.values);
    summary.firstLine = ComposeReading(reading, summary.conclusion, language);
}

ReportLayout::ReportLayout(ReportContent content, ReportHeader header, ReportSummary summary,
                           const LanguageTable& language)
    : language_(&language), content_(std::move(content)), header_texts_(std::move(header)),
      summary_(std::move(summary))
{
    while (header_texts_.texts.size() < kHeaderTextCount)
        header_texts_.texts << QString();
}

QString ReportLayout::Translate(const char* key) const
{
    return ::Translate(*language_, key);
}

int ReportLayout::EstimateDpi(int physicalWidth, int widthMm)
{
    if (widthMm <= 0 || physicalWidth <= 0)
        return kDefaultReportDpi;
    const int dpi = static_cast<int>(physicalWidth * 25.4 / widthMm);
    return ((dpi + 2) / 6) * 6;
}

void ReportLayout::MeasureDevice(QPaintDevice& device, const QRect& printable)
{
    dpi_ = EstimateDpi(device.width(), device.widthMM());
    if (dpi_ <= 0)
        dpi_ = kDefaultReportDpi;
    penWidth_ = dpi_ * 4 / 600;
    reportCm_ = dpi_ / 2.54 * kReportCmFactor;
    page_ = QSize(device.width(), device.height());

    frame_.setCoords(dpi_ / 2, 7 * dpi_ / 12, page_.width() - dpi_ / 2, page_.height() - dpi_ / 6);
    header_.setCoords(frame_.left(), frame_.top(), frame_.right(), frame_.top() + 5 * dpi_ / 6);
    footer_.setCoords(frame_.left(), frame_.bottom() - dpi_ / 2, frame_.right(), frame_.bottom());
    // A quarter of the band's offsets is about 3 mm from the paper's edges, inside most
    // printers' unprintable margin; there the line moves in to the printable area.
    dateTopLeft_ = QPoint(header_.left() / 4, header_.top() / 4);
    if (printable.isValid())
        dateTopLeft_ = QPoint(std::max(dateTopLeft_.x(), printable.left()),
                              std::max(dateTopLeft_.y(), printable.top()));

    // Where a family is not installed the next one stands in; both fall back to a metric twin
    // of the base font rather than to a wide default, so the header fields keep their columns.
    baseFont_ = ReportFont({"Arial", "Liberation Sans"});
    baseFont_.setPointSize(10);
    titleFont_ = ReportFont({"Tahoma", "DejaVu Sans", "Arial"});
    titleFont_.setPointSize(15);
    fieldFont_ = ReportFont({"System", "Arial", "Liberation Sans"});
    fieldFont_.setPointSize(12);
    PlanHeader(device);
    Paginate();
    PlanFooter(device);

    const QFontMetrics base(baseFont_, &device);
    summaryLabelWidth_ = summaryUnitWidth_ = 0;
    for (int r = 0; r < kSummaryRows; ++r) {
        const MeasurementLabel& label = kMeasurementLabels[r];
        summaryLabelWidth_ = std::max(summaryLabelWidth_, base.horizontalAdvance(label.name));
        summaryUnitWidth_ = std::max(summaryUnitWidth_, base.horizontalAdvance(label.unit));
    }
    summaryCharWidth_ = base.averageCharWidth();
    const int pitch = std::max(1, (footer_.top() - header_.bottom()) / kSummaryPitchDivisor);
    for (int i = 0; i < 10; ++i) {
        const QRect needed = base.boundingRect(QRect(0, 0, LineWidth(), 1 << 20), kLineFlags,
                                               QString::fromStdString(summary_.conclusion.line[i]));
        lineRows_[i] = std::max(1, (needed.height() + pitch - 1) / pitch);
    }
}

void ReportLayout::PlanHeader(QPaintDevice& device)
{
    const QFontMetrics title(titleFont_, &device);
    const QFontMetrics field(fieldFont_, &device);
    titleTop_ = header_.top();
    const int top = header_.top() + static_cast<int>(1.5 * title.height());
    const int h = field.height();
    const int w = field.averageCharWidth();
    fieldLineHeight_ = h;

    const int areaLeft = header_.left() + 4 * w;
    const int columnWidth = (header_.right() - areaLeft) / kHeaderColumns;
    cells_.fill(QRect());
    int extraAbove = 0;  // extra height of the rows above
    int lastBottom = -1;
    const int rows = (kHeaderTextCount - 2 + kHeaderColumns - 1) / kHeaderColumns;
    for (int r = 0; r < rows; ++r) {
        const int rowTop = top + static_cast<int>(r * h * 1.4) + extraAbove;
        int rowExtra = 0;
        for (int c = 0; c < kHeaderColumns; ++c) {
            const int k = 2 + r * kHeaderColumns + c;
            if (k >= kHeaderTextCount)
                break;
            const QString& text = header_texts_.texts[k];
            if (text.isEmpty())
                continue;
            const int left = areaLeft + c * columnWidth;
            const int right = k == kHeaderTextCount - 1 ? header_.right() : left + columnWidth;
            const QRect needed = field.boundingRect(QRect(left, rowTop, right - left, 1 << 20),
                                                    kFieldFlags, text);
            const int height = std::max(h, needed.height());
            cells_[k] = QRect(left, rowTop, right - left, height);
            rowExtra = std::max(rowExtra, height - h);
            lastBottom = rowTop + height + static_cast<int>(0.2 * h);
        }
        extraAbove += rowExtra;
    }
    if (lastBottom > header_.bottom() - h)
        header_.setBottom(lastBottom + h);
}

void ReportLayout::PlanFooter(QPaintDevice& device)
{
    const QFontMetrics base(baseFont_, &device);
    // Planned for the widest page number of the document, so every page has the same footer.
    // The box reaches down to the band's bottom: a line with Chinese is taller than the base
    // font's own line height.
    footerAt_.page = base.boundingRect(footer_, Qt::AlignHCenter | Qt::AlignTop, PageText(Translate("Page"), PageCount()));
    footerPatientBox_.setCoords(footer_.left(), footer_.top(),
                                footerAt_.page.left() - base.horizontalAdvance(kFooterGap), footer_.bottom());
    footerFlags_ = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (base.horizontalAdvance(header_texts_.patient) > footerPatientBox_.width()) {
        // A long name or a narrow paper: below the page number, wrapped to the band.
        footerPatientBox_.setCoords(footer_.left(), footerAt_.page.bottom() + 1, footer_.right(),
                                    footer_.bottom());
        footerFlags_ = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    }
    footerAt_.patient = base.boundingRect(footerPatientBox_, footerFlags_, header_texts_.patient);
}

std::optional<QRect> ReportLayout::StripAt(int top) const
{
    const int height = static_cast<int>(kStripHeightCm * reportCm_);
    const int width = static_cast<int>(kStripWidthCm * reportCm_);
    if (top + height > footer_.top() || width > frame_.width())
        return std::nullopt;
    const int left = (frame_.left() + frame_.right() - width) / 2;
    QRect r;
    r.setCoords(left, top, left + width, top + height);
    return r;
}

int ReportLayout::SamplesPerStrip(int traceLeft, int right, int rate) const
{
    return static_cast<int>((right - traceLeft + 1) * static_cast<double>(rate) / (2.5 * reportCm_));
}

void ReportLayout::Paginate()
{
    pagination_ = Pagination();
    size_t lead = 0;
    int next = 0;
    const int gap = static_cast<int>(kStripGapCm * reportCm_);
    const int labelWidth = static_cast<int>(kLabelAreaCm * reportCm_);
    while (lead < content_.leads.size()) {
        std::vector<StripPlan> strips;
        int top = pagination_.pages.empty() ? header_.bottom() : header_.top();
        while (lead < content_.leads.size()) {
            const std::optional<QRect> rect = StripAt(top);
            if (!rect)
                break;
            const ReportLead& l = content_.leads[lead];
            StripPlan strip;
            strip.lead = static_cast<int>(lead);
            strip.first = next;
            strip.rect = *rect;
            strip.traceLeft = next == 0 ? rect->left() + labelWidth : rect->left();
            const int room = SamplesPerStrip(strip.traceLeft, rect->right(), l.rate);
            strip.count = std::min(room, static_cast<int>(l.samples.size()) - next);
            if (strip.count <= 0 && !l.samples.empty())
                break;  // a strip that takes nothing would never end the job
            strips.push_back(strip);
            next += strip.count;
            if (next >= static_cast<int>(l.samples.size())) {
                ++lead;
                next = 0;
            }
            top = rect->bottom() + gap;
        }
        if (strips.empty()) {
            pagination_.paperTooSmall = true;
            pagination_.pages.clear();
            return;
        }
        pagination_.pages.push_back(std::move(strips));
    }
}

void ReportLayout::Begin(QPainter& painter) const
{
    painter.setPen(QPen(Qt::black, penWidth_, Qt::SolidLine));
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(baseFont_);
}

void ReportLayout::DrawPageTopDate(QPainter& painter) const
{
    painter.save();
    painter.setFont(baseFont_);
    const QRect r(dateTopLeft_, header_.bottomRight());
    painter.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, header_texts_.date);
    painter.restore();
}

void ReportLayout::DrawHeaderBlock(QPainter& painter) const
{
    DrawPageTopDate(painter);
    painter.save();
    painter.setFont(titleFont_);
    painter.drawText(QRect(header_.left(), titleTop_, header_.width(), 0),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                     header_texts_.texts[0]);
    painter.setFont(fieldFont_);
    for (int k = 2; k < kHeaderTextCount; ++k)
        if (!cells_[k].isNull() && !header_texts_.texts[k].isEmpty())
            painter.drawText(cells_[k], kFieldFlags, header_texts_.texts[k]);
    painter.restore();
}

void ReportLayout::DrawGrid(QPainter& painter, const QRect& rect) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, penWidth_, Qt::SolidLine));
    painter.drawRect(rect.left(), rect.top(), rect.right() - rect.left(), rect.bottom() - rect.top());

    const double m = reportCm_ / 10;
    const int thin = std::max(1, penWidth_ / 3);
    const QPen major(Qt::black, 3 * thin, Qt::SolidLine, Qt::FlatCap);
    const QPen dot(Qt::black, 1);
    // The 1 mm grid is a dot matrix of single pixels, gathered into one call per strip.
    std::vector<int> rows;
    for (int n = 1;; ++n) {
        const double y = rect.top() + n * m;
        if (y >= rect.bottom())
            break;
        rows.push_back(static_cast<int>(y + 0.5));
    }
    QPolygon dots;
    dots.reserve(static_cast<int>(rows.size() * (rect.width() / m + 1)));
    painter.setPen(major);
    for (int k = 0;; ++k) {
        const double x = rect.left() + k * m;
        if (x >= rect.right())
            break;
        const int px = static_cast<int>(x + 0.5);
        if (k % 5 == 0) {
            painter.drawLine(px, rect.top(), px, rect.bottom());
            continue;
        }
        for (int y : rows)
            dots << QPoint(px, y);
    }
    painter.setPen(dot);
    painter.drawPoints(dots);
    painter.setPen(major);
    for (int n = 5;; n += 5) {
        const double y = rect.top() + n * m;
        if (y >= rect.bottom())
            break;
        const int py = static_cast<int>(y + 0.5);
        painter.drawLine(rect.left(), py, rect.right(), py);
    }
    painter.restore();
}

void ReportLayout::DrawCalibrationPulse(QPainter& painter, int x0, int y0, int amplitude) const
{
    const int d = static_cast<int>(amplitude * reportCm_ / 160);
    const int quarter = static_cast<int>(reportCm_ / 4);
    const int x1 = x0 + quarter, x2 = x1 + quarter, x3 = x2 + quarter;
    const QPoint points[6] = {{x0, y0 + d}, {x1, y0 + d}, {x1, y0 - d},
                              {x2, y0 - d}, {x2, y0 + d}, {x3, y0 + d}};
    painter.drawPolyline(points, 6);
}

void ReportLayout::DrawStrip(QPainter& painter, const StripPlan& strip) const
{
    const ReportLead& lead = content_.leads[strip.lead];
    const QRect& r = strip.rect;
    DrawGrid(painter, r);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QPen trace(Qt::black, 2 * penWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const int middle = (r.top() + r.bottom()) / 2;
    if (strip.labelled()) {
        painter.setFont(baseFont_);
        const int h = fieldLineHeight_;
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip | Qt::TextSingleLine;
        for (int i = 0; i < 3; ++i) {
            const int centre = middle + (i - 1) * 2 * h;
            const QRect box(r.left() + 2 * penWidth_, centre - h / 2, 0, h);
            // On white paper of their own: the middle label sits on a 5 mm line, the others
            // among the millimetre dots.
            if (!lead.labelLines[i].isEmpty())
                painter.fillRect(painter.boundingRect(box, flags, lead.labelLines[i])
                                     .adjusted(-penWidth_, 0, penWidth_, 0),
                                 Qt::white);
            painter.drawText(box, flags, lead.labelLines[i]);
        }
        // The name's size in tenths of a point is a fifth of the strip's height in pixels of a
        // 600 dpi page (22.5 points); taken on the device's own pixels it would grow with the
        // printer's resolution.
        QFont nameFont = titleFont_;
        const double stripAt600 = (r.bottom() - r.top()) * double(kDefaultReportDpi) / dpi_;
        nameFont.setPointSizeF(std::max(1.0, stripAt600 / 5 / 10.0));
        const int cm = static_cast<int>(reportCm_);
        // "aVR" at full size runs into the pulse at 2.125 cm; a wide name is made smaller to end
        // a little before it.
        const int room = static_cast<int>(1.05 * reportCm_);
        const int natural = QFontMetrics(nameFont, painter.device()).horizontalAdvance(lead.name);
        if (natural > room)
            nameFont.setPointSizeF(nameFont.pointSizeF() * room / natural);
        painter.setFont(nameFont);
        const QFontMetrics fm(nameFont, painter.device());
        const int width = std::max(cm, fm.horizontalAdvance(lead.name));
        const int height = fm.height();
        painter.drawText(QRect(r.left() + cm, middle - height / 2, width, height),
                         Qt::AlignCenter | Qt::TextDontClip | Qt::TextSingleLine, lead.name);
        painter.setPen(trace);
        if (lead.calAmplitude > 0)
            DrawCalibrationPulse(painter, r.left() + static_cast<int>(2.125 * reportCm_), middle,
                                 lead.calAmplitude);
    }
    // The trace: 2.5 cm hold `rate` samples; the middle row is the zero line 192 and one sample
    // unit is 1/80 cm, so 1 mV at gain 10 mm/mV is 10 mm. Off-strip samples ride the edges.
    painter.setPen(trace);
    const double step = 2.5 * reportCm_ / lead.rate;
    const double unit = reportCm_ / kSampleUnitsPerCm;
    QPolygon line(strip.count);
    for (int j = 0; j < strip.count; ++j) {
        const int s = lead.samples[strip.first + j] & 1023;
        const int x = static_cast<int>(strip.traceLeft + j * step + 0.5);
        const int y = static_cast<int>(middle + (kBaseline - s) * unit);
        line[j] = QPoint(x, std::clamp(y, r.top(), r.bottom()));
    }
    painter.drawPolyline(line);
    painter.restore();
}

void ReportLayout::DrawFooter(QPainter& painter, int page) const
{
    painter.save();
    painter.setFont(baseFont_);
    painter.drawText(QRect(footer_.left(), footer_.top(), footer_.width(), 0),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                     PageText(Translate("Page"), page));
    painter.drawText(footerPatientBox_, footerFlags_, header_texts_.patient);
    painter.restore();
}

ReportLayout::SummaryPositions ReportLayout::SummaryAt() const
{
    auto scaled = [this](int px) { return px * dpi_ / kDefaultReportDpi; };
    SummaryPositions pos;
    const int x = header_.left();
    const int t = header_.bottom() + scaled(kSummaryTopGap);
    const int p = (footer_.top() - header_.bottom()) / kSummaryPitchDivisor;
    // The widest label ("R(V5)+S(V1)" in a 10 point sans) is wider than the gap to the units;
    // a column never starts before the one to its left has ended.
    const int labelX = x + scaled(kSummaryLabelX);
    const int unitX = std::max(x + scaled(kSummaryUnitX), labelX + summaryLabelWidth_ + summaryCharWidth_);
    const int valueX = std::max(x + scaled(kSummaryValueX), unitX + summaryUnitWidth_ + summaryCharWidth_);
    for (int r = 0; r < kSummaryRows; ++r) {
        const int y = t + (r + 1) * p;
        pos.label[r] = QPoint(labelX, y);
        pos.unit[r] = QPoint(unitX, y);
        pos.value[r] = QPoint(valueX, y);
    }
    // The diagnosis block would start at t + band bottom + gap; on a tall header that lands on
    // the last measurement rows, so it never starts above the row after them.
    const int d = std::max(t + header_.bottom() + scaled(kSummaryTopGap), t + kSummaryRows * p);
    pos.heading = QPoint(x + scaled(kSummaryLabelX), d + p);
    const int first = std::clamp(summary_.firstLine, 0, 10);
    int row = 2;
    for (int k = 0; 9 - k >= first; ++k) {
        pos.lines.push_back(QPoint(x + scaled(kSummaryLabelX), d + row * p));
        row += lineRows_[9 - k];
    }
    pos.legend = QPoint(x + scaled(kSummaryLabelX), d + row * p);
    return pos;
}

int ReportLayout::LineWidth() const
{
    return std::max(1, frame_.right() - header_.left() - kSummaryLabelX * dpi_ / kDefaultReportDpi);
}

void ReportLayout::DrawSummary(QPainter& painter, int page) const
{
    DrawHeaderBlock(painter);
    painter.save();
    painter.setFont(baseFont_);
    const SummaryPositions pos = SummaryAt();
    const std::array<std::string, kSummaryRows> values =
        MeasurementValueTexts(summary_.measurements, summary_.rv5, summary_.sv1, summary_.corrected);
    for (int r = 0; r < kSummaryRows; ++r) {
        DrawTextAt(painter, pos.label[r].x(), pos.label[r].y(), kMeasurementLabels[r].name);
        DrawTextAt(painter, pos.unit[r].x(), pos.unit[r].y(), kMeasurementLabels[r].unit);
        DrawTextAt(painter, pos.value[r].x(), pos.value[r].y(), QString::fromStdString(values[r]));
    }
    DrawTextAt(painter, pos.heading.x(), pos.heading.y(), Translate("<< **Diagnose** >>"));
    for (size_t k = 0; k < pos.lines.size(); ++k)
        painter.drawText(QRect(pos.lines[k], QSize(LineWidth(), 1 << 20)), kLineFlags,
                         QString::fromStdString(summary_.conclusion.line[9 - k]));
    if (summary_.corrected)
        DrawTextAt(painter, pos.legend.x(), pos.legend.y(),
                   QString(kCorrectedMark) + " " + Translate("corrected by the reader"));
    painter.restore();
    DrawFooter(painter, page);
}

bool ReportLayout::RenderDocument(QPainter& painter, QPagedPaintDevice& device,
                                  const std::function<bool(int page)>& onPage) const
{
    Begin(painter);
    int page = 1;
    for (const std::vector<StripPlan>& strips : pagination_.pages) {
        if (page > 1 && !device.newPage())
            return false;
        if (onPage && !onPage(page))
            return false;
        if (page == 1)
            DrawHeaderBlock(painter);
        else
            DrawPageTopDate(painter);
        for (const StripPlan& strip : strips)
            DrawStrip(painter, strip);
        DrawFooter(painter, page);
        ++page;
    }
    if (page > 1 && !device.newPage())
        return false;
    if (onPage && !onPage(page))
        return false;
    DrawSummary(painter, page);
    return true;
}
