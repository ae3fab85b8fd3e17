// The scale bar: its layout for the workspace's scales, worked out by hand
// for the strip sizes the main window gives them, then the same scales
// painted into images with known backgrounds and checked pixel by pixel.

#include <QImage>
#include <QPainter>
#include <QTest>

#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "app/ScaleBar.h"

using namespace kestrune::app;

namespace {

ScaleBarParams Params(int min, int max, int step, int labelEvery, int vertical,
                      const QString& unit = QString()) {
    ScaleBarParams params;
    params.minValue = min;
    params.maxValue = max;
    params.tickStep = step;
    params.labelEvery = labelEvery;
    params.vertical = vertical;
    params.unit = unit;
    return params;
}

CScaleBar Bar(const ScaleBarParams& params) {
    CScaleBar bar;
    bar.SetMin(params.minValue);
    bar.SetMax(params.maxValue);
    bar.SetTickStep(params.tickStep);
    bar.SetLabelEvery(params.labelEvery);
    bar.SetVertical(params.vertical);
    bar.SetUnit(params.unit);
    return bar;
}

std::vector<int> Values(const ScaleBarGeometry& g, bool labelledOnly) {
    std::vector<int> values;
    for (const auto& tick : g.ticks) {
        if (!labelledOnly || tick.labelled) values.push_back(tick.value);
    }
    return values;
}

QStringList LabelTexts(const ScaleBarGeometry& g) {
    QStringList texts;
    for (const auto& tick : g.ticks) {
        if (tick.labelled) texts << tick.label.text;
    }
    return texts;
}

/** The tick whose value is `value` (fails the test when there is none). */
const ScaleTick& TickOf(const ScaleBarGeometry& g, int value) {
    for (const auto& tick : g.ticks) {
        if (tick.value == value) return tick;
    }
    qFatal("no tick for %d", value);
}

std::vector<int> Range(int from, int below, int step) {
    std::vector<int> values;
    for (int v = from; v < below; v += step) values.push_back(v);
    return values;
}

const QColor kOutside(255, 0, 255);  // around the strip: must never change
const QColor kFore(0, 0, 255);       // lines, told apart from the black text

/** An image with a strip at `strip` painted `stripColor`, sentinel colour around it. */
QImage Canvas(QSize size, const QRect& strip, const QColor& stripColor) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kOutside);
    QPainter painter(&image);
    painter.fillRect(strip, stripColor);
    return image;
}

/** Text ink: dark pixels that are neither the line colour nor the background. */
bool IsInk(const QColor& c) {
    return c != kFore && qGray(c.rgb()) < 140;
}

/** The bounding box of the text ink inside `area` (null when there is none). */
QRect InkBox(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (IsInk(image.pixelColor(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

/** How many pixels outside `strip` differ from the sentinel colour. */
int ChangedOutside(const QImage& image, const QRect& strip) {
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!strip.contains(x, y) && image.pixelColor(x, y) != kOutside) ++changed;
        }
    }
    return changed;
}

using Pixels = std::set<std::pair<int, int>>;

void AddColumn(Pixels& px, int x, int yFrom, int yTo) {
    for (int y = yFrom; y <= yTo; ++y) px.insert({x, y});
}
void AddRow(Pixels& px, int y, int xFrom, int xTo) {
    for (int x = xFrom; x <= xTo; ++x) px.insert({x, y});
}

}  // namespace

class ScaleBarTest : public QObject {
    Q_OBJECT

  private slots:
    // ---- layout -----------------------------------------------------------

    // The 16-bit amplitude scale in the strip left of the wave view (21 x 137
    // dialog units, 31 x 222 pixels): -32 ... 32 in thousands.
    void amplitudeScaleOf16Bits() {
        const auto g = LayOutScaleBar(Params(-32, 32, 1, 8, 1, QStringLiteral("k")), {31, 222});
        QVERIFY(g.drawn);
        QCOMPARE(g.pixelsPerUnit, 207.0 / 64.0);
        QCOMPARE(Values(g, false), Range(-32, 32, 1));  // no tick at 32
        QCOMPARE(Values(g, true), (std::vector<int>{-32, -24, -16, -8, 0, 8, 16, 24}));
        QCOMPARE(LabelTexts(g), (QStringList{"-32", "-24", "-16", "-8", "0", "8", "16", "24"}));

        // y = (int)(222 - (v + 32) * 207 / 64), worked out by hand.
        const std::pair<int, int> ys[] = {{-32, 222}, {-31, 218}, {0, 118},
                                          {1, 115},   {24, 40},   {31, 18}};
        for (const auto& [value, y] : ys) QCOMPARE(TickOf(g, value).line.from.y(), y);

        const ScaleTick& zero = TickOf(g, 0);
        QCOMPARE(zero.line.from, QPoint(25, 118));
        QCOMPARE(zero.line.to, QPoint(31, 118));
        QCOMPARE(zero.label.anchor, QPoint(25, 110));  // (int)(222 - 103.5 - 8)
        QVERIFY(zero.label.alignRight);
        const ScaleTick& one = TickOf(g, 1);
        QCOMPARE(one.line.to, QPoint(29, 115));
        QVERIFY(one.label.text.isEmpty());
        QCOMPARE(TickOf(g, 24).label.anchor, QPoint(25, 32));  // (int)(222 - 181.125 - 8)

        QCOMPARE(g.axis.from, QPoint(25, 222));
        QCOMPARE(g.axis.to, QPoint(25, 15));
        QCOMPARE(g.arrowHead[0].to, QPoint(20, 20));
        QCOMPARE(g.arrowHead[1].to, QPoint(30, 20));
        QCOMPARE(g.unit.text, QStringLiteral("k"));
        QCOMPARE(g.unit.anchor, QPoint(25, 0));
        QVERIFY(g.unit.alignRight);
        QCOMPARE(g.fill, QRect(0, 0, 31, 230));  // 8 pixels past the bottom
    }

    // The 8-bit amplitude scale: -128 ... 128, step 4, a label every 8 ticks.
    void amplitudeScaleOf8Bits() {
        const auto g = LayOutScaleBar(Params(-128, 128, 4, 8, 1), {31, 222});
        QVERIFY(g.drawn);
        QCOMPARE(Values(g, false), Range(-128, 128, 4));
        QCOMPARE(LabelTexts(g), (QStringList{"-128", "-96", "-64", "-32", "0", "32", "64", "96"}));
        QCOMPARE(TickOf(g, 124).line.from.y(), 18);  // (int)(222 - 252 * 207 / 256)
        QVERIFY(g.unit.text.isEmpty());
    }

    // The frequency scale of a 16-bit, 44100 Hz set in the strip left of the
    // spectrum view (22 x 180 dialog units, 33 x 292 pixels).
    void frequencyScaleInKilohertz() {
        const auto g = LayOutScaleBar(Params(0, 22, 1, 2, 1, QStringLiteral("KHz")), {33, 292});
        QVERIFY(g.drawn);
        QCOMPARE(Values(g, false), Range(0, 22, 1));
        QCOMPARE(LabelTexts(g),
                 (QStringList{"0", "2", "4", "6", "8", "10", "12", "14", "16", "18", "20"}));
        QCOMPARE(TickOf(g, 0).line.from, QPoint(27, 292));
        QCOMPARE(TickOf(g, 1).line.from, QPoint(27, 279));  // 292 - 12.59
        QCOMPARE(TickOf(g, 21).line.from, QPoint(27, 27));  // 292 - 264.41
        QCOMPARE(TickOf(g, 20).label.anchor, QPoint(27, 32));
        QCOMPARE(g.unit.anchor, QPoint(27, 0));
    }

    // The time scale under the wave view (441 x 15 dialog units, 661 x 24
    // pixels) for a one-second wave: 0 ... 1000 ms, step 50, label every 2.
    void timeScaleHorizontal() {
        const auto g = LayOutScaleBar(Params(0, 1000, 50, 2, 0, QStringLiteral("ms")), {661, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.pixelsPerUnit, 641.0 / 1000.0);
        std::vector<int> xs;
        for (const auto& tick : g.ticks) {
            xs.push_back(tick.line.from.x());
            QCOMPARE(tick.line.to, QPoint(tick.line.from.x(), 6));
            QCOMPARE(tick.line.from.y(), tick.labelled ? 1 : 3);
            if (tick.labelled) QCOMPARE(tick.label.anchor, QPoint(tick.line.from.x(), 6));
            QVERIFY(!tick.label.alignRight);
        }
        // (int)(offset * 0.641): 32.05, 64.1, ..., 608.95.
        std::vector<int> expected;
        for (int k = 0; k < 20; ++k) expected.push_back(32 * k);
        QCOMPARE(xs, expected);
        QCOMPARE(LabelTexts(g),
                 (QStringList{"0", "100", "200", "300", "400", "500", "600", "700", "800", "900"}));
        QCOMPARE(g.axis.from, QPoint(0, 6));
        QCOMPARE(g.axis.to, QPoint(636, 6));
        QCOMPARE(g.arrowHead[0].from, QPoint(636, 6));
        QCOMPARE(g.arrowHead[0].to, QPoint(631, 11));
        QCOMPARE(g.arrowHead[1].to, QPoint(631, 1));
        QCOMPARE(g.unit.anchor, QPoint(651, 0));
        QVERIFY(!g.unit.alignRight);
        QCOMPARE(g.fill, QRect(-8, 0, 669, 24));  // 8 pixels past the left end
    }

    // The range need not start at 0 (a zoomed time scale): labels count from
    // the start of the range, not from value 0.
    void labelsCountFromTheStartOfTheRange() {
        const auto g = LayOutScaleBar(Params(13, 63, 5, 2, 0), {120, 24});
        QCOMPARE(Values(g, true), (std::vector<int>{13, 23, 33, 43, 53}));
        QCOMPARE(Values(g, false).back(), 58);
        QCOMPARE(TickOf(g, 18).line.from, QPoint(10, 3));  // 5 * 100 / 50
    }

    void labelIntervalsOfZeroOrBelow() {
        // Only 0 is a multiple of 0: just the first tick is labelled.
        auto g = LayOutScaleBar(Params(-5, 5, 1, 0, 0), {120, 24});
        QCOMPARE(Values(g, true), std::vector<int>{-5});
        QCOMPARE(g.ticks.size(), size_t(10));
        // A negative interval has the same multiples as its magnitude.
        g = LayOutScaleBar(Params(-5, 5, 1, -2, 0), {120, 24});
        QCOMPARE(Values(g, true), (std::vector<int>{-5, -3, -1, 1, 3}));
    }

    // Empty or reversed ranges, bad steps, ticks closer than a pixel and
    // strips too small for the arrow: nothing at all.
    void nothingToDraw_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("vertical");
        QTest::addColumn<QSize>("strip");
        QTest::newRow("min = max") << 7 << 7 << 1 << 0 << QSize(400, 24);
        QTest::newRow("min > max") << 10 << -10 << 1 << 1 << QSize(31, 222);
        QTest::newRow("step 0") << 0 << 100 << 0 << 0 << QSize(400, 24);
        QTest::newRow("step < 0") << 0 << 100 << -5 << 1 << QSize(31, 222);
        QTest::newRow("10000 on 420 px, step 1") << 0 << 10000 << 1 << 0 << QSize(420, 24);
        QTest::newRow("10000 on 420 px, step 24") << 0 << 10000 << 24 << 0 << QSize(420, 24);
        QTest::newRow("20 px wide") << 0 << 1 << 1 << 0 << QSize(20, 24);
        QTest::newRow("15 px high") << 0 << 1 << 1 << 1 << QSize(31, 15);
        QTest::newRow("empty strip") << 0 << 1 << 1 << 0 << QSize(0, 0);
        QTest::newRow("invalid size") << 0 << 1 << 1 << 1 << QSize();
        QTest::newRow("full int range") << INT_MIN << INT_MAX << 1 << 0 << QSize(4000, 24);
    }
    void nothingToDraw() {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, step);
        QFETCH(int, vertical);
        QFETCH(QSize, strip);
        const auto g = LayOutScaleBar(Params(min, max, step, 5, vertical), strip);
        QVERIFY(!g.drawn);
        QVERIFY(g.ticks.empty());
    }

    // The smallest strips and steps that still draw: exactly one pixel per tick.
    void onePixelPerTickIsEnough() {
        auto g = LayOutScaleBar(Params(0, 10000, 25, 5, 0), {420, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.size(), size_t(400));
        QCOMPARE(g.ticks.back().line.from.x(), 399);
        g = LayOutScaleBar(Params(0, 1, 1, 5, 0), {21, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.size(), size_t(1));
        g = LayOutScaleBar(Params(0, 1, 1, 5, 1), {31, 16});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.front().line.from.y(), 16);
    }

    // Ranges and steps at the ends of int neither overflow nor wrap.
    void extremeValues() {
        const auto g = LayOutScaleBar(Params(INT_MIN, INT_MAX, INT_MAX, INT_MAX, 0), {40, 24});
        QVERIFY(g.drawn);
        QCOMPARE(Values(g, false), (std::vector<int>{INT_MIN, -1, INT_MAX - 1}));
        QCOMPARE(LabelTexts(g), QStringList{QStringLiteral("-2147483648")});
        QCOMPARE(g.ticks.back().line.from.x(), 19);  // 4294967294 * 20 / 4294967295
    }

    // ---- painting ---------------------------------------------------------

    // The time scale painted into a strip inside a bigger image: the rows
    // above the labels hold exactly the ticks, axis and arrow; the rest of
    // the strip is the colour found at (2, 3); nothing outside changes.
    void horizontalPixels() {
        const QRect strip(10, 20, 661, 24);
        const QColor back(200, 220, 240);
        QImage image = Canvas({700, 60}, strip, back);
        {
            // A stripe of another colour: the fill must cover it.
            QPainter painter(&image);
            painter.fillRect(QRect(strip.left() + 300, strip.top(), 100, 24), QColor(0, 128, 0));
        }
        CScaleBar bar = Bar(Params(0, 1000, 50, 2, 0));
        bar.SetForeColor(kFore);
        QVERIFY(bar.Draw(image, strip));
        QCOMPARE(bar.GetBackColor(), back);
        QCOMPARE(ChangedOutside(image, strip), 0);

        Pixels lines;
        for (int offset = 0; offset < 1000; offset += 50) {
            const int x = offset * 641 / 1000;
            AddColumn(lines, x, offset % 100 == 0 ? 1 : 3, 5);
        }
        AddRow(lines, 6, 0, 636);
        for (int k = 1; k <= 4; ++k) {
            lines.insert({636 - k, 6 + k});
            lines.insert({636 - k, 6 - k});
        }
        // Rows 0 ... 6 carry no text: compare every pixel.
        for (int y = 0; y <= 6; ++y) {
            for (int x = 0; x < strip.width(); ++x) {
                const QColor want = lines.count({x, y}) ? kFore : back;
                QVERIFY2(image.pixelColor(strip.left() + x, strip.top() + y) == want,
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        // Below: the lower arrow stroke, and no pixel of the old stripe left.
        for (int k = 1; k <= 4; ++k) {
            QCOMPARE(image.pixelColor(strip.left() + 636 - k, strip.top() + 6 + k), kFore);
        }
        QCOMPARE(image.pixelColor(strip.left() + 631, strip.top() + 11), back);  // end excluded
        for (int y = strip.top(); y <= strip.bottom(); ++y) {
            for (int x = strip.left(); x <= strip.right(); ++x) {
                QVERIFY(image.pixelColor(x, y) != QColor(0, 128, 0));
            }
        }
        // Each label is black ink below the axis, centred on its tick.
        for (int value = 100; value < 1000; value += 100) {
            const int x = strip.left() + value * 641 / 1000;
            const QRect ink = InkBox(image, QRect(x - 20, strip.top() + 7, 41, 17));
            QVERIFY2(!ink.isNull(), qPrintable(QString::number(value)));
            QVERIFY2(qAbs(ink.center().x() - x) <= 2, qPrintable(QString::number(value)));
        }
        // No ink between two labels.
        QVERIFY(InkBox(image, QRect(strip.left() + 45, strip.top() + 7, 5, 17)).isNull());
    }

    // The 16-bit amplitude scale painted: ticks to the right of the axis,
    // the axis column, the arrow head, labels to the left, right-aligned.
    void verticalPixels() {
        const QRect strip(5, 7, 31, 222);
        const QColor back(212, 208, 200);
        QImage image = Canvas({50, 240}, strip, back);
        CScaleBar bar = Bar(Params(-32, 32, 1, 8, 1));
        bar.SetForeColor(kFore);
        QVERIFY(bar.Draw(image, strip));
        QCOMPARE(ChangedOutside(image, strip), 0);

        Pixels lines;
        for (int off = 0; off < 64; ++off) {
            const int y = static_cast<int>(222 - off * 207.0 / 64);
            AddRow(lines, y, 25, off % 8 == 0 ? 30 : 28);
        }
        AddColumn(lines, 25, 15, 221);
        for (int k = 1; k <= 4; ++k) {
            lines.insert({25 - k, 15 + k});
            lines.insert({25 + k, 15 + k});
        }
        // Columns 25 ... 30 (axis and right of it) hold no text.
        for (int y = 0; y < strip.height(); ++y) {
            for (int x = 25; x < strip.width(); ++x) {
                const QColor want = lines.count({x, y}) ? kFore : back;
                QVERIFY2(image.pixelColor(strip.left() + x, strip.top() + y) == want,
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        for (int k = 1; k <= 4; ++k) {
            QCOMPARE(image.pixelColor(strip.left() + 25 - k, strip.top() + 15 + k), kFore);
        }
        // Label "0" sits left of the axis around its tick (y = 118); "-32"
        // at the bottom is cut by the strip's edge but still shows.
        const QRect zero = InkBox(image, QRect(strip.left(), strip.top() + 100, 25, 36));
        QVERIFY(!zero.isNull());
        QVERIFY(zero.right() <= strip.left() + 24 && zero.right() >= strip.left() + 17);
        QVERIFY(qAbs(zero.center().y() - (strip.top() + 118)) <= 3);
        QVERIFY(!InkBox(image, QRect(strip.left(), strip.top() + 212, 25, 10)).isNull());
        // Nothing between the labels for -8 (y = 144) and 0.
        QVERIFY(InkBox(image, QRect(strip.left(), strip.top() + 126, 25, 6)).isNull());
    }

    // The unit: centred at W - 10 on top of a horizontal scale, right-aligned
    // at W - 6 on top of a vertical one.
    void unitText() {
        QImage image = Canvas({200, 24}, QRect(0, 0, 200, 24), QColor(255, 255, 255));
        CScaleBar bar = Bar(Params(0, 10, 1, 5, 0, QStringLiteral("ms")));
        bar.SetForeColor(kFore);
        QVERIFY(bar.Draw(image));
        QRect ink = InkBox(image, QRect(175, 0, 25, 24));
        QVERIFY(!ink.isNull());
        QVERIFY(qAbs(ink.center().x() - 190) <= 2);
        QVERIFY(ink.top() < 12);

        image = Canvas({40, 200}, QRect(0, 0, 40, 200), QColor(255, 255, 255));
        bar = Bar(Params(0, 10, 1, 5, 1, QStringLiteral("KHz")));
        bar.SetForeColor(kFore);
        QVERIFY(bar.Draw(image));
        ink = InkBox(image, QRect(0, 0, 40, 15));
        QVERIFY(!ink.isNull());
        QVERIFY(ink.right() <= 34 && ink.right() >= 30);
    }

    // Text in black, lines in the fore colour, whatever the fore colour.
    void linesTakeTheForeColourAndTextStaysBlack() {
        QImage image = Canvas({120, 24}, QRect(0, 0, 120, 24), QColor(255, 255, 255));
        CScaleBar bar = Bar(Params(0, 10, 1, 5, 0));
        bar.SetForeColor(200, 0, 0);
        QCOMPARE(bar.GetForeColor(), QColor(200, 0, 0));
        QVERIFY(bar.Draw(image));
        QCOMPARE(image.pixelColor(50, 1), QColor(200, 0, 0));      // long tick at 5
        QCOMPARE(image.pixelColor(10, 2), QColor(255, 255, 255));  // short tick at 1
        QCOMPARE(image.pixelColor(10, 3), QColor(200, 0, 0));
        // The label "5": dark, neutral grey ink (antialiased black), no red in it.
        int dark = 0;
        for (int y = 7; y < 24; ++y) {
            for (int x = 40; x < 60; ++x) {
                const QColor c = image.pixelColor(x, y);
                QVERIFY(c.red() - c.green() < 8);
                if (qGray(c.rgb()) < 100) ++dark;
            }
        }
        QVERIFY(dark > 3);
    }

    // The back colour is read at every drawing, and only when something is
    // drawn; outside a strip too low to hold (2, 3) the set colour serves.
    void backColourComesFromTheStrip() {
        CScaleBar bar = Bar(Params(0, 10, 1, 5, 0));
        QCOMPARE(bar.GetBackColor(), QColor(212, 208, 200));
        QImage image = Canvas({120, 24}, QRect(0, 0, 120, 24), QColor(9, 9, 9));
        image.setPixelColor(2, 3, QColor(30, 60, 90));
        QVERIFY(bar.Draw(image));
        QCOMPARE(bar.GetBackColor(), QColor(30, 60, 90));
        QCOMPARE(image.pixelColor(119, 23), QColor(30, 60, 90));

        image.fill(QColor(1, 2, 3));
        bar.SetMax(0);
        QVERIFY(!bar.Draw(image));
        QCOMPARE(bar.GetBackColor(), QColor(30, 60, 90));

        const QRect low(0, 10, 120, 2);
        image = Canvas({120, 24}, low, QColor(9, 9, 9));
        bar.SetMax(10);
        bar.SetBackColor(10, 20, 30);
        QVERIFY(bar.Draw(image, low));
        QCOMPARE(bar.GetBackColor(), QColor(10, 20, 30));
        QCOMPARE(image.pixelColor(55, 10), QColor(10, 20, 30));
        QCOMPARE(ChangedOutside(image, low), 0);
    }

    // Nothing to draw leaves every pixel as it was, not even the background.
    void nothingDrawnLeavesTheImageAlone() {
        const QRect strip(0, 0, 420, 24);
        QImage image = Canvas({420, 24}, strip, QColor(77, 77, 77));
        const QImage before = image;
        for (const auto& params : {Params(3, 3, 1, 5, 0), Params(0, 10000, 1, 5, 0),
                                   Params(5, -5, 1, 5, 1), Params(0, 10, 0, 5, 0)}) {
            CScaleBar bar = Bar(params);
            QVERIFY(!bar.Draw(image, strip));
            QCOMPARE(image, before);
        }
        // Tiny, empty and null targets.
        CScaleBar bar = Bar(Params(0, 100, 1, 5, 0));
        QImage tiny(5, 5, QImage::Format_RGB32);
        tiny.fill(Qt::white);
        QVERIFY(!bar.Draw(tiny));
        QImage null;
        QVERIFY(!bar.Draw(null));
        QVERIFY(!bar.Draw(image, QRect()));
    }

    // Painting through a caller's painter keeps to the strip and gives the
    // painter back as it came.
    void painterIsRestored() {
        QImage image = Canvas({100, 60}, QRect(20, 20, 60, 24), QColor(255, 255, 255));
        QPainter painter(&image);
        painter.setPen(QColor(0, 255, 0));
        painter.setFont(QFont(QStringLiteral("DejaVu Serif"), 20));
        CScaleBar bar = Bar(Params(0, 4, 1, 2, 0));
        bar.SetForeColor(kFore);
        QVERIFY(bar.Draw(painter, QRect(20, 20, 60, 24), QColor(255, 255, 255)));
        QCOMPARE(painter.pen().color(), QColor(0, 255, 0));
        QCOMPARE(painter.font().pointSize(), 20);
        QVERIFY(painter.transform().isIdentity());
        QVERIFY(!painter.hasClipping());
        painter.end();
        QCOMPARE(image.pixelColor(20 + 10, 20 + 3), kFore);  // tick at 1: x = 40 / 4
        QCOMPARE(ChangedOutside(image, QRect(20, 20, 60, 24)), 0);
    }
};

QTEST_MAIN(ScaleBarTest)
#include "ScaleBarTest.moc"
