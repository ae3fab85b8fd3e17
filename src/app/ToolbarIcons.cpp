#include "app/ToolbarIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>
#include <functional>
#include <numbers>

namespace kestrune::app {

namespace {

using Drawing = std::function<void(QPainter&)>;

const QColor kInk(40, 40, 40);
const QColor kWaveBlue(20, 80, 200);

/** Renders a drawing made in a 16 x 16 (or `logical`) grid at several sizes. */
QIcon Render(const Drawing& draw, int logical = 16, std::initializer_list<int> sizes = {16, 32}) {
    QIcon icon;
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(static_cast<double>(size) / logical, static_cast<double>(size) / logical);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen Pen(const QColor& color, double width = 1.0) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

/** A sine-like trace across [x0, x1] around y with the given amplitude. */
QPolygonF Trace(double x0, double x1, double y, double amplitude, double cycles) {
    QPolygonF points;
    const int steps = 40;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double envelope = std::sin(std::numbers::pi * t);
        points << QPointF(x0 + (x1 - x0) * t,
                          y - amplitude * envelope * std::sin(2 * std::numbers::pi * cycles * t));
    }
    return points;
}

void Sheet(QPainter& p) {
    p.setPen(Pen(QColor(110, 110, 110)));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1, 1);
}

void OpenWave(QPainter& p) {
    p.setPen(Pen(QColor(150, 110, 20)));
    p.setBrush(QColor(240, 200, 80));
    QPolygonF back;
    back << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(14.5, 5)
         << QPointF(14.5, 13.5) << QPointF(1.5, 13.5);
    p.drawPolygon(back);
    p.setBrush(QColor(252, 226, 130));
    QPolygonF front;
    front << QPointF(3.5, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 13.5) << QPointF(1.5, 13.5);
    p.drawPolygon(front);
    p.setPen(Pen(kWaveBlue, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(Trace(4, 13, 10.5, 2.2, 2));
}

void SaveWave(QPainter& p) {
    p.setPen(Pen(QColor(20, 50, 110)));
    p.setBrush(QColor(60, 110, 200));
    QPolygonF disk;
    disk << QPointF(1.5, 1.5) << QPointF(12.5, 1.5) << QPointF(14.5, 3.5) << QPointF(14.5, 14.5)
         << QPointF(1.5, 14.5);
    p.drawPolygon(disk);
    p.setBrush(QColor(235, 240, 250));
    p.drawRect(QRectF(4, 1.5, 8, 5));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(3.5, 9, 9, 5.5));
    p.setPen(Pen(kWaveBlue, 1.0));
    p.drawPolyline(Trace(4.5, 11.5, 11.8, 1.8, 1.5));
}

void DrawWave(QPainter& p) {
    Sheet(p);
    p.setPen(Pen(QColor(200, 0, 200), 0.8));
    p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
    p.setPen(Pen(kWaveBlue, 1.3));
    p.drawPolyline(Trace(2.5, 13.5, 8, 4, 2.5));
}

void DrawFrequency(QPainter& p) {
    Sheet(p);
    const double heights[] = {3, 7, 9, 6, 4, 2};
    const QColor colors[] = {QColor(40, 60, 220), QColor(0, 160, 220), QColor(40, 180, 60),
                             QColor(230, 200, 0), QColor(240, 120, 0), QColor(220, 30, 30)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(colors[i]);
        p.drawRect(QRectF(2.75 + i * 1.8, 12.5 - heights[i], 1.5, heights[i]));
    }
}

void Magnifier(QPainter& p, bool plus) {
    p.setPen(Pen(QColor(90, 60, 30), 2.6));
    p.drawLine(QPointF(10.2, 10.2), QPointF(14.5, 14.5));
    p.setPen(Pen(QColor(60, 60, 60), 1.3));
    p.setBrush(QColor(215, 235, 255));
    p.drawEllipse(QPointF(6.5, 6.5), 5, 5);
    p.setPen(Pen(kInk, 1.5));
    p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (plus) p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
}

void Cut(QPainter& p, bool left) {
    // The side that goes is greyed; a red marker shows where the cut falls.
    const double cutX = 8;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(205, 205, 205));
    p.drawRect(left ? QRectF(1, 3, cutX - 1, 10) : QRectF(cutX, 3, 15 - cutX, 10));
    p.setPen(Pen(kWaveBlue, 1.2));
    p.drawPolyline(Trace(1.5, 14.5, 8, 4, 3));
    p.setPen(Pen(QColor(210, 20, 20), 1.4));
    p.drawLine(QPointF(cutX, 1.5), QPointF(cutX, 14.5));
    p.setBrush(QColor(210, 20, 20));
    p.setPen(Qt::NoPen);
    QPolygonF arrow;
    if (left) {
        arrow << QPointF(1, 2.5) << QPointF(4.5, 0.5) << QPointF(4.5, 4.5);
    } else {
        arrow << QPointF(15, 2.5) << QPointF(11.5, 0.5) << QPointF(11.5, 4.5);
    }
    p.drawPolygon(arrow);
}

void Turn(QPainter& p, bool back) {
    // A curved arrow: bending back to the left for Undo, on to the right for Redo.
    p.save();
    if (!back) {
        p.translate(16, 0);
        p.scale(-1, 1);
    }
    QPainterPath path;
    path.moveTo(4, 6.5);
    path.cubicTo(QPointF(9, 3), QPointF(15, 5), QPointF(13, 10.5));
    path.quadTo(QPointF(11.5, 13.5), QPointF(8, 13.5));
    p.setPen(Pen(QColor(30, 110, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 60));
    QPolygonF head;
    head << QPointF(1, 7.5) << QPointF(6.5, 3) << QPointF(6.5, 10);
    p.drawPolygon(head);
    p.restore();
}

void AudioInformation(QPainter& p) {
    // A speaker with sound rings.
    p.setPen(Pen(QColor(50, 50, 50)));
    p.setBrush(QColor(120, 120, 130));
    QPolygonF speaker;
    speaker << QPointF(1.5, 6) << QPointF(4.5, 6) << QPointF(8.5, 2.5) << QPointF(8.5, 13.5)
            << QPointF(4.5, 10) << QPointF(1.5, 10);
    p.drawPolygon(speaker);
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(kWaveBlue, 1.3));
    p.drawArc(QRectF(6, 4.5, 6, 7), -50 * 16, 100 * 16);
    p.drawArc(QRectF(6, 2, 9, 12), -50 * 16, 100 * 16);
}

void IndividualInformation(QPainter& p) {
    p.setPen(Pen(QColor(40, 80, 40)));
    p.setBrush(QColor(90, 170, 90));
    QPainterPath body;
    body.moveTo(2, 15);
    body.cubicTo(2, 9, 14, 9, 14, 15);
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Pen(QColor(140, 90, 50)));
    p.setBrush(QColor(250, 210, 170));
    p.drawEllipse(QPointF(8, 5.5), 3.5, 3.8);
}

void AutoTest(QPainter& p) {
    // Headphones.
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(QColor(50, 50, 60), 1.6));
    p.drawArc(QRectF(2.5, 2, 11, 12), 0, 180 * 16);
    p.setPen(Pen(QColor(30, 30, 40)));
    p.setBrush(QColor(200, 60, 60));
    p.drawRoundedRect(QRectF(1, 8, 4, 6.5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(11, 8, 4, 6.5), 1.5, 1.5);
}

void About(QPainter& p) {
    QLinearGradient fill(0, 0, 0, 16);
    fill.setColorAt(0, QColor(90, 150, 240));
    fill.setColorAt(1, QColor(30, 80, 190));
    p.setPen(Pen(QColor(20, 60, 150)));
    p.setBrush(fill);
    p.drawEllipse(QPointF(8, 8), 6.8, 6.8);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.2, 1.2);
    p.drawRoundedRect(QRectF(6.9, 6.6, 2.2, 6), 0.6, 0.6);
}

void Exit(QPainter& p) {
    // A door left open with an arrow walking out.
    p.setPen(Pen(QColor(90, 60, 30)));
    p.setBrush(QColor(180, 130, 80));
    p.drawRect(QRectF(2.5, 1.5, 8, 13));
    p.setBrush(QColor(120, 80, 40));
    QPolygonF leaf;
    leaf << QPointF(2.5, 1.5) << QPointF(7, 3) << QPointF(7, 15.5) << QPointF(2.5, 14.5);
    p.drawPolygon(leaf);
    p.setPen(Pen(QColor(200, 30, 30), 1.8));
    p.drawLine(QPointF(9, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(12.3, 5.5), QPointF(14.8, 8));
    p.drawLine(QPointF(12.3, 10.5), QPointF(14.8, 8));
}

Drawing DrawingFor(ToolIcon which) {
    switch (which) {
        case ToolIcon::OpenWave:
            return OpenWave;
        case ToolIcon::SaveWave:
            return SaveWave;
        case ToolIcon::DrawWave:
            return DrawWave;
        case ToolIcon::DrawFrequency:
            return DrawFrequency;
        case ToolIcon::ZoomIn:
            return [](QPainter& p) { Magnifier(p, true); };
        case ToolIcon::ZoomOut:
            return [](QPainter& p) { Magnifier(p, false); };
        case ToolIcon::CutLeft:
            return [](QPainter& p) { Cut(p, true); };
        case ToolIcon::CutRight:
            return [](QPainter& p) { Cut(p, false); };
        case ToolIcon::Undo:
            return [](QPainter& p) { Turn(p, true); };
        case ToolIcon::Redo:
            return [](QPainter& p) { Turn(p, false); };
        case ToolIcon::AudioInformation:
            return AudioInformation;
        case ToolIcon::IndividualInformation:
            return IndividualInformation;
        case ToolIcon::AutoTest:
            return AutoTest;
        case ToolIcon::About:
            return About;
        case ToolIcon::Exit:
            return Exit;
    }
    return [](QPainter&) {};
}

}  // namespace

// Drawn afresh on each call (a few microseconds): a cache would outlive the
// application object, and pixmaps must not.
QIcon ToolbarIcon(ToolIcon which) {
    return Render(DrawingFor(which));
}

QIcon ProgramIcon() {
    return Render(
        [](QPainter& p) {
            QLinearGradient fill(0, 0, 0, 32);
            fill.setColorAt(0, QColor(70, 140, 230));
            fill.setColorAt(1, QColor(20, 60, 160));
            p.setPen(Pen(QColor(15, 45, 120)));
            p.setBrush(fill);
            p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
            p.setPen(Pen(QColor(255, 255, 255, 110), 1));
            p.drawLine(QPointF(5, 16), QPointF(27, 16));
            p.setPen(Pen(Qt::white, 2.2));
            p.drawPolyline(Trace(5, 27, 16, 10, 3.5));
        },
        32, {16, 32, 48, 64});
}

}  // namespace kestrune::app
