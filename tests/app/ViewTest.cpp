// The wave and spectrum views in the real main window, by mouse. What the
// views draw and the arithmetic behind a click are the core's, tested there.

#include <QAction>
#include <QStatusBar>

#include <cmath>
#include <numbers>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "app/ViewFrame.h"
#include "app/WaveViews.h"
#include "core/dsp/ViewRules.h"
#include "core/util/Clock.h"
#include "core/wave/WaveFile.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class ViewTest : public QObject {
    Q_OBJECT

  private:
    WindowFakes fakes_;
    FakeClock clock_;
    std::unique_ptr<CKestruneDlg> window_;

    /** A 16-bit 22050 Hz wave: sample j is j (a ramp), or a sine of 1102.5 Hz
     *  with the given amplitude. */
    QString Wave(const char* name, int count, int sineAmplitude = 0) {
        std::vector<uint8_t> bytes;
        for (int j = 0; j < count; ++j) {
            const int v = sineAmplitude == 0
                              ? j
                              : int(sineAmplitude * std::sin(2 * std::numbers::pi * j / 20.0));
            bytes.push_back(static_cast<uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        const QString path = fakes_.dir.filePath(QString::fromLatin1(name));
        WriteWaveFile(path.toStdString(), {1, 1, 22050, 44100, 2, 16, 0}, bytes.data(),
                      static_cast<uint32_t>(count));
        return path;
    }
    void Open(const char* name, int count, int sineAmplitude = 0) {
        window_->OpenWaveFiles({Wave(name, count, sineAmplitude)});
    }

    QAction* Tool(const char* name) { return Controls{window_.get()}.Get<QAction>(name); }
    ViewFrame* View(const char* name) { return Controls{window_.get()}.Get<ViewFrame>(name); }
    int ViewWidth() { return View("waveView")->contentsRect().width(); }
    double Length() { return window_->Waves().viewEnd - window_->Waves().viewStart + 1; }
    bool Settled() {
        return QTest::qWaitFor([&] { return !window_->Views().SpectrumPending(); });
    }

    /** A click at x pixels into the wave view's inside, halfway down. */
    void ClickView(int x) {
        const QRect inside = View("waveView")->contentsRect();
        QTest::mouseClick(View("waveView"), Qt::LeftButton, {},
                          inside.topLeft() + QPoint(x, inside.height() / 2));
    }
    /** Clicks at x while the tool is offered; the number of clicks. */
    int ClickWhileEnabled(const char* tool, int x) {
        int clicks = 0;
        for (; Tool(tool)->isEnabled() && clicks < 20; ++clicks) ClickView(x);
        return clicks;
    }
    /** Coloured pixels of the spectrogram as shown. */
    int SpectrumPixels() {
        const QImage image = View("spectrumView")->Image();
        return image.width() * image.height() - CountPixels(image, Qt::white);
    }
    /** Moves the pointer to (x, y) inside a view; the status bar's text. */
    QString Readout(const char* view, int x, int y) {
        ViewFrame* frame = View(view);
        QTest::mouseMove(frame, frame->contentsRect().topLeft() + QPoint(x, y));
        return window_->statusBar()->currentMessage();
    }

  private slots:
    void init() {
        window_ = std::make_unique<CKestruneDlg>(fakes_.Services(clock_));
        QVERIFY(Show(window_.get()));
    }
    void cleanup() {
        window_.reset();
        fakes_.prompter.messages.clear();
    }

    void zoomToBothLimits() {
        Open("ramp.wav", 1000);
        const int w = ViewWidth();
        Tool("toolZoomIn")->trigger();
        ClickView(w / 2);
        const int s = dsp::ClickedSample(w / 2, w, {0, 999});
        QCOMPARE(window_->Waves().viewStart, s - 250.0 + 1);
        QCOMPARE(window_->Waves().viewEnd, s + 250.0);
        // The tool stays armed: 500 -> 250 -> 125 -> 62.5 -> 31.25, then refused.
        QCOMPARE(ClickWhileEnabled("toolZoomIn", w / 2), 5);
        QCOMPARE(Length(), 31.25);
        QVERIFY(!Tool("toolZoomIn")->isChecked());
        QCOMPARE(window_->ZoomTool(), 0);

        Tool("toolZoomOut")->trigger();
        ClickView(w / 2);
        QCOMPARE(Length(), 62.5);
        QVERIFY(Tool("toolZoomIn")->isEnabled());  // offered again after a zoom out
        ClickWhileEnabled("toolZoomOut", 10);
        QCOMPARE(Length(), 1000.0);  // doubling 1000 is refused
        QCOMPARE(window_->ZoomTool(), 0);
        // Drawing again offers both tools and shows the whole wave.
        window_->DrawWave();
        QVERIFY(Tool("toolZoomOut")->isEnabled());
        QCOMPARE(window_->Waves().viewEnd, 999.0);
    }

    void aRepaintKeepsTheZoom() {
        Open("ramp.wav", 1000);
        const QImage whole = View("waveView")->Image();
        Tool("toolZoomIn")->trigger();
        ClickView(ViewWidth() / 2);
        const QImage zoomed = View("waveView")->Image();
        QVERIFY(zoomed != whole);
        window_->repaint();
        const QRect inside = View("waveView")->contentsRect();
        QCOMPARE(
            View("waveView")->grab().toImage().copy(inside).convertToFormat(QImage::Format_RGB32),
            zoomed);
        QCOMPARE(Length(), 500.0);
    }

    void cutLeftAndRight() {
        Open("ramp.wav", 1000);
        const auto& set = window_->Waves();
        const int w = ViewWidth();
        // A click outside the view releases the tool and cuts nothing.
        Tool("toolCutRight")->trigger();
        QWidget* workspace = Controls{window_.get()}.Get<QWidget>("workspace");
        QTest::mouseClick(workspace, Qt::LeftButton, {}, QPoint(2, workspace->height() - 2));
        QCOMPARE(window_->CutTool(), 0);
        QVERIFY(!Tool("toolCutRight")->isChecked());
        QCOMPARE(set.sampleCounts[0], 1000u);

        Tool("toolCutLeft")->trigger();
        const int s = dsp::ClickedSample(w / 4, w, {0, 999});
        ClickView(w / 4);
        QCOMPARE(set.sampleCounts[0], 1000u - s);
        QCOMPARE(window_->CutTool(), 0);
        // The wave now starts at the old sample s: the ramp's value s.
        QCOMPARE(int(int16_t(set.samples[0][0] | (set.samples[0][1] << 8))), s);
        QCOMPARE(QString::fromStdString(set.names[0]), QStringLiteral("ramp.wav"));

        Tool("toolCutRight")->trigger();
        const int r = dsp::ClickedSample(w / 2, w, {0, set.sampleCounts[0] - 1.0});
        ClickView(w / 2);
        QCOMPARE(set.sampleCounts[0], uint32_t(r + 1));
        QVERIFY(Tool("toolZoomIn")->isEnabled());
        QVERIFY(!Tool("toolCutRight")->isChecked());
        QVERIFY(fakes_.prompter.messages.empty());
    }

    void cuttingNeedsOneWave() {
        window_->OpenWaveFiles({Wave("a.wav", 1000), Wave("b.wav", 500)});
        Tool("toolCutRight")->trigger();
        ClickView(ViewWidth() / 2);
        QCOMPARE(fakes_.prompter.MessageTexts(), QStringList{CWaveViews::kOnlyOneWave});
        QCOMPARE(window_->CutTool(), 1);  // the tool stays armed
        QCOMPARE(window_->Waves().sampleCounts[0], 1000u);
    }

    void spectrogramIsComputedOnceAndKept() {
        Open("sine.wav", 5 * 22050, 20000);  // long enough for the worker
        QVERIFY(Settled());
        const QImage image = View("spectrumView")->Image();
        window_->DrawSpectrum();  // nothing changed: nothing to compute
        QVERIFY(!window_->Views().SpectrumPending());
        QCOMPARE(View("spectrumView")->Image(), image);
        Tool("actionFrame4096")->trigger();
        window_->DrawSpectrum();
        QVERIFY(window_->Views().SpectrumPending());
        QVERIFY(Settled());
        QVERIFY(View("spectrumView")->Image() != image);
    }

    void spectrogramOptions_data() {
        QTest::addColumn<int>("amplitude");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("standard");
        QTest::addColumn<bool>("reveals");  // else narrows the tone to under half
        // A quiet tone (level 5 on the magnitude scale) is seen in decibels.
        QTest::newRow("decibels") << 60 << "actionLevelsDecibels"
                                  << "actionLevelsMagnitude" << true;
        // A loud tone between two bins leaks far across the rectangular window's bins.
        QTest::newRow("hann") << 20000 << "actionWindowHann"
                              << "actionWindowRectangular" << false;
    }
    void spectrogramOptions() {
        QFETCH(int, amplitude);
        QFETCH(QString, option);
        QFETCH(QString, standard);
        QFETCH(bool, reveals);
        QAction* chosen = Tool(option.toLatin1().constData());
        QAction* back = Tool(standard.toLatin1().constData());
        Open("tone.wav", 11025, amplitude);  // half a second: drawn at once
        QVERIFY(back->isChecked());
        const int before = SpectrumPixels();
        chosen->trigger();
        QVERIFY(chosen->isChecked() && !back->isChecked());
        QVERIFY(Settled());
        const int after = SpectrumPixels();
        if (reveals)
            QVERIFY2(before == 0 && after > 0, qPrintable(QString::number(after)));
        else
            QVERIFY2(after > 0 && 2 * after < before,
                     qPrintable(QStringLiteral("%1 / %2").arg(after).arg(before)));
        // The option stays as chosen when the wave set changes.
        Open("again.wav", 11025, amplitude);
        QVERIFY(Settled());
        QCOMPARE(SpectrumPixels(), after);
        back->trigger();
        QVERIFY(!chosen->isChecked());
        QVERIFY(Settled());
        QCOMPARE(SpectrumPixels(), before);
    }

    void pointerReadoutInTheStatusBar() {
        Open("ramp.wav", 22050);  // one second
        QVERIFY(Settled());
        const QRect inside = View("waveView")->contentsRect();
        const int w = inside.width();
        const int h = inside.height();
        // Column x shows sample ceil(x 22049 / W); row y the lowest value drawn there.
        auto ms = [](qint64 sample) { return QString::number(sample / 22.05, 'f', 1); };
        auto wave = [&](int x, int y, qint64 first, qint64 span, bool zoomed) {
            return QStringLiteral("t = %1 ms, amplitude = %2")
                .arg(ms(first + (qint64(x) * span + w - 1) / w))
                .arg(dsp::AmplitudeAtRow(y, h, 16, zoomed));
        };
        QTRY_COMPARE(Readout("waveView", 1, 0), wave(1, 0, 0, 22049, false));
        QTRY_COMPARE(Readout("waveView", w - 1, h - 1),
                     QStringLiteral("t = %1 ms, amplitude = -32768")
                         .arg(ms((qint64(w - 1) * 22049 + w - 1) / w)));
        // Zoomed, the columns cover the visible range only.
        Tool("toolZoomIn")->trigger();
        ClickView(w / 2);
        const int first = int(window_->Waves().viewStart);
        QTRY_COMPARE(Readout("waveView", w / 4, h / 2),
                     wave(w / 4, h / 2, first, int(window_->Waves().viewEnd) - first, true));

        // Over the spectrogram: time along (172 frames of 128 samples), frequency up.
        const QRect area = View("spectrumView")->contentsRect();
        const int y = area.height() - 20;
        const int bin = dsp::SpectrogramBinAtRow(y, area.height(), 2048);
        QVERIFY(bin > 0);
        const double t = 172.0 * 128 * (area.width() / 2) / area.width() / 22.05;
        QTRY_COMPARE(
            Readout("spectrumView", area.width() / 2, y),
            QStringLiteral("t = %1 ms, f = %2 Hz").arg(t, 0, 'f', 1).arg(22050 * bin / 2048));
    }
};

QTEST_MAIN(ViewTest)
#include "ViewTest.moc"