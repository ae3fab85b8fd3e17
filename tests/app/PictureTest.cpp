// CPicture: loading .bmp, .jpg and .png files made here, what a failed load
// leaves, and drawing stretched into a rectangle.

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "AppTestSupport.h"
#include "app/Picture.h"

using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

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

}  // namespace

class PictureTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;

    QString Save(const QImage& image, const QString& name, const char* format) {
        const QString path = dir_.filePath(name);
        if (!image.save(path, format, 100)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString WriteBytes(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(name));
        file.write(bytes);
        return file.fileName();
    }

  private slots:
    void LoadsEachFormatWithItsSizes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("bmp") << "pic1.bmp" << QByteArray("BMP") << 0;
        QTest::newRow("png") << "pic2.png" << QByteArray("PNG") << 0;
        QTest::newRow("jpg") << "headphone.jpg" << QByteArray("JPG") << 60;
        QTest::newRow("png named bmp") << "pic3.bmp" << QByteArray("PNG") << 0;  // content decides
    }
    void LoadsEachFormatWithItsSizes() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(int, tolerance);
        const QString path = Save(TwoColours(16, 8), name, format.constData());
        CPicture picture;
        QVERIFY(!picture.IsLoaded());
        QVERIFY(picture.Load(path));
        QCOMPARE(picture.Width(), 16);
        QCOMPARE(picture.Height(), 8);
        QCOMPARE(picture.ByteSize(), QFileInfo(path).size());
        QVERIFY(Near(picture.Image().pixel(1, 1), kRed, tolerance));
        QVERIFY(Near(picture.Image().pixel(14, 6), kBlue, tolerance));
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
        // The 4 x 2 picture fills 20 x 8 pixels from (10, 2): its aspect ratio
        // is not kept, and nothing outside the rectangle is touched.
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
};

QTEST_MAIN(PictureTest)
#include "PictureTest.moc"
