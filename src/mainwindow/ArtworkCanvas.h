#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>

#include <algorithm>
#include <cmath>

// Drawing helpers shared by the program's icons. Every icon is drawn on a
// 24-unit square; the canvas scales it to the pixmap's size and knows how
// large one device pixel is, so outlines can sit on pixel centres and stay
// one pixel wide at 16 and 24 pixels.
namespace orvex::artwork {

namespace Palette {
inline const QColor ink(0x3b, 0x45, 0x54);
inline const QColor paper(0xff, 0xff, 0xff);
inline const QColor paperShade(0xdd, 0xe3, 0xea);
inline const QColor line(0xa4, 0xad, 0xb9);
inline const QColor blue(0x2f, 0x6f, 0xb5);
inline const QColor lightBlue(0x9c, 0xc4, 0xee);
inline const QColor navy(0x1d, 0x3a, 0x66);
inline const QColor green(0x2e, 0x9a, 0x4c);
inline const QColor red(0xd4, 0x3f, 0x3a);
inline const QColor amber(0xf0, 0xa8, 0x30);
inline const QColor grey(0x96, 0x9e, 0xa9);
inline const QColor lightGrey(0xd3, 0xd8, 0xdf);
} // namespace Palette

class Canvas
{
public:
    Canvas(QPainter& painter, int size) : p(painter), px(24.0 / size)
    {
        p.scale(size / 24.0, size / 24.0);
    }

    QPainter& p;
    const double px; // one device pixel, in units

    double pixels(double units) const { return units / px; }
    // The nearest device-pixel centre, so a one-pixel line there is sharp.
    double snap(double units) const { return (std::floor(units / px) + 0.5) * px; }
    QRectF snapped(const QRectF& r) const
    {
        return QRectF(QPointF(snap(r.left()), snap(r.top())),
                      QPointF(snap(r.right()), snap(r.bottom())));
    }
    // A one-pixel outline.
    QPen outline(const QColor& colour) const
    {
        QPen pen(colour, px);
        pen.setJoinStyle(Qt::MiterJoin);
        return pen;
    }
    // A round-capped stroke, never thinner than a pixel.
    QPen stroke(const QColor& colour, double units) const
    {
        QPen pen(colour, std::max(units, px));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    }
};

using Drawing = void (*)(Canvas&);

inline QPixmap Render(Drawing draw, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    Canvas canvas(painter, size);
    draw(canvas);
    return pixmap;
}

} // namespace orvex::artwork
