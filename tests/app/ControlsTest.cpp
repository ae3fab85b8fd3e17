// The workspace's own controls: the scale bar (layout worked out by hand,
// then painted and checked pixel by pixel), CPicture and the hyperlink.

#include <QLabel>
#include <QPainter>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <set>
#include <tuple>
#include <utility>

#include "AppTestSupport.h"
#include "app/AboutDlg.h"
#include "app/Picture.h"
#include "app/ScaleBar.h"

using namespace kestrune::app;
using namespace kestrune::app::testing;

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

/** from, below, step as values; 64-bit so that steps at the ends of int do not wrap. */
std::vector<int> Range(const QList<qint64>& spec) {
    std::vector<int> values;
    for (qint64 v = spec[0]; v < spec[1]; v += spec[2]) values.push_back(int(v));
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

/** The pixels a line covers: its start, and on up to one short of its end. */
void AddLine(std::set<std::pair<int, int>>& pixels, const ScaleLine& line) {
    const QPoint step((line.to.x() > line.from.x()) - (line.to.x() < line.from.x()),
                      (line.to.y() > line.from.y()) - (line.to.y() < line.from.y()));
    for (QPoint p = line.from; p != line.to; p += step) pixels.insert({p.x(), p.y()});
}

const QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255), kWhite = qRgb(255, 255, 255);

// Left half red, right half blue.
QImage TwoColours(int width = 4, int height = 2) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, x < width / 2 ? kRed : kBlue);
    }
    return image;
}

bool Near(QRgb pixel, QRgb expected, int tolerance) {
    return std::abs(qRed(pixel) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(pixel) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(expected)) <= tolerance;
}

const QUrl kMail(QStringLiteral("mailto:kestrune@example.org"));

int PixelsOf(QWidget* widget, const QColor& color) {
    return CountPixels(widget->grab().toImage(), color);
}

}  // namespace

Q_DECLARE_METATYPE(ScaleBarParams)

class ControlsTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;

    QString Save(const QImage& image, const QString& name, const char* format) {
        const QString path = dir_.filePath(name);
        if (!image.save(path, format, 100)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        return WriteFile(dir_.filePath(name), bytes);
    }

  private slots:
    // The workspace's scales in the strips the main window gives them, worked
    // out by hand (16-bit amplitude: y = (int)(222 - (v + 32) * 207 / 64);
    // time of one second: x = (int)(v * 0.641)), and the edge cases of the
    // label interval, the tick spacing and the int range.
    void layout_data() {
        QTest::addColumn<ScaleBarParams>("params");
        QTest::addColumn<QSize>("strip");
        QTest::addColumn<QList<qint64>>("ticks");     // from, below, step
        QTest::addColumn<QList<qint64>>("labelled");  // from, below, step
        // "v@x,y": the tick line of v starts at x,y; "v>x,y": its label's
        // anchor; "v=t": its label text; "unit>x,y": the unit's anchor.
        QTest::addColumn<QStringList>("probes");
        const auto row = [](const char* name, ScaleBarParams params, QSize strip,
                            QList<qint64> ticks, QList<qint64> labelled, QStringList probes) {
            QTest::newRow(name) << params << strip << ticks << labelled << probes;
        };
        row("16 bits", {-32, 32, 1, 8, 1, "k"}, {31, 222}, {-32, 32, 1}, {-32, 32, 8},
            {"-31@25,218", "31@25,18", "0@25,118", "0>25,110", "0=0", "-8=-8", "1=", "24>25,32",
             "unit>25,0"});
        row("8 bits", {-128, 128, 4, 8, 1}, {31, 222}, {-128, 128, 4}, {-128, 128, 32},
            {"124@25,18"});
        row("frequency", {0, 22, 1, 2, 1, "KHz"}, {33, 292}, {0, 22, 1}, {0, 22, 2},
            {"0@27,292", "1@27,279", "21@27,27", "20>27,32", "unit>27,0"});
        row("time", {0, 1000, 50, 2, 0, "ms"}, {661, 24}, {0, 1000, 50}, {0, 1000, 100},
            {"50@32,3", "100@64,1", "100>64,6", "900=900", "950@608,3", "unit>651,0"});
        row("labels from the start", {13, 63, 5, 2, 0}, {120, 24}, {13, 63, 5}, {13, 63, 10},
            {"18@10,3"});
        row("label interval 0", {-5, 5, 1, 0, 0}, {120, 24}, {-5, 5, 1}, {-5, -4, 1}, {});
        row("label interval -2", {-5, 5, 1, -2, 0}, {120, 24}, {-5, 5, 1}, {-5, 5, 2}, {});
        row("400 ticks on 420 px", {0, 10000, 25, 5, 0}, {420, 24}, {0, 10000, 25}, {0, 10000, 125},
            {"9975@399,3"});
        row("21 px wide", {0, 1, 1, 5, 0}, {21, 24}, {0, 1, 1}, {0, 1, 1}, {});
        row("16 px high", {0, 1, 1, 5, 1}, {31, 16}, {0, 1, 1}, {0, 1, 1}, {"0@25,16"});
        row("ends of int", {INT_MIN, INT_MAX, INT_MAX, INT_MAX, 0}, {40, 24},
            {INT_MIN, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN + 1, 1},
            {"-2147483648=-2147483648", "2147483646@19,3"});  // 4294967294 * 20 / 4294967295
    }
    void layout() {
        QFETCH(ScaleBarParams, params);
        QFETCH(QSize, strip);
        QFETCH(QList<qint64>, ticks);
        QFETCH(QList<qint64>, labelled);
        QFETCH(QStringList, probes);
        const auto g = LayOutScaleBar(params, strip);
        QVERIFY(g.drawn);
        QCOMPARE(Values(g, false), Range(ticks));
        QCOMPARE(Values(g, true), Range(labelled));
        for (const QString& probe : probes) {
            int at = 1;
            while (!QStringLiteral("@>=").contains(probe[at])) ++at;
            const QString key = probe.left(at), value = probe.mid(at + 1);
            const QChar kind = probe[at];
            const auto xy = [&value] {
                return QPoint(value.section(',', 0, 0).toInt(), value.section(',', 1).toInt());
            };
            if (key == QStringLiteral("unit"))
                QCOMPARE(g.unit.anchor, xy());
            else if (kind == '@')
                QCOMPARE(TickOf(g, key.toInt()).line.from, xy());
            else if (kind == '>')
                QCOMPARE(TickOf(g, key.toInt()).label.anchor, xy());
            else
                QCOMPARE(TickOf(g, key.toInt()).label.text, value);
        }
        // Labels and unit of a vertical scale end at their anchor, else centre on it.
        for (const auto& tick : g.ticks)
            if (tick.labelled) QCOMPARE(tick.label.alignRight, bool(params.vertical));
        if (!params.unit.isEmpty()) QCOMPARE(g.unit.alignRight, bool(params.vertical));
    }

    // Empty or reversed ranges, bad steps, ticks closer than a pixel and
    // strips too small for the arrow: no layout, and drawing leaves every
    // pixel as it was, not even the background.
    void nothingToDraw() {
        const std::pair<ScaleBarParams, QSize> cases[] = {
            {{7, 7, 1, 5, 0}, {400, 24}},              // min = max
            {{10, -10, 1, 5, 1}, {31, 222}},           // min > max
            {{0, 100, 0, 5, 0}, {400, 24}},            // step 0
            {{0, 100, -5, 5, 1}, {31, 222}},           // step < 0
            {{0, 10000, 24, 5, 0}, {420, 24}},         // ticks closer than a pixel
            {{0, 1, 1, 5, 0}, {20, 24}},               // 20 px wide
            {{0, 1, 1, 5, 1}, {31, 15}},               // 15 px high
            {{0, 1, 1, 5, 0}, {0, 0}},                 // empty strip
            {{0, 1, 1, 5, 1}, {}},                     // invalid size
            {{INT_MIN, INT_MAX, 1, 5, 0}, {4000, 24}}  // full int range
        };
        for (const auto& [params, strip] : cases) {
            const auto g = LayOutScaleBar(params, strip);
            QVERIFY(!g.drawn);
            QVERIFY(g.ticks.empty());
            const QRect rect(QPoint(0, 0), strip);
            QImage image = Canvas({4000, 240}, rect, QColor(77, 77, 77));
            const QImage before = image;
            CScaleBar bar = Bar(params);
            QVERIFY(!bar.Draw(image, rect));
            QCOMPARE(image, before);
        }
        QImage null;
        QVERIFY(!Bar({0, 1, 1, 5, 0}).Draw(null));
    }

    // The painting follows the layout: exactly its lines in the fore colour
    // over the strip's colour read at (2, 3) (a stripe of another colour is
    // painted over), black labels centred on their anchors or, beside a
    // vertical axis, ending at them, and nothing outside the strip. The axis
    // and arrow are worked out by hand here, the ticks in the layout table.
    void paintsTheLayout_data() {
        QTest::addColumn<ScaleBarParams>("params");
        QTest::addColumn<QRect>("strip");
        QTest::addColumn<QList<QPoint>>("arrow");  // axis start, tip, both head ends
        QTest::newRow("time") << ScaleBarParams{0, 1000, 50, 2, 0, "ms"} << QRect(10, 20, 661, 24)
                              << QList<QPoint>{{0, 6}, {636, 6}, {631, 11}, {631, 1}};
        QTest::newRow("16 bits") << ScaleBarParams{-32, 32, 1, 8, 1, "k"} << QRect(5, 7, 31, 222)
                                 << QList<QPoint>{{25, 222}, {25, 15}, {20, 20}, {30, 20}};
    }
    void paintsTheLayout() {
        QFETCH(ScaleBarParams, params);
        QFETCH(QRect, strip);
        QFETCH(QList<QPoint>, arrow);
        const auto g = LayOutScaleBar(params, strip.size());
        QCOMPARE(QList<QPoint>({g.axis.from, g.axis.to, g.arrowHead[0].to, g.arrowHead[1].to}),
                 arrow);
        QVERIFY(g.arrowHead[0].from == g.axis.to && g.arrowHead[1].from == g.axis.to);

        const QColor back(200, 220, 240);
        QImage image = Canvas({700, 240}, strip, back);
        QPainter(&image).fillRect(strip.adjusted(5, 5, 0, 0), Qt::green);
        CScaleBar bar = Bar(params);
        QVERIFY(bar.Draw(image, strip));
        QCOMPARE(bar.GetBackColor(), back);
        QCOMPARE(ChangedOutside(image, strip), 0);

        std::set<std::pair<int, int>> lines;
        for (const ScaleLine& line : {g.axis, g.arrowHead[0], g.arrowHead[1]}) AddLine(lines, line);
        std::vector<ScaleText> texts{g.unit};
        for (const ScaleTick& tick : g.ticks) {
            AddLine(lines, tick.line);
            if (tick.labelled) texts.push_back(tick.label);
        }
        // Where a text may leave ink, in strip pixels: below or left of its anchor.
        const auto area = [&](const ScaleText& text) {
            return params.vertical ? QRect(0, text.anchor.y(), text.anchor.x(), 14)
                                   : QRect(text.anchor.x() - 20, text.anchor.y(), 41, 17);
        };
        for (int y = 0; y < strip.height(); ++y) {
            for (int x = 0; x < strip.width(); ++x) {
                const QColor c = image.pixelColor(strip.left() + x, strip.top() + y);
                const bool text = std::any_of(texts.begin(), texts.end(), [&](const auto& t) {
                    return area(t).contains(x, y);
                });
                const bool ok =
                    lines.count({x, y}) ? c == kFore
                    : text ? c != kFore && c != QColor(Qt::green) && c.red() - c.green() < 8
                           : c == back;
                QVERIFY2(ok, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
        for (const ScaleText& text : texts) {
            const QRect ink = InkBox(image, area(text).translated(strip.topLeft()) & strip);
            const int x = strip.left() + text.anchor.x();
            QVERIFY2(!ink.isNull(), qPrintable(text.text));
            QVERIFY2(text.alignRight ? ink.right() < x && ink.right() >= x - 8
                                     : qAbs(ink.center().x() - x) <= 2,
                     qPrintable(text.text));
        }
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

    // --- CPicture -------------------------------------------------------------

    void LoadsEachFormatWithItsSizes() {
        // The content decides the format, not the name; JPEG is near enough.
        const std::tuple<const char*, const char*, int> cases[] = {{"pic1.bmp", "BMP", 0},
                                                                   {"pic2.png", "PNG", 0},
                                                                   {"headphone.jpg", "JPG", 60},
                                                                   {"pic3.bmp", "PNG", 0}};
        for (const auto& [name, format, tolerance] : cases) {
            const QString path = Save(TwoColours(16, 8), name, format);
            CPicture picture;
            QVERIFY(!picture.IsLoaded());
            QVERIFY2(picture.Load(path), name);
            QCOMPARE(picture.Width(), 16);
            QCOMPARE(picture.Height(), 8);
            QCOMPARE(picture.ByteSize(), QFileInfo(path).size());
            QVERIFY(Near(picture.Image().pixel(1, 1), kRed, tolerance));
            QVERIFY(Near(picture.Image().pixel(14, 6), kBlue, tolerance));
        }
    }

    void AFailedLoadLeavesNoPicture() {
        const QString good = Save(TwoColours(6, 3), "good.png", "PNG");
        QFile goodFile(good);
        QVERIFY(goodFile.open(QIODevice::ReadOnly));
        const QString cut = WriteBytes("cut.png", goodFile.read(20));
        // Each bad file, and the size ByteSize reports after the failure.
        const std::vector<std::pair<QString, qint64>> bad = {
            {dir_.filePath("missing.bmp"), 0},
            {WriteBytes("empty.bmp", {}), 0},
            {WriteBytes("text.jpg", "not a picture at all\r\n"), 22},
            {cut, 20}};
        CPicture picture;
        for (const auto& [path, size] : bad) {
            QVERIFY(picture.Load(good));
            QVERIFY2(!picture.Load(path), qPrintable(path));
            QVERIFY(!picture.IsLoaded());
            QCOMPARE(picture.Width(), 0);
            QCOMPARE(picture.Height(), 0);
            QCOMPARE(picture.ByteSize(), size);
        }
        QImage target(8, 8, QImage::Format_RGB32);
        target.fill(Qt::white);
        QPainter painter(&target);
        QVERIFY(!picture.Show(&painter, target.rect()));  // nothing stale is drawn
        painter.end();
        QCOMPARE(target.pixel(4, 4), kWhite);

        QVERIFY(picture.Load(Save(TwoColours(10, 5), "second.bmp", "BMP")));
        QCOMPARE(picture.Width(), 10);
        picture.FreePictureData();
        QVERIFY(!picture.IsLoaded());
        QCOMPARE(picture.Height(), 0);
        QCOMPARE(picture.ByteSize(), 0);
    }

    void ShowStretchesOverTheWholeRectangle() {
        CPicture picture;
        QImage canvas(40, 12, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            QVERIFY(!picture.Show(&painter, QRect(0, 0, 40, 12)));  // nothing loaded
            QVERIFY(picture.Load(Save(TwoColours(), "small.bmp", "BMP")));
            QVERIFY(!picture.Show(nullptr, QRect(0, 0, 40, 12)));
            QVERIFY(picture.Show(&painter, QRect(10, 2, 20, 8)));
        }
        // The 4 x 2 picture fills 20 x 8 pixels from (10, 2), aspect not kept.
        QCOMPARE(canvas.pixel(10, 2), kRed);
        QCOMPARE(canvas.pixel(19, 9), kRed);
        QCOMPARE(canvas.pixel(20, 2), kBlue);
        QCOMPARE(canvas.pixel(29, 9), kBlue);
        for (const QPoint outside : {QPoint(9, 5), QPoint(30, 5), QPoint(15, 1), QPoint(15, 10)})
            QCOMPARE(canvas.pixel(outside), kWhite);
    }

    void APainterThatCannotDrawIsReported() {
        FakePrompter prompter;
        CPicture picture(&prompter);
        QVERIFY(picture.Load(Save(TwoColours(), "p.png", "PNG")));
        QPainter inactive;
        QVERIFY(!picture.Show(&inactive, QRect(0, 0, 10, 10)));
        QCOMPARE(prompter.MessageTexts(), QStringList{"Can not allocate enough memory\t"});
        QCOMPARE(prompter.messages[0].caption, QStringLiteral("CPicture Error"));
    }

    void AFrameDecodesItsPictureOnceAndAgainOnlyWhenTheFileChanges() {
        const QString path = Save(TwoColours(16, 8), "frame.png", "PNG");
        CPictureFrame frame;
        frame.resize(42, 22);
        QVERIFY(frame.SetPath(path));
        QCOMPARE(frame.DecodeCount(), 1);
        QImage shown;
        for (int repaint = 0; repaint < 4; ++repaint) shown = frame.grab().toImage();
        QCOMPARE(frame.DecodeCount(), 1);
        QCOMPARE(shown.pixel(5, 11), kRed);
        QCOMPARE(shown.pixel(36, 11), kBlue);

        // Another picture saved under the same name shows at the next repaint.
        QImage white(8, 8, QImage::Format_RGB32);
        white.fill(kWhite);
        Save(white, "frame.png", "PNG");
        shown = frame.grab().toImage();
        QCOMPARE(frame.DecodeCount(), 2);
        QCOMPARE(shown.pixel(5, 11), kWhite);
        frame.grab();
        QCOMPARE(frame.DecodeCount(), 2);

        // A file that is not there leaves the frame empty and is looked for
        // again only when it appears.
        QVERIFY(!frame.SetPath(dir_.filePath("absent.png")));
        const int tries = frame.DecodeCount();
        frame.grab();
        frame.grab();
        QCOMPARE(frame.DecodeCount(), tries);
    }

    // --- The hyperlink --------------------------------------------------------

    void clickOpensTargetAndTurnsVisited() {
        FakeOpener opener;
        CHyperLink link(QStringLiteral("kestrune@example.org"), nullptr, &opener);
        link.SetURL(kMail.toString());
        QVERIFY(Show(&link));
        QCOMPARE(link.TextColor(), QColor(0, 0, 255));
        QVERIFY(PixelsOf(&link, QColor(0, 0, 255)) > 0);
        QCOMPARE(link.toolTip(), kMail.toString());
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

        // Neither a right click nor a left press released outside the link counts.
        QTest::mouseClick(&link, Qt::RightButton);
        QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(link.width() + 20, 2));
        QVERIFY(opener.opened.empty());
        QVERIFY(!link.Visited());

        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(opener.opened, std::vector<QUrl>{kMail});
        QVERIFY(link.Visited());
        QCOMPARE(link.TextColor(), QColor(85, 26, 139));
        QCOMPARE(PixelsOf(&link, QColor(0, 0, 255)), 0);
        QVERIFY(PixelsOf(&link, QColor(85, 26, 139)) > 0);

        // It stays visited, also when the handler refuses the next target.
        opener.accept = false;
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(opener.opened.size(), size_t{2});
        QCOMPARE(link.TextColor(), QColor(85, 26, 139));
    }

    void targetDefaultsToTheText() {
        // (How a target becomes a URL is Qt's.)
        CHyperLink link(QStringLiteral("Contact"));
        QCOMPARE(link.URL(), QStringLiteral("Contact"));
        // A link with a target and no text shows the target.
        CHyperLink bare;
        bare.SetURL(QStringLiteral("mailto:someone@example.org"));
        QCOMPARE(bare.text(), QStringLiteral("mailto:someone@example.org"));
    }

    void underlineAndAdjustToFit() {
        CHyperLink link(QStringLiteral("kestrune@example.org"));
        QVERIFY(link.Underline() && link.font().underline());
        link.SetUnderline(false);
        QVERIFY(!link.font().underline());
        // The family and size stay the surrounding window's.
        QCOMPARE(link.font().pointSizeF(), QApplication::font().pointSizeF());

        // Adjust-to-fit gives the control its text's size, keeping its corner.
        link.setGeometry(10, 20, 400, 60);
        link.SetAdjustToFit(true);
        QCOMPARE(link.size(), link.sizeHint());
        QCOMPARE(link.pos(), QPoint(10, 20));
        link.SetAdjustToFit(false);
        link.setGeometry(10, 20, 400, 60);
        link.SetURL(kMail.toString());
        QCOMPARE(link.size(), QSize(400, 60));
    }

    void aboutBoxShowsVersionAndLink() {
        FakeOpener opener;
        CAboutDlg about(nullptr, &opener);
        const Controls ui{&about};
        QCOMPARE(ui.Get<QLabel>("versionText")->text(), QStringLiteral("Kestrune Version 8.0"));
        QVERIFY(!ui.Get<QLabel>("icon")->pixmap().isNull());
        auto* link = ui.Get<CHyperLink>("contactLink");
        QCOMPARE(link->text(), QStringLiteral("kestrune@example.org"));
        QVERIFY(link->Underline());
        QVERIFY(Show(&about));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opener.opened, std::vector<QUrl>{kMail});
        Click(ui.Button("okButton"));
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
