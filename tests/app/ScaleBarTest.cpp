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

const QColor kOutside(255, 0, 255);  // around the strip: must never change
const QColor kFore(200, 0, 0);       // lines, told apart from the black text

CScaleBar Bar(const ScaleBarParams& params) {
    CScaleBar bar;
    bar.SetMin(params.minValue);
    bar.SetMax(params.maxValue);
    bar.SetTickStep(params.tickStep);
    bar.SetLabelEvery(params.labelEvery);
    bar.SetVertical(params.vertical);
    bar.SetUnit(params.unit);
    bar.SetForeColor(kFore);
    return bar;
}

std::vector<int> Values(const ScaleBarGeometry& g, bool labelledOnly) {
    std::vector<int> values;
    for (const auto& tick : g.ticks) {
        if (!labelledOnly || tick.labelled) values.push_back(tick.value);
    }
    return values;
}

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

QImage Canvas(QSize size, const QRect& strip, const QColor& stripColor) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kOutside);
    QPainter(&image).fillRect(strip, stripColor);
    return image;
}

/** The bounding box of the text ink (dark, not the line colour) inside `area`. */
QRect InkBox(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != kFore && qGray(c.rgb()) < 140) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

int ChangedOutside(const QImage& image, const QRect& strip) {
    int changed = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!strip.contains(x, y) && image.pixelColor(x, y) != kOutside) ++changed;
        }
    }
    return changed;
}

/** Compares every pixel of `area` (strip coordinates) with `lines` in the fore colour on `back`. */
void ExpectLines(const QImage& image, const QRect& strip, const QRect& area,
                 const std::set<std::pair<int, int>>& lines, const QColor& back) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor want = lines.count({x, y}) ? kFore : back;
            QVERIFY2(image.pixelColor(strip.left() + x, strip.top() + y) == want,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

}  // namespace

Q_DECLARE_METATYPE(ScaleBarParams)

class ScaleBarTest : public QObject {
    Q_OBJECT

  private slots:
    // The 16-bit amplitude scale in the strip left of the wave view (21 x 137
    // dialog units, 31 x 222 pixels): -32 ... 32 in thousands.
    void amplitudeScaleOf16Bits() {
        const auto g = LayOutScaleBar({-32, 32, 1, 8, 1, QStringLiteral("k")}, {31, 222});
        QVERIFY(g.drawn);
        QCOMPARE(g.pixelsPerUnit, 207.0 / 64.0);
        QCOMPARE(Values(g, false), Range(-32, 32, 1));  // no tick at 32
        QCOMPARE(Values(g, true), Range(-32, 32, 8));
        // y = (int)(222 - (v + 32) * 207 / 64), worked out by hand.
        QCOMPARE(TickOf(g, -31).line.from.y(), 218);
        QCOMPARE(TickOf(g, 31).line.from.y(), 18);
        const ScaleTick& zero = TickOf(g, 0);
        QCOMPARE(zero.line.from, QPoint(25, 118));
        QCOMPARE(zero.line.to, QPoint(31, 118));
        QCOMPARE(zero.label.text, QStringLiteral("0"));
        QCOMPARE(zero.label.anchor, QPoint(25, 110));  // (int)(222 - 103.5 - 8)
        QVERIFY(zero.label.alignRight);
        QCOMPARE(TickOf(g, -8).label.text, QStringLiteral("-8"));
        QCOMPARE(TickOf(g, 1).line.to, QPoint(29, 115));
        QVERIFY(TickOf(g, 1).label.text.isEmpty());
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

    // The 8-bit amplitude scale, and the frequency scale of a 44100 Hz set in
    // the strip left of the spectrum view (22 x 180 dialog units, 33 x 292 px).
    void amplitudeOf8BitsAndFrequency() {
        auto g = LayOutScaleBar({-128, 128, 4, 8, 1}, {31, 222});
        QCOMPARE(Values(g, false), Range(-128, 128, 4));
        QCOMPARE(Values(g, true), Range(-128, 128, 32));
        QCOMPARE(TickOf(g, 124).line.from.y(), 18);  // (int)(222 - 252 * 207 / 256)
        QVERIFY(g.unit.text.isEmpty());
        g = LayOutScaleBar({0, 22, 1, 2, 1, QStringLiteral("KHz")}, {33, 292});
        QCOMPARE(Values(g, false), Range(0, 22, 1));
        QCOMPARE(Values(g, true), Range(0, 22, 2));
        QCOMPARE(TickOf(g, 0).line.from, QPoint(27, 292));
        QCOMPARE(TickOf(g, 1).line.from, QPoint(27, 279));  // 292 - 12.59
        QCOMPARE(TickOf(g, 21).line.from, QPoint(27, 27));  // 292 - 264.41
        QCOMPARE(TickOf(g, 20).label.anchor, QPoint(27, 32));
        QCOMPARE(g.unit.anchor, QPoint(27, 0));
    }

    // The time scale under the wave view (441 x 15 dialog units, 661 x 24
    // pixels) for a one-second wave: 0 ... 1000 ms, step 50, label every 2.
    void timeScaleHorizontal() {
        const auto g = LayOutScaleBar({0, 1000, 50, 2, 0, QStringLiteral("ms")}, {661, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.pixelsPerUnit, 641.0 / 1000.0);
        QCOMPARE(Values(g, true), Range(0, 1000, 100));
        for (const auto& tick : g.ticks) {
            const int x = (tick.value / 50) * 32;  // (int)(offset * 0.641): 0, 32.05, ..., 608.95
            QCOMPARE(tick.line.from, QPoint(x, tick.labelled ? 1 : 3));
            QCOMPARE(tick.line.to, QPoint(x, 6));
            if (tick.labelled) QCOMPARE(tick.label.anchor, QPoint(x, 6));
            QVERIFY(!tick.label.alignRight);
        }
        QCOMPARE(TickOf(g, 900).label.text, QStringLiteral("900"));
        QCOMPARE(g.axis.from, QPoint(0, 6));
        QCOMPARE(g.axis.to, QPoint(636, 6));
        QCOMPARE(g.arrowHead[0].from, QPoint(636, 6));
        QCOMPARE(g.arrowHead[0].to, QPoint(631, 11));
        QCOMPARE(g.arrowHead[1].to, QPoint(631, 1));
        QCOMPARE(g.unit.anchor, QPoint(651, 0));
        QVERIFY(!g.unit.alignRight);
        QCOMPARE(g.fill, QRect(-8, 0, 669, 24));  // 8 pixels past the left end
    }

    // Labels count from the start of the range (a zoomed time scale), not
    // from value 0; an interval of 0 labels only the first tick, a negative
    // one labels like its magnitude.
    void labelIntervals() {
        auto g = LayOutScaleBar({13, 63, 5, 2, 0}, {120, 24});
        QCOMPARE(Values(g, true), (std::vector<int>{13, 23, 33, 43, 53}));
        QCOMPARE(Values(g, false).back(), 58);
        QCOMPARE(TickOf(g, 18).line.from, QPoint(10, 3));  // 5 * 100 / 50
        g = LayOutScaleBar({-5, 5, 1, 0, 0}, {120, 24});
        QCOMPARE(Values(g, true), std::vector<int>{-5});
        QCOMPARE(g.ticks.size(), size_t(10));
        g = LayOutScaleBar({-5, 5, 1, -2, 0}, {120, 24});
        QCOMPARE(Values(g, true), (std::vector<int>{-5, -3, -1, 1, 3}));
    }

    // Empty or reversed ranges, bad steps, ticks closer than a pixel and
    // strips too small for the arrow: no layout, and drawing leaves every
    // pixel as it was, not even the background.
    void nothingToDraw_data() {
        QTest::addColumn<ScaleBarParams>("params");
        QTest::addColumn<QSize>("strip");
        QTest::newRow("min = max") << ScaleBarParams{7, 7, 1, 5, 0} << QSize(400, 24);
        QTest::newRow("min > max") << ScaleBarParams{10, -10, 1, 5, 1} << QSize(31, 222);
        QTest::newRow("step 0") << ScaleBarParams{0, 100, 0, 5, 0} << QSize(400, 24);
        QTest::newRow("step < 0") << ScaleBarParams{0, 100, -5, 5, 1} << QSize(31, 222);
        QTest::newRow("10000 on 420 px, step 24")
            << ScaleBarParams{0, 10000, 24, 5, 0} << QSize(420, 24);
        QTest::newRow("20 px wide") << ScaleBarParams{0, 1, 1, 5, 0} << QSize(20, 24);
        QTest::newRow("15 px high") << ScaleBarParams{0, 1, 1, 5, 1} << QSize(31, 15);
        QTest::newRow("empty strip") << ScaleBarParams{0, 1, 1, 5, 0} << QSize(0, 0);
        QTest::newRow("invalid size") << ScaleBarParams{0, 1, 1, 5, 1} << QSize();
        QTest::newRow("full int range")
            << ScaleBarParams{INT_MIN, INT_MAX, 1, 5, 0} << QSize(4000, 24);
    }
    void nothingToDraw() {
        QFETCH(ScaleBarParams, params);
        QFETCH(QSize, strip);
        const auto g = LayOutScaleBar(params, strip);
        QVERIFY(!g.drawn);
        QVERIFY(g.ticks.empty());

        const QRect rect(QPoint(0, 0), strip);
        QImage image = Canvas({4000, 240}, rect, QColor(77, 77, 77));
        const QImage before = image;
        CScaleBar bar = Bar(params);
        QVERIFY(!bar.Draw(image, rect));
        QCOMPARE(image, before);
        QCOMPARE(bar.GetBackColor(), QColor(212, 208, 200));  // not read either
    }

    // The other side of those boundaries: exactly one pixel per tick draws.
    void onePixelPerTickIsEnough() {
        auto g = LayOutScaleBar({0, 10000, 25, 5, 0}, {420, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.size(), size_t(400));
        QCOMPARE(g.ticks.back().line.from.x(), 399);
        g = LayOutScaleBar({0, 1, 1, 5, 0}, {21, 24});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.size(), size_t(1));
        g = LayOutScaleBar({0, 1, 1, 5, 1}, {31, 16});
        QVERIFY(g.drawn);
        QCOMPARE(g.ticks.front().line.from.y(), 16);
        QImage null;
        QVERIFY(!Bar({0, 1, 1, 5, 0}).Draw(null));
    }

    // Ranges and steps at the ends of int neither overflow nor wrap.
    void extremeValues() {
        const auto g = LayOutScaleBar({INT_MIN, INT_MAX, INT_MAX, INT_MAX, 0}, {40, 24});
        QVERIFY(g.drawn);
        QCOMPARE(Values(g, false), (std::vector<int>{INT_MIN, -1, INT_MAX - 1}));
        QCOMPARE(Values(g, true), std::vector<int>{INT_MIN});
        QCOMPARE(g.ticks.front().label.text, QStringLiteral("-2147483648"));
        QCOMPARE(g.ticks.back().line.from.x(), 19);  // 4294967294 * 20 / 4294967295
    }

    // The time scale painted into a strip inside a bigger image, over a
    // stripe of another colour: the rows above the labels hold exactly the
    // ticks, axis and arrow on the colour found at (2, 3); labels and the
    // unit are ink centred on their anchors; nothing outside changes.
    void horizontalPixels() {
        const QRect strip(10, 20, 661, 24);
        const QColor back(200, 220, 240);
        QImage image = Canvas({700, 60}, strip, back);
        QPainter(&image).fillRect(QRect(strip.left() + 300, strip.top(), 100, 24), Qt::green);
        CScaleBar bar = Bar({0, 1000, 50, 2, 0, QStringLiteral("ms")});
        QVERIFY(bar.Draw(image, strip));
        QCOMPARE(bar.GetBackColor(), back);
        QCOMPARE(ChangedOutside(image, strip), 0);

        std::set<std::pair<int, int>> lines;
        for (int offset = 0; offset < 1000; offset += 50) {
            for (int y = offset % 100 == 0 ? 1 : 3; y <= 5; ++y)
                lines.insert({offset * 641 / 1000, y});
        }
        for (int x = 0; x <= 636; ++x) lines.insert({x, 6});
        for (int k = 1; k <= 4; ++k) {
            lines.insert({636 - k, 6 + k});
            lines.insert({636 - k, 6 - k});
        }
        // Rows 0 ... 6 left of the unit carry no text: compare every pixel;
        // below them, the lower arrow stroke without its end point.
        ExpectLines(image, strip, QRect(0, 0, 640, 7), lines, back);
        ExpectLines(image, strip, QRect(630, 7, 10, 5), lines, back);
        for (int y = strip.top(); y <= strip.bottom(); ++y) {
            for (int x = strip.left(); x <= strip.right(); ++x)
                QVERIFY(image.pixelColor(x, y) != QColor(Qt::green));
        }
        for (int value = 100; value < 1000; value += 100) {
            const int x = strip.left() + value * 641 / 1000;
            const QRect ink = InkBox(image, QRect(x - 20, strip.top() + 7, 41, 17));
            QVERIFY2(!ink.isNull() && qAbs(ink.center().x() - x) <= 2,
                     qPrintable(QString::number(value)));
            for (int y = ink.top(); y <= ink.bottom(); ++y) {  // black, not the line colour
                for (int px = ink.left(); px <= ink.right(); ++px) {
                    const QColor c = image.pixelColor(px, y);
                    QVERIFY(c.red() - c.green() < 8);
                }
            }
        }
        QVERIFY(InkBox(image, QRect(strip.left() + 45, strip.top() + 7, 5, 17)).isNull());
        // The unit "ms" is centred at W - 10 on top.
        const QRect unit = InkBox(image, QRect(strip.left() + 640, strip.top(), 21, 12));
        QVERIFY(!unit.isNull());
        QVERIFY(qAbs(unit.center().x() - (strip.left() + 651)) <= 2);
    }

    // The 16-bit amplitude scale painted: ticks to the right of the axis,
    // the axis column, the arrow head, labels left of the axis, right-aligned.
    void verticalPixels() {
        const QRect strip(5, 7, 31, 222);
        const QColor back(212, 208, 200);
        QImage image = Canvas({50, 240}, strip, back);
        QVERIFY(Bar({-32, 32, 1, 8, 1, QStringLiteral("k")}).Draw(image, strip));
        QCOMPARE(ChangedOutside(image, strip), 0);

        std::set<std::pair<int, int>> lines;
        for (int off = 0; off < 64; ++off) {
            for (int x = 25; x <= (off % 8 == 0 ? 30 : 28); ++x)
                lines.insert({x, static_cast<int>(222 - off * 207.0 / 64)});
        }
        for (int y = 15; y <= 221; ++y) lines.insert({25, y});
        for (int k = 1; k <= 4; ++k) {
            lines.insert({25 - k, 15 + k});
            lines.insert({25 + k, 15 + k});
        }
        ExpectLines(image, strip, QRect(25, 0, 6, 222), lines, back);
        ExpectLines(image, strip, QRect(21, 16, 4, 4), lines, back);
        // Label "0" sits left of the axis around its tick (y = 118); "-32"
        // at the bottom is cut by the strip's edge but still shows.
        const QRect zero = InkBox(image, QRect(strip.left(), strip.top() + 100, 25, 36));
        QVERIFY(!zero.isNull());
        QVERIFY(zero.right() <= strip.left() + 24 && zero.right() >= strip.left() + 17);
        QVERIFY(qAbs(zero.center().y() - (strip.top() + 118)) <= 3);
        QVERIFY(!InkBox(image, QRect(strip.left(), strip.top() + 212, 25, 10)).isNull());
        QVERIFY(InkBox(image, QRect(strip.left(), strip.top() + 126, 25, 6)).isNull());
    }

    // A strip too low to hold (2, 3): the back colour as set serves.
    void backColourOfAStripTooLow() {
        const QRect low(0, 10, 120, 2);
        QImage image = Canvas({120, 24}, low, QColor(9, 9, 9));
        CScaleBar bar = Bar({0, 10, 1, 5, 0});
        bar.SetBackColor(10, 20, 30);
        QVERIFY(bar.Draw(image, low));
        QCOMPARE(bar.GetBackColor(), QColor(10, 20, 30));
        QCOMPARE(image.pixelColor(55, 10), QColor(10, 20, 30));
        QCOMPARE(ChangedOutside(image, low), 0);
    }

    // Painting through a caller's painter keeps to the strip and gives the
    // painter back as it came.
    void painterIsRestored() {
        const QRect strip(20, 20, 60, 24);
        QImage image = Canvas({100, 60}, strip, Qt::white);
        QPainter painter(&image);
        painter.setPen(QColor(0, 255, 0));
        painter.setFont(QFont(QStringLiteral("DejaVu Serif"), 20));
        QVERIFY(Bar({0, 4, 1, 2, 0}).Draw(painter, strip, Qt::white));
        QCOMPARE(painter.pen().color(), QColor(0, 255, 0));
        QCOMPARE(painter.font().pointSize(), 20);
        QVERIFY(painter.transform().isIdentity());
        QVERIFY(!painter.hasClipping());
        painter.end();
        QCOMPARE(image.pixelColor(20 + 10, 20 + 3), kFore);  // tick at 1: x = 40 / 4
        QCOMPARE(ChangedOutside(image, strip), 0);
    }
};

QTEST_MAIN(ScaleBarTest)
#include "ScaleBarTest.moc"
