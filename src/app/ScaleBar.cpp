#include "app/ScaleBar.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <cstdint>

namespace kestrune::app {

namespace {

// Room the arrow and the unit take at the end of the axis, in pixels: the
// value range is spread over the strip's length less this.
constexpr int kHorizontalEndRoom = 20;
constexpr int kVerticalEndRoom = 15;
// The background is filled this far past the strip's start edge.
constexpr int kFillOverhang = 8;
// A vertical label's top sits this far above its tick.
constexpr int kVerticalLabelRise = 8;
constexpr int kLabelPixelSize = 12;

/** Horizontal: the axis runs along y = 6 from the left edge to the arrow tip at W - 25. */
void LayOutHorizontal(ScaleBarGeometry& g, int w, int h) {
    g.fill = QRect(-kFillOverhang, 0, w + kFillOverhang, h);
    const QPoint tip(w - 25, 6);
    g.axis = {QPoint(0, 6), tip};
    g.arrowHead[0] = {tip, QPoint(w - 30, 11)};
    g.arrowHead[1] = {tip, QPoint(w - 30, 1)};
    g.unit.anchor = QPoint(w - 10, 0);
    g.unit.alignRight = false;
}

/** Vertical: the axis runs along x = W - 6 from the bottom edge up to the arrow tip at 15. */
void LayOutVertical(ScaleBarGeometry& g, int w, int h) {
    g.fill = QRect(0, 0, w, h + kFillOverhang);
    const QPoint tip(w - 6, 15);
    g.axis = {QPoint(w - 6, h), tip};
    g.arrowHead[0] = {tip, QPoint(w - 11, 20)};
    g.arrowHead[1] = {tip, QPoint(w - 1, 20)};
    g.unit.anchor = QPoint(w - 6, 0);
    g.unit.alignRight = true;
}

int Sign(int d) {
    return (d > 0) - (d < 0);
}

/** Covers the start pixel and stops one short of the end (see ScaleLine). */
void PaintLine(QPainter& painter, const ScaleLine& line) {
    if (line.from == line.to) return;
    const QPoint last(line.to.x() - Sign(line.to.x() - line.from.x()),
                      line.to.y() - Sign(line.to.y() - line.from.y()));
    painter.drawLine(line.from, last);
}

void PaintText(QPainter& painter, const ScaleText& text) {
    if (text.text.isEmpty()) return;
    const QFontMetrics metrics = painter.fontMetrics();
    const int width = metrics.horizontalAdvance(text.text);
    const int left = text.alignRight ? text.anchor.x() - width : text.anchor.x() - width / 2;
    painter.drawText(QPoint(left, text.anchor.y() + metrics.ascent()), text.text);
}

}  // namespace

ScaleBarGeometry LayOutScaleBar(const ScaleBarParams& params, QSize strip) {
    ScaleBarGeometry g;
    const std::int64_t range = std::int64_t{params.maxValue} - params.minValue;
    if (range <= 0 || params.tickStep <= 0) return g;

    const int w = strip.width();
    const int h = strip.height();
    const bool vertical = params.vertical != 0;
    const int length = vertical ? h - kVerticalEndRoom : w - kHorizontalEndRoom;
    const double scale = static_cast<double>(length) / static_cast<double>(range);
    // Ticks closer than a pixel (a range too wide for the strip, or a strip
    // shorter than the arrow's room, where the scale is 0 or negative).
    if (params.tickStep * scale < 1.0) return g;

    g.drawn = true;
    g.pixelsPerUnit = scale;
    if (vertical) {
        LayOutVertical(g, w, h);
    } else {
        LayOutHorizontal(g, w, h);
    }
    g.unit.text = params.unit;

    // A long tick wherever the distance from the start is a multiple of
    // labelEvery ticks. The last value reached stays below maxValue: the
    // arrow marks the end.
    const std::int64_t labelSpacing = std::int64_t{params.labelEvery} * params.tickStep;
    for (std::int64_t offset = 0; offset < range; offset += params.tickStep) {
        ScaleTick tick;
        tick.value = static_cast<int>(params.minValue + offset);
        tick.labelled = labelSpacing == 0 ? offset == 0 : offset % labelSpacing == 0;
        const double along = static_cast<double>(offset) * scale;
        if (vertical) {
            const int y = static_cast<int>(h - along);
            tick.line = {QPoint(w - 6, y), QPoint(tick.labelled ? w : w - 2, y)};
            if (tick.labelled) {
                tick.label.anchor = QPoint(w - 6, static_cast<int>(h - along - kVerticalLabelRise));
                tick.label.alignRight = true;
            }
        } else {
            const int x = static_cast<int>(along);
            tick.line = {QPoint(x, tick.labelled ? 1 : 3), QPoint(x, 6)};
            if (tick.labelled) tick.label.anchor = QPoint(x, 6);
        }
        if (tick.labelled) tick.label.text = QString::number(tick.value);
        g.ticks.push_back(tick);
    }
    return g;
}

CScaleBar::CScaleBar() {
    font_.setPixelSize(kLabelPixelSize);
}

bool CScaleBar::Draw(QImage& target) {
    return Draw(target, target.rect());
}

bool CScaleBar::Draw(QImage& target, const QRect& strip) {
    if (target.isNull() || !Geometry(strip.size()).drawn) return false;
    const QPoint probe = strip.topLeft() + QPoint(2, 3);
    QColor stripColor = backColor_;
    if (strip.contains(probe) && target.rect().contains(probe)) {
        stripColor = target.pixelColor(probe);
    }
    QPainter painter(&target);
    if (!painter.isActive()) return false;
    return Draw(painter, strip, stripColor);
}

bool CScaleBar::Draw(QPainter& painter, const QRect& strip, const QColor& stripColor) {
    const ScaleBarGeometry g = Geometry(strip.size());
    if (!g.drawn) return false;
    backColor_ = stripColor;

    painter.save();
    painter.setClipRect(strip, Qt::IntersectClip);
    painter.translate(strip.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(font_);
    painter.fillRect(g.fill, backColor_);

    QPen linePen(foreColor_, 1);
    linePen.setCosmetic(true);
    const QPen textPen(QColor(0, 0, 0));

    painter.setPen(linePen);
    PaintLine(painter, g.axis);
    PaintLine(painter, g.arrowHead[0]);
    PaintLine(painter, g.arrowHead[1]);
    painter.setPen(textPen);
    PaintText(painter, g.unit);
    for (const ScaleTick& tick : g.ticks) {
        painter.setPen(linePen);
        PaintLine(painter, tick.line);
        if (tick.labelled) {
            painter.setPen(textPen);
            PaintText(painter, tick.label);
        }
    }
    painter.restore();
    return true;
}

}  // namespace kestrune::app
