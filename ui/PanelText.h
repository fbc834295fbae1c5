#pragma once
// Text as the window's black panels draw it: bold "Arial" sized by the height of its whole cell,
// written from the top-left corner of that cell.
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

// The largest bold "Arial" whose cell (ascent + descent) is at most height pixels: a 30-pixel
// name is 30 pixels from the top of its cell to the bottom.
inline QFont CellFont(int height)
{
    QFont font("Arial");
    font.setBold(true);
    font.setStyleStrategy(QFont::PreferAntialias);
    for (int px = height; px > 4; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).height() <= height)
            break;
    }
    return font;
}

inline void TextAt(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}
