#pragma once
// The picture of the twelve lead panels: a sweeping trace per lead drawn pixel by pixel into an
// off-screen image per panel, and the label strip beside each panel. The window blits the images when it paints; nothing here touches the screen,
// so a packet costs a few pixel writes and the screen is refreshed at frame rate, not per packet.
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

#include "analysis/AnalysisTypes.h"

class LanguageTable;
class QPainter;
struct DisplayPoint;

class WaveformDisplay {
public:
    static constexpr int kFineStep = 4;     // pixels per millimetre: a thin grid line
    static constexpr int kCoarseStep = 20;  // 5 mm: a strong grid line
    static constexpr int kEraseWidth = 4;   // the bar restored from the grid ahead of the pen
    static constexpr int kZeroLine = 192;   // sample value drawn on the panel's middle line
    static constexpr int kLabelCount = 6;   // lead name, speed, filter, gain, mode, range
    // 80 units per mV drawn over 10 mm of 4 pixels: 1 mV is 40 pixels, as the gain label says.
    static constexpr int kUnitsPerPixel = 2;

    // The state labels and the diagnosis title are in language, which must outlive the display.
    explicit WaveformDisplay(const LanguageTable& language) : language_(&language) {}

    // Panel and label rectangles in window coordinates, edges as the layout names them
    // (right() and bottom() are the far edges, which the trace may reach).
    void SetLayout(const std::array<QRect, kLeadCount>& leads,
                   const std::array<QRect, kLeadCount>& labels);

    // One segment of the lead's trace: 0.5 pixel per sample unit, larger samples higher, one
    // pixel to the right, wrapping at the right edge. A lead whose turn comes again after
    // another lead was drawn starts from the left of a cleared panel.
    void DrawPoint(int lead, int sample);
    // The five state labels of a lead from their codes; unknown codes give empty texts.
    void UpdateLeadLabels(int lead, int speedCode, int gainCode, int filterCode, int modeFlag,
                          int rangeFlag);
    // Moves the lead's pen (window coordinates); with erase the panel shows the bare grid again.
    void ResetLeadPen(int lead, int x, int y, bool erase);
    // Every pen to its panel's left edge and middle; no lead counts as drawn last.
    void ResetAllLeadPens(bool erase);
    // The mode and range labels of every lead back to monitoring and within range; all label strips
    // are rendered again, so a language change shows at the next paint.
    void ResetStateLabels();

    // Redraws every panel from the bare grid with the first count of the size points of a review
    // list. Each lead's labels state its own points: the point last drawn, or for a lead not yet
    // drawn its first point in the list; the speed is the review's own (20 mm/s). A lead the list
    // does not hold shows no state labels.
    void DrawReview(const DisplayPoint* points, std::size_t size, std::size_t count);
    // Clears a review picture left in the panels once review is off; the live labels return.
    void LeaveReview();

    // Blits the panels and label strips that meet region.
    void PaintLeads(QPainter& painter, const QRegion& region);
    // The screen area changed since the last call; empty when nothing was drawn.
    QRegion TakeDirty();

    static QString LeadName(int code);
    // The speed a review trace has against the grid: one point per 10 packets, one pixel each.
    static QString ReviewSpeedText();

    // For the window's tests and screenshots.
    QPoint Pen(int lead) const { return {pens_[lead].x, pens_[lead].y}; }
    int LastLead() const { return lastLead_; }
    const QImage& Panel(int lead) const { return panels_[lead]; }
    const QImage& Grid() const { return grid_; }
    QString LabelText(int lead, int k) const;

private:
    struct PenState {
        int x = 0;
        int y = 0;
        bool restarted = false;
    };
    struct Labels {
        int speed = 2;
        int filter = 1;
        int gain = 1;
        int mode = 0;
        int range = 0;
        bool present = true;  // false: a review lead without points, no state to state
        bool operator==(const Labels&) const = default;
    };

    QString Translate(const char* key) const;
    int Middle(int lead) const;
    void RestoreGrid(int lead, int x, int width);
    void SetPixelSpan(QImage& image, int x, int y0, int y1);
    void RenderLabels(int lead);
    void SetLabels(Labels& target, int lead, const Labels& labels);

    const LanguageTable* language_;
    std::array<QRect, kLeadCount> leadRect_{};
    std::array<QRect, kLeadCount> labelRect_{};
    std::array<PenState, kLeadCount> pens_{};
    std::array<Labels, kLeadCount> labels_{};        // live, from the latest packets
    std::array<Labels, kLeadCount> reviewLabels_{};  // shown while a review is shown
    std::array<bool, kLeadCount> stripStale_{};      // the strip image must be rendered again
    std::array<QImage, kLeadCount> panels_;
    std::array<QImage, kLeadCount> strips_;
    QImage grid_;  // the bare grid of one panel; all panels have the same size
    int lastLead_ = -1;
    bool reviewDrawing_ = false;
    bool reviewShown_ = false;
    QRegion dirty_;
};
