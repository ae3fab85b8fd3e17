// The wave and spectrum views in the real main window: zoom to both limits,
// the cut tools, the repaint rule and the spectrogram worker.

#include <QAction>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "AppTestSupport.h"
#include "app/Choosers.h"
#include "app/KestruneDlg.h"
#include "app/ViewFrame.h"
#include "app/WaveViews.h"
#include "core/dsp/ViewRules.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

class NoFiles final : public FileChooser {
  public:
    QString ChooseOpenPath(QWidget*) override { return {}; }
    QString ChooseSavePath(QWidget*) override { return {}; }
};

class NoColors final : public ColorChooser {
  public:
    std::optional<QColor> ChooseColor(QWidget*, const QColor&) override { return std::nullopt; }
};

}  // namespace

class ViewTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    FakePrompter prompter_;
    NoFiles files_;
    NoColors colors_;
    FakeOpener opener_;
    FakeClock clock_;
    CrtRandom random_;
    std::unique_ptr<CKestruneDlg> window_;

    // A 16-bit 22050 Hz wave whose sample j is j (a ramp), or a loud sine.
    QString Wave(const char* name, int count, bool sine = false, int amplitude = 20000) {
        std::vector<uint8_t> bytes;
        for (int j = 0; j < count; ++j) {
            const int v =
                sine ? static_cast<int>(amplitude * std::sin(2 * std::numbers::pi * j / 20.0)) : j;
            bytes.push_back(static_cast<uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        WaveFormat format{1, 1, 22050, 44100, 2, 16, 0};
        const QString path = dir_.filePath(QString::fromLatin1(name));
        WriteWaveFile(path.toStdString(), format, bytes.data(), static_cast<uint32_t>(count));
        return path;
    }

    QAction* Tool(const char* name) { return window_->findChild<QAction*>(name); }
    ViewFrame* WaveView() { return window_->findChild<ViewFrame*>("waveView"); }
    int ViewWidth() { return WaveView()->contentsRect().width(); }

    // A click at x pixels into the wave view's inside, halfway down.
    void ClickView(int x) {
        ViewFrame* view = WaveView();
        const QRect inside = view->contentsRect();
        QTest::mouseClick(view, Qt::LeftButton, {},
                          inside.topLeft() + QPoint(x, inside.height() / 2));
    }
    double Length() { return window_->Waves().viewEnd - window_->Waves().viewStart + 1; }

  private slots:
    void init() {
        prompter_.messages.clear();
        window_ = std::make_unique<CKestruneDlg>(
            CKestruneDlg::Services{prompter_, files_, colors_, opener_, clock_, random_});
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void zoomToBothLimits() {
        window_->OpenWaveFiles({Wave("ramp.wav", 1000)});
        QCOMPARE(window_->Waves().viewEnd, 999.0);
        Tool("toolZoomIn")->trigger();
        QCOMPARE(window_->ZoomTool(), 1);
        const int w = ViewWidth();
        ClickView(w / 2);
        const int s = dsp::ClickedSample(w / 2, w, {0, 999});
        QCOMPARE(window_->Waves().viewStart, s - 250.0 + 1);
        QCOMPARE(window_->Waves().viewEnd, s + 250.0);
        QCOMPARE(window_->ZoomTool(), 1);  // stays armed
        int clicks = 1;
        while (Tool("toolZoomIn")->isEnabled() && clicks < 20) {
            ClickView(w / 2);
            ++clicks;
        }
        // 1000 -> 500 -> 250 -> 125 -> 62.5 -> 31.25, then refused.
        QCOMPARE(clicks, 6);
        QCOMPARE(Length(), 31.25);
        QVERIFY(!Tool("toolZoomIn")->isChecked());
        QCOMPARE(window_->ZoomTool(), 0);
        QVERIFY(Tool("toolZoomOut")->isEnabled());

        Tool("toolZoomOut")->trigger();
        ClickView(w / 2);
        QCOMPARE(Length(), 62.5);
        QVERIFY(Tool("toolZoomIn")->isEnabled());  // back after a successful zoom
        clicks = 1;
        while (Tool("toolZoomOut")->isEnabled() && clicks < 20) {
            ClickView(10);
            ++clicks;
        }
        QCOMPARE(Length(), 1000.0);  // 62.5 -> ... -> 1000, then 2000 > 1000 is refused
        QCOMPARE(window_->ZoomTool(), 0);

        // A Draw wave puts the buttons back and shows the whole waves again.
        window_->DrawWave();
        QVERIFY(Tool("toolZoomOut")->isEnabled());
        QCOMPARE(window_->Waves().viewEnd, 999.0);
    }

    void aRepaintKeepsTheZoom() {
        window_->OpenWaveFiles({Wave("ramp.wav", 1000)});
        const QImage whole = WaveView()->Image();
        Tool("toolZoomIn")->trigger();
        ClickView(ViewWidth() / 2);
        const QImage zoomed = WaveView()->Image();
        QVERIFY(zoomed != whole);
        WaveView()->repaint();
        window_->repaint();
        QCOMPARE(WaveView()->Image(), zoomed);
        QCOMPARE(WaveView()
                     ->grab()
                     .toImage()
                     .copy(WaveView()->contentsRect())
                     .convertToFormat(QImage::Format_RGB32),
                 zoomed);
        QCOMPARE(Length(), 500.0);
    }

    void aClickOutsideReleasesTheTools() {
        window_->OpenWaveFiles({Wave("ramp.wav", 1000)});
        Tool("toolCutRight")->trigger();
        QCOMPARE(window_->CutTool(), 1);
        QWidget* workspace = window_->findChild<QWidget*>("workspace");
        QTest::mouseClick(workspace, Qt::LeftButton, {}, QPoint(2, workspace->height() - 2));
        QCOMPARE(window_->CutTool(), 0);
        QVERIFY(!Tool("toolCutRight")->isChecked());
        QCOMPARE(window_->Waves().sampleCounts[0], 1000u);
    }

    void cutLeftAndRight() {
        window_->OpenWaveFiles({Wave("ramp.wav", 1000)});
        const int w = ViewWidth();
        // Cut left at the first column: s = 0 keeps everything (x = 0 is on
        // the frame, so the first click inside is x = 1).
        Tool("toolCutLeft")->trigger();
        ClickView(1);
        const auto& set = window_->Waves();
        const int s0 = dsp::ClickedSample(1, w, {0, 999});
        QCOMPARE(set.sampleCounts[0], 1000u - s0);
        QCOMPARE(window_->CutTool(), 0);

        Tool("toolCutLeft")->trigger();
        const int x = w / 4;
        const uint32_t before = set.sampleCounts[0];
        const int s = dsp::ClickedSample(x, w, {0, before - 1.0});
        ClickView(x);
        QCOMPARE(set.sampleCounts[0], before - s);
        // The wave now starts at the old sample s: the ramp's value s + s0.
        QCOMPARE(int(int16_t(set.samples[0][0] | (set.samples[0][1] << 8))), s + s0);
        QCOMPARE(QString::fromStdString(set.names[0]), QStringLiteral("ramp.wav"));

        Tool("toolCutRight")->trigger();
        const uint32_t left = set.sampleCounts[0];
        const int r = dsp::ClickedSample(w / 2, w, {0, left - 1.0});
        ClickView(w / 2);
        QCOMPARE(set.sampleCounts[0], uint32_t(r + 1));
        QVERIFY(Tool("toolZoomIn")->isEnabled());
        QVERIFY(!Tool("toolCutRight")->isChecked());
        QVERIFY(prompter_.messages.empty());
    }

    void cuttingNeedsOneWave() {
        window_->OpenWaveFiles({Wave("a.wav", 1000), Wave("b.wav", 500)});
        Tool("toolCutRight")->trigger();
        ClickView(ViewWidth() / 2);
        QCOMPARE(prompter_.MessageTexts(), QStringList{CWaveViews::kOnlyOneWave});
        QCOMPARE(window_->CutTool(), 1);  // the tool stays armed
        QCOMPARE(window_->Waves().sampleCounts[0], 1000u);
    }

    void spectrogramIsComputedOnceAndKept() {
        // Five seconds: long enough for the worker (short waves are drawn at once).
        window_->OpenWaveFiles({Wave("sine.wav", 5 * 22050, true)});
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        ViewFrame* spectrum = window_->findChild<ViewFrame*>("spectrumView");
        const QImage image = spectrum->Image();
        // A 1102.5 Hz tone of amplitude 20000: its bins are far above level 8,
        // drawn in the top colours; the highest rows stay background.
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            coloured += image.pixelColor(image.width() / 2, y) != QColor(255, 255, 255);
        QVERIFY(coloured > 0);
        QCOMPARE(image.pixelColor(image.width() / 2, 0), QColor(255, 255, 255));
        // Drawing again with nothing changed starts no computation.
        window_->DrawSpectrum();
        QVERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(spectrum->Image(), image);
        // A new frame length does.
        window_->findChild<QAction*>("actionFrame4096")->trigger();
        window_->DrawSpectrum();
        QVERIFY(window_->Views().SpectrumPending());
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        QVERIFY(spectrum->Image() != image);
    }

    // Coloured pixels of the spectrogram as shown.
    int SpectrumPixels() {
        const QImage image = window_->findChild<ViewFrame*>("spectrumView")->Image();
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                coloured += image.pixel(x, y) != qRgb(255, 255, 255);
        return coloured;
    }

    void spectrogramWindowAndLevelScaleOptions() {
        // A 1102.5 Hz sine, amplitude 60 (half a second, drawn at once): its
        // bins are level 5 on the magnitude scale, so nothing is drawn.
        window_->OpenWaveFiles({Wave("quiet.wav", 11025, true, 60)});
        QVERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(SpectrumPixels(), 0);
        QVERIFY(!window_->DecibelLevels());
        QVERIFY(window_->findChild<QAction*>("actionLevelsMagnitude")->isChecked());
        // The decibel scale shows it (about 55 dB below full scale), at once.
        window_->findChild<QAction*>("actionLevelsDecibels")->trigger();
        QVERIFY(window_->DecibelLevels());
        QVERIFY(window_->findChild<QAction*>("actionLevelsDecibels")->isChecked());
        QVERIFY(!window_->findChild<QAction*>("actionLevelsMagnitude")->isChecked());
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        const int rectangular = SpectrumPixels();
        QVERIFY(rectangular > 0);
        // Back to the magnitude scale: nothing again.
        window_->findChild<QAction*>("actionLevelsMagnitude")->trigger();
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(SpectrumPixels(), 0);

        // A loud tone between two bins leaks far across the rectangular
        // window's bins; the Hann window keeps it near the tone.
        window_->OpenWaveFiles({Wave("loud.wav", 11025, true)});
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        const int leaking = SpectrumPixels();
        QVERIFY(!window_->HannWindow());
        window_->findChild<QAction*>("actionWindowHann")->trigger();
        QVERIFY(window_->HannWindow());
        QVERIFY(window_->findChild<QAction*>("actionWindowHann")->isChecked());
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        const int hann = SpectrumPixels();
        QVERIFY2(hann > 0 && 2 * hann < leaking,
                 qPrintable(QStringLiteral("%1 / %2").arg(hann).arg(leaking)));
        window_->findChild<QAction*>("actionWindowRectangular")->trigger();
        QVERIFY(!window_->HannWindow());
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(SpectrumPixels(), leaking);

        // The options stay as chosen when the wave set changes.
        window_->findChild<QAction*>("actionLevelsDecibels")->trigger();
        window_->OpenWaveFiles({Wave("quiet2.wav", 11025, true, 60)});
        QVERIFY(window_->DecibelLevels());
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(SpectrumPixels(), rectangular);
    }

    void pointerReadoutInTheStatusBar() {
        window_->OpenWaveFiles({Wave("ramp.wav", 22050)});  // one second
        QTRY_VERIFY(!window_->Views().SpectrumPending());
        ViewFrame* view = WaveView();
        const QRect inside = view->contentsRect();
        const int w = inside.width();
        const int h = inside.height();
        QStatusBar* status = window_->statusBar();
        struct Row {
            int x, y;
            QString text;
        };
        // Column x shows sample ceil(x 22049 / W); row y the lowest value drawn there.
        auto sampleAt = [&](int x) { return (qint64(x) * 22049 + w - 1) / w; };
        auto ms = [](qint64 sample) { return QString::number(sample / 22.05, 'f', 1); };
        const Row rows[] = {
            {1, 0,
             QStringLiteral("t = %1 ms, amplitude = %2")
                 .arg(ms(sampleAt(1)))
                 .arg(dsp::AmplitudeAtRow(0, h, 16, false))},
            {w / 2, (h - 1) / 2,
             QStringLiteral("t = %1 ms, amplitude = %2")
                 .arg(ms(sampleAt(w / 2)))
                 .arg(dsp::AmplitudeAtRow((h - 1) / 2, h, 16, false))},
            {w - 1, h - 1,
             QStringLiteral("t = %1 ms, amplitude = -32768").arg(ms(sampleAt(w - 1)))},
        };
        for (const Row& row : rows) {
            QTest::mouseMove(view, inside.topLeft() + QPoint(row.x, row.y));
            QTRY_COMPARE(status->currentMessage(), row.text);
        }
        // Zoomed, the columns cover the visible range only.
        Tool("toolZoomIn")->trigger();
        ClickView(w / 2);
        const auto& set = window_->Waves();
        const int first = int(set.viewStart);
        const int span = int(set.viewEnd) - first;
        QTest::mouseMove(view, inside.topLeft() + QPoint(w / 4, h / 2));
        QTRY_COMPARE(status->currentMessage(),
                     QStringLiteral("t = %1 ms, amplitude = %2")
                         .arg(ms(first + (qint64(w / 4) * span + w - 1) / w))
                         .arg(dsp::AmplitudeAtRow(h / 2, h, 16, true)));

        // Over the spectrogram: time along, frequency up (N = 2048 at 22050 Hz).
        ViewFrame* spectrum = window_->findChild<ViewFrame*>("spectrumView");
        const QRect area = spectrum->contentsRect();
        const int sh = area.height();
        // The bottom row shows the last of the bins that share it (four
        // bins per row when N / 2 exceeds the height).
        const int bin = dsp::SpectrogramBinAtRow(sh - 1, sh, 2048);
        QVERIFY(bin >= 0 && bin < 1024 / sh + 1);
        QTest::mouseMove(spectrum, area.topLeft() + QPoint(0, sh - 1));
        QTRY_COMPARE(status->currentMessage(),
                     QStringLiteral("t = 0.0 ms, f = %1 Hz").arg(22050 * bin / 2048));
        // With N / 2 > H only bins below H are drawn: the lowest rows.
        const int y = sh - 20;
        const int middleBin = dsp::SpectrogramBinAtRow(y, sh, 2048);
        QVERIFY(middleBin > 0);
        const int x = area.width() / 2;
        // 22050 / 128 = 172 frames of 128 samples.
        const double t = 172.0 * 128 * x / area.width() / 22.05;
        QTest::mouseMove(spectrum, area.topLeft() + QPoint(x, y));
        QTRY_COMPARE(
            status->currentMessage(),
            QStringLiteral("t = %1 ms, f = %2 Hz").arg(t, 0, 'f', 1).arg(22050 * middleBin / 2048));
    }
};

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"
