#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QImage;
class QPainter;

namespace kestrune::app {

/** What a scale shows: the value range, the tick spacing, labels, direction and unit. */
struct ScaleBarParams {
    int minValue = 0;    ///< value at the start of the axis (left end, or bottom end)
    int maxValue = 1;    ///< value at the end of the axis (the arrow; never ticked)
    int tickStep = 1;    ///< value distance between two ticks
    int labelEvery = 5;  ///< a labelled long tick every this many ticks
    int vertical = 0;    ///< 0: horizontal axis, anything else: vertical axis
    QString unit;        ///< unit text at the arrow end
};

/**
 * A straight line in strip pixels. It covers its start pixel and stops one
 * pixel before `to`: where two lines meet (axis and arrow head, tick and
 * axis) the pixel belongs to the line that starts there. Every line of a
 * scale is horizontal, vertical or at 45 degrees.
 */
struct ScaleLine {
    QPoint from;
    QPoint to;
};

/** A text placed by a reference point: `anchor.x()` is its horizontal centre or its
 *  right edge (by `alignRight`), `anchor.y()` is the top of its line box. */
struct ScaleText {
    QString text;
    QPoint anchor;
    bool alignRight = false;
};

/** One tick: its value and line; a long tick carries the "%d" label of its value. */
struct ScaleTick {
    int value = 0;
    bool labelled = false;
    ScaleLine line;
    ScaleText label;  ///< empty text on a short tick
};

/**
 * Everything a scale draws into a strip of a given size, in the strip's own
 * pixel coordinates (origin top left). `drawn` false means the strip is left
 * exactly as it was: an empty or reversed range, a step of 0 or less, or
 * ticks closer than one pixel (which a strip too small for its range gives).
 */
struct ScaleBarGeometry {
    bool drawn = false;
    double pixelsPerUnit = 0.0;
    QRect fill;  ///< filled with the strip's colour; reaches 8 pixels past one edge
    ScaleLine axis;
    ScaleLine arrowHead[2];
    ScaleText unit;
    std::vector<ScaleTick> ticks;  ///< in value order, from minValue; maxValue never has one
};

/**
 * The layout of a scale in a strip of `strip` pixels. A pure function of
 * its arguments, so the geometry is testable without painting. Values are
 * worked out in 64 bits: ranges and steps near the ends of `int` neither
 * overflow nor wrap. A label interval of 0 labels only the first tick (the
 * only multiple of 0 is 0); a negative one labels like its magnitude.
 */
ScaleBarGeometry LayOutScaleBar(const ScaleBarParams& params, QSize strip);

/**
 * A labelled axis - arrow, ticks, numbers and unit - painted into a thin
 * strip beside or under a view (amplitude, frequency and time scales, the
 * averaged-spectrum and mask-analysis displays). A caller keeps one on the
 * stack, sets range, step, label interval, orientation and unit, and draws
 * it into the strip. It is no widget: it paints where it is told to.
 *
 * The background is the strip's own: each drawing reads the strip's colour
 * at pixel (2, 3), keeps it as the back colour and fills the strip with it
 * before the axis goes on top. Lines and ticks use the fore colour; labels
 * and the unit are black on a transparent background.
 *
 * GUI thread only (it uses fonts).
 */
class CScaleBar {
  public:
    CScaleBar();

    void SetMin(int value) { params_.minValue = value; }
    void SetMax(int value) { params_.maxValue = value; }
    void SetTickStep(int step) { params_.tickStep = step; }
    int GetTickStep() const { return params_.tickStep; }
    void SetLabelEvery(int ticks) { params_.labelEvery = ticks; }
    void SetVertical(int vertical) { params_.vertical = vertical; }
    void SetUnit(const QString& unit) { params_.unit = unit; }
    void SetBackColor(const QColor& color) { backColor_ = color; }
    void SetBackColor(int red, int green, int blue) { backColor_ = QColor(red, green, blue); }
    QColor GetBackColor() const { return backColor_; }
    void SetForeColor(const QColor& color) { foreColor_ = color; }
    void SetForeColor(int red, int green, int blue) { foreColor_ = QColor(red, green, blue); }
    QColor GetForeColor() const { return foreColor_; }

    /** The face of the labels and the unit (default: the application's family at 12 px). */
    void SetFont(const QFont& font) { font_ = font; }
    const QFont& GetFont() const { return font_; }

    const ScaleBarParams& Params() const { return params_; }

    /** The layout for a strip of this size (see LayOutScaleBar). */
    ScaleBarGeometry Geometry(QSize strip) const { return LayOutScaleBar(params_, strip); }

    /**
     * Draws into the rectangle `strip` of `target`; the strip's colour is the
     * image's pixel at (2, 3) of the strip (when that pixel lies outside the
     * strip or the image, the back colour stays as it was). Nothing outside
     * `strip` changes. Returns false, leaving the image untouched, when the
     * geometry says there is nothing to draw.
     */
    bool Draw(QImage& target, const QRect& strip);
    /** Draws over the whole image. */
    bool Draw(QImage& target);
    /**
     * Draws with a painter already open on the strip's device (inside a
     * widget's paint event, say), clipped to `strip`. `stripColor` is the
     * strip's colour at (2, 3) as the caller painted it. The painter's state
     * is restored afterwards.
     */
    bool Draw(QPainter& painter, const QRect& strip, const QColor& stripColor);

  private:
    ScaleBarParams params_;
    QColor backColor_{212, 208, 200};
    QColor foreColor_{0, 0, 0};
    QFont font_;
};

}  // namespace kestrune::app
