#include "mainwindow/Artwork.h"

#include "mainwindow/ArtworkCanvas.h"

#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QLinearGradient>

#include <array>
#include <numbers>

namespace orvex {

using namespace artwork;

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// --- shapes shared by several icons ---------------------------------------

// A sheet of paper with a folded corner, optionally with text lines.
void Page(Canvas& c, const QRectF& area, bool lines = false)
{
    const QRectF r = c.snapped(area);
    const double fold = std::round(c.pixels(r.width() * 0.36)) * c.px;
    QPainterPath body;
    body.moveTo(r.topLeft());
    body.lineTo(r.right() - fold, r.top());
    body.lineTo(r.right(), r.top() + fold);
    body.lineTo(r.bottomRight());
    body.lineTo(r.bottomLeft());
    body.closeSubpath();
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Palette::paper);
    c.p.drawPath(body);
    QPainterPath ear;
    ear.moveTo(r.right() - fold, r.top());
    ear.lineTo(r.right() - fold, r.top() + fold);
    ear.lineTo(r.right(), r.top() + fold);
    ear.closeSubpath();
    c.p.setBrush(Palette::paperShade);
    c.p.drawPath(ear);
    if (!lines)
        return;
    c.p.setPen(c.outline(Palette::line));
    const double step = std::max(3.0, 2 * c.px);
    for (double y = r.top() + fold + step * 0.8; y < r.bottom() - step * 0.6; y += step) {
        const double ys = c.snap(y);
        c.p.drawLine(QPointF(r.left() + 2.5 * c.px, ys), QPointF(r.right() - 2.5 * c.px, ys));
    }
}

// A globe: a disc with a meridian, the equator and, when large enough, parallels.
void Globe(Canvas& c, QPointF centre, double r, const QColor& colour)
{
    c.p.setPen(c.outline(colour.darker(135)));
    c.p.setBrush(colour);
    c.p.drawEllipse(centre, r, r);
    c.p.save();
    QPainterPath inside;
    inside.addEllipse(centre, r - c.px * 0.5, r - c.px * 0.5);
    c.p.setClipPath(inside);
    c.p.setPen(c.stroke(QColor(255, 255, 255, 215), c.px));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawEllipse(centre, r * 0.42, r);
    c.p.drawLine(QPointF(centre.x() - r, centre.y()), QPointF(centre.x() + r, centre.y()));
    if (c.pixels(r) >= 5.5) {
        c.p.drawLine(QPointF(centre.x() - r, centre.y() - r * 0.5), QPointF(centre.x() + r, centre.y() - r * 0.5));
        c.p.drawLine(QPointF(centre.x() - r, centre.y() + r * 0.5), QPointF(centre.x() + r, centre.y() + r * 0.5));
    }
    c.p.restore();
}

// A coloured disc with a white rim, laid over the corner of another shape.
void Badge(Canvas& c, QPointF centre, double r, const QColor& colour)
{
    c.p.setPen(QPen(Palette::paper, std::max(1.2, c.px * 1.2)));
    c.p.setBrush(colour);
    c.p.drawEllipse(centre, r, r);
}

void PlusBadge(Canvas& c, QPointF centre, double r)
{
    Badge(c, centre, r, Palette::green);
    const double arm = r * 0.55;
    c.p.setPen(c.stroke(Palette::paper, std::max(1.6, 1.2 * c.px)));
    c.p.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    c.p.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
}

void CheckBadge(Canvas& c, QPointF centre, double r)
{
    Badge(c, centre, r, Palette::green);
    c.p.setPen(c.stroke(Palette::paper, std::max(1.6, 1.2 * c.px)));
    c.p.setBrush(Qt::NoBrush);
    const QPointF tick[] = {centre + QPointF(-r * 0.5, 0), centre + QPointF(-r * 0.12, r * 0.4),
                            centre + QPointF(r * 0.52, -r * 0.4)};
    c.p.drawPolyline(tick, 3);
}

// An arc from startDeg sweeping spanDeg (positive: anticlockwise) ending in an arrow head.
void ArcArrow(Canvas& c, QPointF centre, double r, double startDeg, double spanDeg,
              const QColor& colour, double width)
{
    c.p.setPen(c.stroke(colour, width));
    c.p.setBrush(Qt::NoBrush);
    const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    c.p.drawArc(box, int(startDeg * 16), int(spanDeg * 16));
    const double end = (startDeg + spanDeg) * kDegree;
    const double way = spanDeg > 0 ? 1 : -1;
    const QPointF tip(centre.x() + r * std::cos(end), centre.y() - r * std::sin(end));
    const QPointF along(-std::sin(end) * way, -std::cos(end) * way);
    const QPointF out(std::cos(end), -std::sin(end));
    const double half = width * 1.25;
    const QPointF head[] = {tip + along * half * 1.3, tip + out * half, tip - out * half};
    c.p.setPen(QPen(colour, c.px * 0.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    c.p.setBrush(colour);
    c.p.drawPolygon(head, 3);
}

void Magnifier(Canvas& c, const QColor& ring, const QColor& glass, const QColor& handle)
{
    c.p.setPen(c.stroke(handle, 3.4));
    c.p.drawLine(QPointF(14.6, 14.6), QPointF(20, 20));
    c.p.setPen(c.stroke(ring, 2.2));
    c.p.setBrush(glass);
    c.p.drawEllipse(QPointF(9.8, 9.8), 6.3, 6.3);
    c.p.setPen(c.stroke(QColor(255, 255, 255, 200), 1.3));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawArc(QRectF(6.2, 6.2, 7.2, 7.2), 100 * 16, 70 * 16);
}

void Folder(Canvas& c)
{
    const QRectF r = c.snapped(QRectF(2.5, 4.5, 19, 16));
    QPainterPath back;
    back.moveTo(r.left(), r.top());
    back.lineTo(r.left() + 6.5, r.top());
    back.lineTo(r.left() + 8.5, r.top() + 2);
    back.lineTo(r.right(), r.top() + 2);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    c.p.setPen(c.outline(QColor(0xa8, 0x6e, 0x12)));
    c.p.setBrush(QColor(0xd8, 0x90, 0x22));
    c.p.drawPath(back);
    c.p.setBrush(Palette::amber);
    c.p.drawRect(QRectF(QPointF(r.left(), c.snap(r.top() + 4.5)), r.bottomRight()));
}

// Three list rows, each with a check box; `pattern` says which boxes are ticked.
void CheckRows(Canvas& c, std::array<bool, 3> pattern)
{
    for (int row = 0; row < 3; ++row) {
        const double top = 2.5 + row * 7;
        const QRectF box = c.snapped(QRectF(2.5, top, 4.8, 4.8));
        c.p.setPen(c.outline(pattern[row] ? Palette::blue.darker(120) : Palette::ink));
        c.p.setBrush(pattern[row] ? Palette::blue : Palette::paper);
        c.p.drawRect(box);
        if (pattern[row] && c.pixels(4.8) >= 4.5) {
            c.p.setPen(c.stroke(Palette::paper, 1.3));
            const QPointF tick[] = {box.center() + QPointF(-1.3, 0), box.center() + QPointF(-0.4, 1),
                                    box.center() + QPointF(1.4, -1.1)};
            c.p.drawPolyline(tick, 3);
        }
        c.p.setPen(c.stroke(pattern[row] ? Palette::ink : Palette::grey, 2));
        c.p.drawLine(QPointF(11.5, box.center().y()), QPointF(21, box.center().y()));
    }
}

void StraightArrow(Canvas& c, bool pointsLeft)
{
    QPainterPath arrow;
    const QPointF shape[] = {{3, 12}, {11, 4}, {11, 8.5}, {20.5, 8.5}, {20.5, 15.5}, {11, 15.5}, {11, 20}};
    arrow.moveTo(shape[0]);
    for (const QPointF& point : shape)
        arrow.lineTo(point);
    arrow.closeSubpath();
    c.p.save();
    if (!pointsLeft) {
        c.p.translate(24, 0);
        c.p.scale(-1, 1);
    }
    c.p.setPen(QPen(Palette::blue.darker(125), c.px, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    c.p.setBrush(Palette::blue);
    c.p.drawPath(arrow);
    c.p.restore();
}

// A small window: a paper frame with a blue title bar; returns the frame, and
// leaves the pen off for what is drawn inside.
QRectF WindowFrame(Canvas& c, const QRectF& area)
{
    const QRectF frame = c.snapped(area);
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Palette::paper);
    c.p.drawRect(frame);
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(Palette::blue);
    c.p.drawRect(QRectF(frame.topLeft(), QPointF(frame.right(), c.snap(frame.top() + 3.5))));
    return frame;
}

void SortTriangle(Canvas& c, bool up)
{
    const double tipY = up ? 8 : 16, baseY = up ? 15.5 : 8.5;
    const QPointF shape[] = {{12, tipY}, {17.5, baseY}, {6.5, baseY}};
    c.p.setPen(QPen(QColor(0x5d, 0x66, 0x73), c.px * 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    c.p.setBrush(QColor(0x5d, 0x66, 0x73));
    c.p.drawPolygon(shape, 3);
}

// --- the program's icon ------------------------------------------------------

// The rounded blue tile under the program's icon and the tray frames.
void DrawAppTile(Canvas& c)
{
    QLinearGradient tile(0, 1, 0, 23);
    tile.setColorAt(0, QColor(0x4a, 0x8a, 0xd4));
    tile.setColorAt(1, QColor(0x22, 0x56, 0x95));
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(tile);
    c.p.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
}

void DrawAppMotif(Canvas& c)
{
    DrawAppTile(c);
    Globe(c, QPointF(10.5, 10.5), 6.6, QColor(0x5c, 0xa8, 0xe8));
    c.p.setBrush(Qt::NoBrush);
    c.p.setPen(c.stroke(Palette::paper, 1.5));
    c.p.drawEllipse(QPointF(10.5, 10.5), 6.8, 6.8);
    c.p.setPen(c.stroke(Palette::amber, 3.4));
    c.p.drawLine(QPointF(16, 16), QPointF(19.2, 19.2));
}

// The motif of the tray frames: the program's tile and globe, ringed by the
// two update arrows turned by the frame's angle.
void DrawTrayFrame(Canvas& c, double turn)
{
    DrawAppTile(c);
    Globe(c, QPointF(12, 12), 5.2, QColor(0x5c, 0xa8, 0xe8));
    // Two arrows half a turn apart: five steps of 36 degrees bring the picture round.
    ArcArrow(c, {12, 12}, 8.4, 200 - turn, -130, QColor(0x7c, 0xe0, 0x8e), 2.2);
    ArcArrow(c, {12, 12}, 8.4, 20 - turn, -130, QColor(0x7c, 0xe0, 0x8e), 2.2);
}

template <int Frame>
void DrawTray(Canvas& c)
{
    DrawTrayFrame(c, Frame * 36.0);
}

constexpr std::array<Drawing, 5> kTrayDrawings = {DrawTray<0>, DrawTray<1>, DrawTray<2>,
                                                  DrawTray<3>, DrawTray<4>};

// --- URL states ---------------------------------------------------------------

const QRectF kStatePage(3.5, 1.5, 14, 20);

void DrawUpdating(Canvas& c)
{
    const QPointF centre(12, 12);
    ArcArrow(c, centre, 7.4, 200, -140, Palette::green, 2.6);
    ArcArrow(c, centre, 7.4, 20, -140, Palette::green, 2.6);
}
void DrawNoStatus(Canvas& c) { Page(c, kStatePage, true); Badge(c, {16.5, 16.5}, 4.6, Palette::grey); }
void DrawAnswered(Canvas& c) { Page(c, kStatePage, true); Globe(c, {15.8, 15.8}, 6.2, Palette::green); }
void DrawFailed(Canvas& c) { Page(c, kStatePage, true); Badge(c, {16.5, 16.5}, 4.6, Palette::red); }
void DrawChecking(Canvas& c)
{
    Magnifier(c, Palette::ink, QColor(0xff, 0xf1, 0xcc), QColor(0xb8, 0x7a, 0x20));
}

// --- commands -------------------------------------------------------------------

void DrawNewProject(Canvas& c) { Folder(c); PlusBadge(c, {17.5, 17.5}, 5); }
void DrawSearch(Canvas& c) { Magnifier(c, Palette::blue, QColor(0xe3, 0xef, 0xfb), Palette::ink); }
void DrawUpdateProject(Canvas& c)
{
    Globe(c, {12, 12}, 5.6, Palette::blue);
    ArcArrow(c, {12, 12}, 9, 200, -140, Palette::green, 2.2);
    ArcArrow(c, {12, 12}, 9, 20, -140, Palette::green, 2.2);
}
void DrawOptions(Canvas& c)
{
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth; ++i) {
        const double base = i * 360.0 / teeth;
        for (auto [offset, r] : {std::pair{-14.0, 7.2}, {-8.0, 10.0}, {8.0, 10.0}, {14.0, 7.2}}) {
            const double a = (base + offset) * kDegree;
            const QPointF point(12 + r * std::cos(a), 12 + r * std::sin(a));
            if (gear.elementCount() == 0)
                gear.moveTo(point);
            else
                gear.lineTo(point);
        }
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(12, 12), 3.2, 3.2);
    gear.setFillRule(Qt::OddEvenFill);
    c.p.setPen(c.outline(QColor(0x47, 0x55, 0x68)));
    c.p.setBrush(QColor(0x70, 0x80, 0x94));
    c.p.drawPath(gear);
}
void DrawHelp(Canvas& c)
{
    c.p.setPen(c.outline(Palette::blue.darker(130)));
    c.p.setBrush(Palette::blue);
    c.p.drawEllipse(QPointF(12, 12), 10, 10);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(15);
    c.p.setFont(font);
    c.p.setPen(Palette::paper);
    c.p.drawText(QRectF(2, 2.5, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
}
void DrawShowHideProjects(Canvas& c)
{
    const QRectF frame = WindowFrame(c, QRectF(2, 3.5, 20, 17));
    c.p.setBrush(Palette::lightBlue);
    const double split = c.snap(9);
    c.p.drawRect(QRectF(QPointF(frame.left() + c.px * 0.5, c.snap(frame.top() + 3.5)),
                        QPointF(split, frame.bottom() - c.px * 0.5)));
    c.p.setPen(c.outline(Palette::ink));
    c.p.drawLine(QPointF(split, frame.top() + 3.5), QPointF(split, frame.bottom()));
}
void DrawNewUrl(Canvas& c) { Page(c, QRectF(3.5, 1.5, 14, 20), true); PlusBadge(c, {17.5, 17.5}, 5); }
void DrawCut(Canvas& c)
{
    c.p.setPen(c.stroke(QColor(0x6b, 0x75, 0x82), 2));
    c.p.drawLine(QPointF(10, 15.5), QPointF(16.5, 2.5));
    c.p.drawLine(QPointF(14, 15.5), QPointF(7.5, 2.5));
    c.p.setPen(c.stroke(Palette::red, 2));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawEllipse(QPointF(7.8, 18.2), 3.1, 3.1);
    c.p.drawEllipse(QPointF(16.2, 18.2), 3.1, 3.1);
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(Palette::ink);
    c.p.drawEllipse(QPointF(12, 11.5), 1, 1);
}
void DrawCopy(Canvas& c)
{
    Page(c, QRectF(2.5, 1.5, 12, 15), false);
    Page(c, QRectF(8.5, 7.5, 12, 15), true);
}
void DrawPaste(Canvas& c)
{
    c.p.setPen(c.outline(QColor(0x8a, 0x5a, 0x1c)));
    c.p.setBrush(QColor(0xc9, 0x8d, 0x3c));
    c.p.drawRoundedRect(c.snapped(QRectF(3, 3.5, 14, 18)), 1.5, 1.5);
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Palette::lightGrey);
    c.p.drawRoundedRect(c.snapped(QRectF(7, 1.5, 6, 4)), 1, 1);
    Page(c, QRectF(9.5, 8.5, 12, 14), true);
}
void DrawDeleteSelected(Canvas& c)
{
    c.p.setPen(c.stroke(Palette::red.darker(110), 3.4));
    c.p.drawLine(QPointF(6, 6), QPointF(18, 18));
    c.p.drawLine(QPointF(18, 6), QPointF(6, 18));
}
void DrawDeleteFailed(Canvas& c)
{
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Palette::lightGrey);
    c.p.drawRect(c.snapped(QRectF(3.5, 4.5, 15, 2.5)));
    c.p.drawRect(c.snapped(QRectF(8.5, 2.5, 5, 2)));
    QPainterPath can;
    can.moveTo(c.snap(5), c.snap(7));
    can.lineTo(c.snap(17), c.snap(7));
    can.lineTo(c.snap(16), c.snap(21.5));
    can.lineTo(c.snap(6), c.snap(21.5));
    can.closeSubpath();
    c.p.drawPath(can);
    c.p.setPen(c.outline(Palette::grey));
    for (double x : {8.5, 11.5})
        c.p.drawLine(QPointF(c.snap(x), c.snap(9.5)), QPointF(c.snap(x), c.snap(19)));
    Badge(c, {17.5, 17.5}, 4.6, Palette::red);
}
void DrawSelectAll(Canvas& c) { CheckRows(c, {true, true, true}); }
void DrawDeselectAll(Canvas& c) { CheckRows(c, {false, false, false}); }
void DrawInvertSelection(Canvas& c) { CheckRows(c, {true, false, true}); }
void DrawCheckUrl(Canvas& c) { Globe(c, {10.5, 10.5}, 8.5, Palette::blue); CheckBadge(c, {17.5, 17.5}, 5); }
void DrawUrlManagerPage(Canvas& c)
{
    const QRectF frame = WindowFrame(c, QRectF(2, 3, 20, 18));
    const QColor dots[] = {Palette::green, Palette::grey, Palette::red};
    for (int row = 0; row < 3; ++row) {
        const double y = 10.3 + row * 4.3;
        c.p.setPen(Qt::NoPen);
        c.p.setBrush(dots[row]);
        c.p.drawEllipse(QPointF(6, y), 1.6, 1.6);
        c.p.setPen(c.stroke(Palette::line, 1.6));
        c.p.drawLine(QPointF(9.5, y), QPointF(18.5, y));
    }
}
void DrawReviewPage(Canvas& c)
{
    Page(c, QRectF(3.5, 1.5, 17, 21), false);
    const QRectF picture = c.snapped(QRectF(6, 8, 12, 8));
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(Palette::lightBlue);
    c.p.drawRect(picture);
    QPainterPath hill;
    hill.moveTo(picture.bottomLeft());
    hill.lineTo(picture.left(), picture.bottom() - 2.5);
    hill.quadTo(picture.left() + 5, picture.top() + 1.5, picture.right(), picture.bottom() - 3);
    hill.lineTo(picture.bottomRight());
    hill.closeSubpath();
    c.p.setBrush(Palette::green);
    c.p.drawPath(hill);
    c.p.setBrush(Palette::amber);
    c.p.drawEllipse(QPointF(picture.right() - 2.3, picture.top() + 2.2), 1.3, 1.3);
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Qt::NoBrush);
    c.p.drawRect(picture);
    c.p.setPen(c.outline(Palette::line));
    c.p.drawLine(QPointF(6, c.snap(19)), QPointF(18, c.snap(19)));
}
void DrawBack(Canvas& c) { StraightArrow(c, true); }
void DrawForward(Canvas& c) { StraightArrow(c, false); }
void DrawStop(Canvas& c)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + i * 45) * kDegree;
        octagon << QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a));
    }
    c.p.setPen(c.outline(Palette::red.darker(130)));
    c.p.setBrush(Palette::red);
    c.p.drawPolygon(octagon);
    c.p.setPen(c.stroke(Palette::paper, 2.4));
    c.p.drawLine(QPointF(8.3, 8.3), QPointF(15.7, 15.7));
    c.p.drawLine(QPointF(15.7, 8.3), QPointF(8.3, 15.7));
}
void DrawRefresh(Canvas& c) { ArcArrow(c, {12, 12}, 7.6, 330, -280, Palette::blue, 2.8); }
void DrawPrint(Canvas& c)
{
    c.p.setPen(c.outline(Palette::ink));
    c.p.setBrush(Palette::paper);
    c.p.drawRect(c.snapped(QRectF(6.5, 2.5, 11, 7)));
    c.p.setBrush(QColor(0x8c, 0x96, 0xa4));
    c.p.drawRoundedRect(c.snapped(QRectF(2, 8.5, 20, 9)), 1.5, 1.5);
    Page(c, QRectF(6.5, 13.5, 11, 8.5), false);
    c.p.setPen(c.outline(Palette::line));
    c.p.drawLine(QPointF(c.snap(8.5), c.snap(17)), QPointF(c.snap(15.5), c.snap(17)));
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(Palette::green);
    c.p.drawEllipse(QPointF(19, 11), 1.1, 1.1);
}
void DrawSaveAs(Canvas& c)
{
    const QRectF disk = c.snapped(QRectF(3, 3, 18, 18));
    c.p.setPen(c.outline(Palette::navy));
    c.p.setBrush(Palette::blue);
    c.p.drawRoundedRect(disk, 1.5, 1.5);
    c.p.setPen(Qt::NoPen);
    c.p.setBrush(Palette::lightGrey);
    c.p.drawRect(QRectF(QPointF(c.snap(7), disk.top() + c.px * 0.5), QPointF(c.snap(16.5), c.snap(9))));
    c.p.setBrush(Palette::navy);
    c.p.drawRect(QRectF(QPointF(c.snap(13), c.snap(4.5)), QPointF(c.snap(15), c.snap(8))));
    c.p.setPen(c.outline(Palette::navy));
    c.p.setBrush(Palette::paper);
    c.p.drawRect(c.snapped(QRectF(6, 12.5, 12, 8.5)));
    c.p.setPen(c.outline(Palette::line));
    c.p.drawLine(QPointF(c.snap(8), c.snap(15.5)), QPointF(c.snap(16), c.snap(15.5)));
}
void DrawSortUp(Canvas& c) { SortTriangle(c, true); }
void DrawSortDown(Canvas& c) { SortTriangle(c, false); }
void DrawBlank(Canvas&) {}

constexpr std::array<Drawing, kToolIconCount> kToolDrawings = {
    DrawNewProject, DrawSearch, DrawUpdateProject, DrawOptions, DrawHelp, DrawShowHideProjects,
    DrawNewUrl, DrawCut, DrawCopy, DrawPaste, DrawDeleteSelected, DrawDeleteFailed,
    DrawSelectAll, DrawDeselectAll, DrawInvertSelection, DrawCheckUrl, DrawUrlManagerPage,
    DrawReviewPage, DrawBack, DrawForward, DrawStop, DrawRefresh, DrawPrint, DrawSaveAs,
    DrawSortUp, DrawSortDown, DrawBlank,
};

Drawing StateDrawing(UrlStateIcon state)
{
    switch (state) {
    case UrlStateIcon::Updating: return DrawUpdating;
    case UrlStateIcon::NoStatus: return DrawNoStatus;
    case UrlStateIcon::Answered: return DrawAnswered;
    case UrlStateIcon::Failed: return DrawFailed;
    case UrlStateIcon::Checking: return DrawChecking;
    }
    return DrawNoStatus;
}

// --- cache ------------------------------------------------------------------------

// Icons hold pixmaps, which must be released before the application object goes.
QHash<int, QIcon>& IconCache()
{
    static QHash<int, QIcon> cache;
    static const bool hooked = [] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QObject::destroyed, [] { IconCache().clear(); });
        return true;
    }();
    Q_UNUSED(hooked);
    return cache;
}

QIcon CachedIcon(int key, Drawing draw, std::initializer_list<int> sizes = {16, 20, 24, 32, 48})
{
    QHash<int, QIcon>& cache = IconCache();
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QIcon icon;
    for (int size : sizes)
        icon.addPixmap(Render(draw, size));
    cache.insert(key, icon);
    return icon;
}

constexpr int kAppIconKey = -1;
constexpr int kStateKeyBase = 1000;
constexpr int kTrayKeyBase = 2000;

} // namespace

QIcon AppIcon()
{
    return CachedIcon(kAppIconKey, DrawAppMotif, {16, 22, 24, 32, 48, 64, 128, 256});
}

QPixmap ProductPicture()
{
    static QPixmap picture;
    if (picture.isNull()) {
        picture = QPixmap(96, 96);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(16, 0);
        {
            Canvas motif(painter, 64);
            DrawAppMotif(motif);
        }
        painter.resetTransform();
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(Palette::navy);
        painter.drawText(QRectF(0, 64, 96, 30), Qt::AlignCenter, QStringLiteral("Orvex"));
    }
    return picture;
}

QIcon StateIcon(UrlStateIcon state)
{
    return CachedIcon(kStateKeyBase + static_cast<int>(state), StateDrawing(state));
}

QIcon ToolIconOf(ToolIcon which)
{
    const int index = static_cast<int>(which);
    if (index < 0 || index >= kToolIconCount)
        return QIcon();
    return CachedIcon(index, kToolDrawings[index]);
}

QIcon TrayImage(int frame)
{
    static_assert(kTrayDrawings.size() == kTrayFrameCount);
    if (frame < 0 || frame >= kTrayFrameCount)
        frame = 0;
    return CachedIcon(kTrayKeyBase + frame, kTrayDrawings[static_cast<std::size_t>(frame)],
                      {16, 22, 24, 32, 48});
}

QPixmap SplashStrip(bool filled, QSize size)
{
    QPixmap strip(size);
    strip.fill(Palette::paper);
    QPainter painter(&strip);
    const QRectF area(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    if (filled) {
        // A bar of blue blocks, as a progress bar of the desktop draws it.
        QLinearGradient shade(0, 0, 0, size.height());
        shade.setColorAt(0, Palette::lightBlue);
        shade.setColorAt(0.5, Palette::blue);
        shade.setColorAt(1, Palette::navy);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        const int block = std::max(4, size.height() - 4);
        for (int x = 2; x + block <= size.width() - 1; x += block + 2)
            painter.drawRect(QRect(x, 2, block, size.height() - 4));
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::lightGrey.lighter(108));
        painter.drawRect(area.adjusted(1, 1, -1, -1));
    }
    painter.setPen(QPen(Palette::line, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
    return strip;
}

} // namespace orvex
