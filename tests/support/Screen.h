#pragma once
// What the main window shows, read off the screen as a user reads it: the texts it paints in a
// part of the layout (the header strip, the diagnosis panel), and whether a lead panel holds a
// trace.
#include <QImage>
#include <QPaintEngine>
#include <QStringList>
#include <QWidget>

#include "ui/WindowLayout.h"

inline WindowLayout LayoutOf(const QWidget& window) { return ComputeLayout(window.width(), window.height()); }

// A trace is black; the grid under it never is.
inline bool PanelHasTrace(QWidget& window, int lead)
{
    const QImage shown = window.grab(LayoutOf(window).leadRect[lead]).toImage();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) == qRgb(0, 0, 0))
                return true;
    return false;
}

// Every text the widget and its children draw, kept with where it starts.
class PaintedTexts : public QPaintDevice, QPaintEngine {
public:
    explicit PaintedTexts(QWidget& widget) : QPaintEngine(AllFeatures), size_(widget.size()) { widget.render(this); }
    // The texts that start inside rect, in the order they were drawn.
    QStringList In(const QRect& rect) const
    {
        QStringList found;
        for (const auto& [at, text] : texts_)
            if (rect.contains(at.toPoint()))
                found << text;
        return found;
    }
    QPaintEngine* paintEngine() const override { return const_cast<PaintedTexts*>(this); }

private:
    int metric(PaintDeviceMetric m) const override
    {
        return m == PdmWidth ? size_.width() : m == PdmHeight ? size_.height() : m == PdmDepth ? 32
             : m == PdmDevicePixelRatio ? 1 : m == PdmDevicePixelRatioScaled ? int(devicePixelRatioFScale()) : 96;
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyTransform)
            transform_ = state.transform();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& at, const QTextItem& item) override { texts_.emplace_back(transform_.map(at), item.text()); }
    Type type() const override { return User; }

    QSize size_;
    QTransform transform_;
    std::vector<std::pair<QPointF, QString>> texts_;
};
