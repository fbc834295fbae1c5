#pragma once
// What the main window shows, read off the screen as a user reads it: the texts it paints in a
// part of the layout (the header strip, the diagnosis panel), and whether a lead panel holds a
// trace.
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QStringList>
#include <QTransform>
#include <QWidget>
#include <utility>
#include <vector>

#include "ui/WindowLayout.h"

inline WindowLayout LayoutOf(const QWidget& window) { return ComputeLayout(window.width(), window.height()); }

// A trace is black; the grid under it never is.
inline bool PanelHasTrace(QWidget& window, int lead)
{
    const QRect panel = LayoutOf(window).leadRect[lead];
    const QImage shown = window.grab(panel).toImage();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) == qRgb(0, 0, 0))
                return true;
    return false;
}

// Every text the widget and its children draw, with where it starts.
class PaintedTexts : public QPaintDevice {
public:
    explicit PaintedTexts(QWidget& widget) : size_(widget.size()) { widget.render(this); }
    // The texts that start inside rect, in the order they were drawn.
    QStringList In(const QRect& rect) const
    {
        QStringList found;
        for (const auto& [at, text] : engine_.texts)
            if (rect.contains(at.toPoint()))
                found << text;
        return found;
    }
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 96;  // dots per inch, of every kind
        }
    }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & DirtyTransform)
                transform = state.transform();
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override
        {
            texts.emplace_back(transform.map(at), item.text());
        }
        Type type() const override { return User; }
        QTransform transform;
        std::vector<std::pair<QPointF, QString>> texts;
    };
    QSize size_;
    mutable Engine engine_;
};
