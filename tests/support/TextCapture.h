#pragma once
// A paint device that keeps what is written on it instead of pixels: the texts of a panel or a
// page, row by row, exactly as they were handed to the painter.
#include <QPaintDevice>
#include <QPaintEngine>
#include <QStringList>
#include <QTextItem>
#include <map>

class TextCapture : public QPaintDevice {
public:
    explicit TextCapture(QSize size = {1920, 1080}, int dpi = 96) : size_(size), dpi_(dpi) {}

    // The texts of each baseline, top to bottom, each row's texts left to right.
    QList<QStringList> Rows() const
    {
        QList<QStringList> rows;
        double y = -1e9;
        for (const auto& [at, text] : engine_.texts) {
            if (rows.isEmpty() || at.first != y)
                rows.append(QStringList());
            y = at.first;
            rows.last() << text;
        }
        return rows;
    }
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmWidthMM: return size_.width() * 254 / dpi_ / 10;
        case PdmHeightMM: return size_.height() * 254 / dpi_ / 10;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return dpi_;
        case PdmDepth: return 32;
        case PdmNumColors: return 1 << 24;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return QPaintDevice::metric(m);
        }
    }

private:
    struct Engine : QPaintEngine {
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            texts[{p.y(), p.x()}] += item.text();
        }
        Type type() const override { return User; }
        std::map<std::pair<double, double>, QString> texts;  // by (baseline, x)
    };
    QSize size_;
    int dpi_;
    mutable Engine engine_;
};
