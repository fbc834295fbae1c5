#pragma once
// The printed ECG report: lead strips on a millimetre grid, a header band with the patient's
// facts, a footer band with the page number, and a closing summary page with the measurements and
// the conclusion lines. Everything is drawn with QPainter onto whatever paint device is given
// (a printer, a PDF writer, an image), so printing, PDF output and the tests share one layout.
//
// Every length is computed in device pixels from the dpi and the report centimetre,
// dpi / 2.54 * 0.954 pixels: a 5 mm grid square measures 4.77 mm on paper. "cm" and "mm" below
// always mean report centimetres and report millimetres.
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/AnalysisTypes.h"
#include "analysis/Reading.h"
#include "device/DevicePacket.h"

class LanguageTable;
class QPaintDevice;
class QPainter;
class QPagedPaintDevice;
struct PatientRecord;

constexpr double kReportCmFactor = 0.954;
constexpr int kDefaultReportDpi = 600;  // the resolution assumed before a printer is known
constexpr double kStripHeightCm = 5.0;
constexpr double kStripWidthCm = 17.5;
constexpr double kStripGapCm = 1.0;
constexpr double kLabelAreaCm = 3.0;    // a lead's first strip: labels, name and pulse
constexpr int kSampleUnitsPerCm = 80;   // 8 units per mm: 10 mm per mV at 80 units per mV
constexpr int kHeaderTextCount = 12;
constexpr int kHeaderColumns = 3;
constexpr int kSummaryRows = 9;
constexpr int kSummaryPitchDivisor = 40;  // summary row pitch = body height / 40

// Print speed index 0, 1, 2 = 12.5, 25, 50 mm/s: samples per 2.5 cm of paper at 800 per second.
constexpr std::array<int, 3> kPrintRates = {1600, 800, 400};

// One lead of the record as the report prints it.
struct ReportLead {
    uint8_t leadIndex = 0;
    std::vector<uint16_t> samples;        // low 10 bits, file order
    QString name;                          // "I" ... "V6"
    int calAmplitude = 0;                  // pulse height in sample units; 0 draws no pulse
    std::array<QString, 3> labelLines;     // speed, filter, gain
    int rate = 800;                        // samples per 2.5 cm
};

// The leads of a record in the order of their first appearance in the file.
struct ReportContent {
    std::vector<ReportLead> leads;
};

// Sorts the packets into lead slots by first appearance. A title ending in "b" (sampleOffset)
// stores samples with +320, which is taken off again, held to 0 ... 1023.
ReportContent BuildReportContent(const std::vector<DevicePacket>& packets, int printSpeedIndex,
                                 bool sampleOffset = false);

// "YYYY-MM-DD hh:mm" from a record name "m" + 12 digits + extension; empty for any other name
// (demo records, short paths, digits that are no date).
QString RecordDateText(const QString& path);

// The date line and the twelve header texts (title, the patient's facts, blanks at 1 and 10);
// patient: name and clinical number for every page's footer (empty without a patient).
struct ReportHeader {
    QString date;
    QStringList texts;
    QString patient;
};
// Without a patient every field keeps its name and shows no value. Names in the given language.
ReportHeader BuildReportHeader(const PatientRecord* patient, const QString& date,
                               const LanguageTable& language);

// What the summary page shows: the measurement set, R(V5) and S(V1) in µV, the conclusion lines
// from 9 down to firstLine (firstLine 10: none), the values a reader corrected (bits as
// MeasurementValueTexts takes them; a legend says what their mark means), and the machine's own
// reading of the record.
struct ReportSummary {
    MeasurementSet measurements;
    int32_t rv5 = 0;
    int32_t sv1 = 0;
    ConclusionLines conclusion;
    int firstLine = 10;
    uint32_t corrected = 0;
    Reading machine;
};
// The summary of a confirmed reading: its statements, values, reader and comment in place of
// the machine's.
void ApplyReading(ReportSummary& summary, const Reading& reading, const LanguageTable& language);

// One strip of the body: a part of one lead.
struct StripPlan {
    int lead = 0;       // slot in ReportContent::leads
    int first = 0;      // first sample drawn
    int count = 0;      // samples drawn
    QRect rect;         // the strip, grid included
    int traceLeft = 0;  // x of sample `first`
    bool labelled() const { return first == 0; }
};

// The strip pages of a report; empty pages never occur. paperTooSmall: not even one strip fits
// on an empty page, so no strip page is printed at all.
struct Pagination {
    std::vector<std::vector<StripPlan>> pages;
    bool paperTooSmall = false;
};

class ReportLayout {
public:
    // The page texts ("Page", the summary heading) come from language, which must outlive the
    // layout.
    ReportLayout(ReportContent content, ReportHeader header, ReportSummary summary,
                 const LanguageTable& language);

    // dpi = physical width in pixels * 25.4 / width in mm, truncated, then rounded to a multiple
    // of 6 by ((dpi + 2) / 6) * 6: the millimetre width is a truncated integer, so the raw
    // figure comes out a little low (4960 px over 210 mm is 599.9).
    static int EstimateDpi(int physicalWidth, int widthMm);

    // Measures the device (dpi, pens, page rectangles, the header layout in its fonts) and plans
    // the pages. The device's origin is the paper's top-left corner; printable, when known, is
    // the part of the paper a printer can reach, in the same pixels.
    void MeasureDevice(QPaintDevice& device, const QRect& printable = QRect());
    QPoint DateTopLeft() const { return dateTopLeft_; }

    int Dpi() const { return dpi_; }
    double ReportCm() const { return reportCm_; }
    int PenWidth() const { return penWidth_; }
    QSize PageSize() const { return page_; }
    QRect Frame() const { return frame_; }
    // The header band after the header block has lowered it to fit its texts.
    QRect HeaderBand() const { return header_; }
    QRect FooterBand() const { return footer_; }
    const Pagination& Pages() const { return pagination_; }
    const ReportContent& Content() const { return content_; }

    // The strip whose top is at `top`, centred in the frame; nullopt when it does not fit the
    // body (whose bottom is the footer band's top) or is wider than the frame.
    std::optional<QRect> StripAt(int top) const;
    // Samples one strip holds from x = traceLeft to the strip's right edge at a rate.
    int SamplesPerStrip(int traceLeft, int right, int rate) const;

    // Page elements. Begin selects the black pen, brush and base font for the whole job.
    void Begin(QPainter& painter) const;
    void DrawPageTopDate(QPainter& painter) const;
    void DrawHeaderBlock(QPainter& painter) const;
    void DrawStrip(QPainter& painter, const StripPlan& strip) const;
    void DrawGrid(QPainter& painter, const QRect& rect) const;
    void DrawCalibrationPulse(QPainter& painter, int x0, int y0, int amplitude) const;
    // The page number and the patient, so that a loose page names its record together with the
    // date line at its top.
    void DrawFooter(QPainter& painter, int page) const;
    void DrawSummary(QPainter& painter, int page) const;
    // The top-left corners of the summary page's texts, for the layout tests: label, unit and
    // value of each row, then the heading, the conclusion lines (a long one, a reader's comment,
    // wraps within the frame and takes the rows it needs) and the legend of corrected values.
    struct SummaryPositions {
        std::array<QPoint, kSummaryRows> label, unit, value;
        QPoint heading;
        std::vector<QPoint> lines;
        QPoint legend;
    };
    SummaryPositions SummaryAt() const;
    // Where the footer's texts lie, for the layout tests: the widest page number of the
    // document, and the patient left of it or, when it does not fit there, below it.
    struct FooterPositions {
        QRect page, patient;
    };
    FooterPositions FooterAt() const { return footerAt_; }

    // The strip pages and then the summary page; onPage runs before each strip page starts and
    // may refuse (cancel). False when a page could not be started or was refused.
    bool RenderDocument(QPainter& painter, QPagedPaintDevice& device,
                        const std::function<bool(int page)>& onPage = {}) const;
    int PageCount() const { return static_cast<int>(pagination_.pages.size()) + 1; }

private:
    void PlanHeader(QPaintDevice& device);
    void PlanFooter(QPaintDevice& device);
    void Paginate();
    QString Translate(const char* key) const;

    const LanguageTable* language_;
    ReportContent content_;
    ReportHeader header_texts_;
    ReportSummary summary_;
    int dpi_ = kDefaultReportDpi;
    double reportCm_ = 0;
    int penWidth_ = 4;
    QSize page_;
    QRect frame_, header_, footer_;
    QPoint dateTopLeft_;
    // Header block: title position and the cells of texts 2 ... 11 (empty rect: skipped).
    int titleTop_ = 0;
    std::array<QRect, kHeaderTextCount> cells_{};
    int fieldLineHeight_ = 0;  // the field font's line height, also used by the strip labels
    QFont baseFont_, titleFont_, fieldFont_;
    int summaryLabelWidth_ = 0, summaryUnitWidth_ = 0, summaryCharWidth_ = 0;
    std::array<int, 10> lineRows_{};  // rows each conclusion line takes, wrapped
    int LineWidth() const;
    Pagination pagination_;
    FooterPositions footerAt_;
    QRect footerPatientBox_;  // drawn into, with footerFlags_
    int footerFlags_ = 0;
};
