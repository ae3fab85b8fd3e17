// The generators, filters, averaged spectrum and division listening, run from
// the main window's menus; division listening plays on the virtual output.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include <cmath>
#include <numbers>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/FrequencyAverageDlg.h"
#include "app/KestruneDlg.h"
#include "app/StartupOptions.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/wave/Pcm16.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class SignalWindowTest : public QObject {
    Q_OBJECT

    WindowFakes fakes_;
    audio::ManualWaitClock clock_{1'700'000'000};
    audio::VirtualOutput output_{clock_};
    std::unique_ptr<CKestruneDlg> window_;

    /** Writes a 16-bit tone of `hz` (0: a ramp) and opens it. */
    QString OpenTone(const char* name, uint32_t rate, double hz, int count) {
        std::vector<uint8_t> bytes(2 * static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            SetPcm16(
                bytes.data(), static_cast<std::size_t>(i),
                hz > 0 ? static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * hz * i / rate))
                       : static_cast<int16_t>(i % 300 + 1));
        const QString path = fakes_.dir.filePath(QString::fromLatin1(name));
        WriteWaveFile(QFile::encodeName(path).toStdString(), PcmFormat(1, rate, 16), bytes.data(),
                      static_cast<uint32_t>(count));
        window_->OpenWaveFiles({path});
        return path;
    }
    void Run(const char* action, std::function<void(Controls)> body) {
        OnNextModal([body](QWidget* dialog) { body(Controls{dialog}); });
        window_->findChild<QAction*>(action)->trigger();
    }
    QStringList Messages() { return fakes_.prompter.MessageTexts(); }

  private slots:
    void init() {
        CKestruneDlg::Services services = fakes_.Services(clock_);
        services.sound = &output_;
        services.soundClock = &clock_;
        window_ = std::make_unique<CKestruneDlg>(services);
        StartupOptions options;
        options.stationDir = fakes_.dir.path();
        options.workspace = true;
        window_->Start(options);
        fakes_.prompter.messages.clear();
    }
    void cleanup() { window_.reset(); }

    void sinGeneratorBuildsAndUndoes() {
        QStringList shown;
        Run("actionSinGenerator", [&](Controls c) {
            shown << c.window->windowTitle() << c.Edit("beginHzEdit")->text()
                  << c.Edit("endHoldEdit")->text();
            Click(c.Button("okButton"));
        });
        QCOMPARE(shown, (QStringList{"正弦信号を作る", "1000", "2"}));
        const WaveSet& set = window_->Waves();
        QCOMPARE(set.waveCount, 1);
        QCOMPARE(set.sampleCounts[0], 264600u);
        QCOMPARE(set.names[0], std::string("Created sin wave"));
        QVERIFY(window_->findChild<QAction*>("actionUndo")->isEnabled());
        window_->Undo();
        QCOMPARE(window_->Waves().waveCount, 0);
        // A wave open: refused before any dialog.
        OpenTone("a.wav", 22050, 0, 100);
        window_->findChild<QAction*>("actionSinGenerator")->trigger();
        QCOMPARE(Messages(), QStringList{"Please close all the wave files firstly!"});
    }

    void mixGeneratorReadsTheStationsDescription() {
        QDir(fakes_.dir.path()).mkdir("mix");
        for (int i = 1; i <= 5; ++i)
            OpenTone(qPrintable(QString("mix/%1.wav").arg(i)), 44100, 0, 4410);
        window_->CloseAllWaves();
        const QString ini = fakes_.dir.filePath("CreateMix.ini");
        WriteFile(ini, "[INFO]\r\nFILEPATH=" + QFile::encodeName(fakes_.dir.filePath("mix/")) +
                           "\r\nTOTAL=2\r\n");
        Run("actionMixGenerator", [&](Controls c) {
            QCOMPARE(c.Edit("descriptionEdit")->text(), ini);
            c.Edit("beforeEdit")->setText("0");
            Click(c.Button("okButton"));
        });
        QCOMPARE(window_->Waves().names[0], std::string("Created mix wave"));
        QCOMPARE(window_->Waves().sampleCounts[0], 6u * 44100);  // (int)(2 x 2 + 0 + 2 + 0.1) s
    }

    void filtersKeepTheirBoundsAndCheckThem() {
        OpenTone("ramp.wav", 22050, 0, 3000);
        const auto bounds = [&](const char* action, const char* low, const char* high) {
            QStringList shown;
            Run(action, [&](Controls c) {
                shown << c.Edit("lowEdit")->text() << c.Edit("highEdit")->text();
                c.Edit("lowEdit")->setText(QString::fromLatin1(low));
                c.Edit("highEdit")->setText(QString::fromLatin1(high));
                Click(c.Button("okButton"));
            });
            return shown;
        };
        QCOMPARE(bounds("actionTimeDomainFilter", "0", "200"), (QStringList{"0", "0"}));
        const WaveSet& set = window_->Waves();
        QCOMPARE(Pcm16At(set.samples[0].data(), 250), int16_t{0});  // 251 > 200
        QCOMPARE(bounds("actionTimeDomainFilter", "abc", "32769"), (QStringList{"0", "200"}));
        QCOMPARE(Messages(), QStringList{"Invalid parameter is founed!"});
        // The band-stop's limit is half the file's rate.
        QCOMPARE(bounds("actionFrequencyDomainFilter", "0", "11026"), (QStringList{"0", "0"}));
        QCOMPARE(Messages().last(), QStringLiteral("Invalid parameter is found!"));
        QCOMPARE(bounds("actionFrequencyDomainFilter", "1000", "11025"), (QStringList{"0", "0"}));
        QCOMPARE(set.names[0], std::string("Edited wave"));
    }

    void averagedSpectrumDrawsSavesAndReports() {
        OpenTone("tone.wav", 44100, 1000, 44100);
        OpenTone("tone2.wav", 44100, 3000, 44100);
        window_->findChild<QAction*>("actionFindMaxEnergyHz")->trigger();
        QCOMPARE(Messages(), QStringList{"The frequency of max averaged energy is 990 Hz."});
        const QString png = fakes_.dir.filePath("plot.png"), csv = fakes_.dir.filePath("plot.csv");
        Run("actionAveragedSpectrum", [&](Controls c) {
            auto* dialog = qobject_cast<const CAvgSpectrum*>(c.window);
            QVERIFY(dialog != nullptr);
            QCOMPARE(c.window->windowTitle(), QStringLiteral("平均スペクトル"));
            const auto& bins = dialog->Spectra().at(1).bins;
            QCOMPARE(std::max_element(bins.begin(), bins.end()) - bins.begin(), 139);  // 2993 Hz
            QVERIFY(dialog->SavePng(png) && dialog->SaveCsv(csv));
            Click(c.Button("powerButton"));
        });
        QCOMPARE(Messages().size(), 3);
        QVERIFY(Messages().at(1).startsWith("Amplication dB of file 0 is "));
        // Blue for the first file, red for the second.
        const QImage image(png);
        QVERIFY(CountPixels(image, QColor(0, 0, 255)) > 100);
        QVERIFY(CountPixels(image, QColor(255, 0, 0)) > 100);
        QFile table(csv);
        QVERIFY(table.open(QIODevice::ReadOnly));
        QCOMPARE(table.readLine(), QByteArray("bin,hz,tone.wav,tone2.wav\n"));
    }

    void divisionListenAlternatesTheEarsOnTheDevice() {
        OpenTone("ramp.wav", 22050, 0, 10000);
        Run("actionDivisionListen", [&](Controls c) {
            QCOMPARE(c.window->windowTitle(), QStringLiteral("分離聴"));
            QCOMPARE(c.Edit("periodEdit")->text(), QStringLiteral("200.000000"));
            QCOMPARE(c.Get<QLabel>("periodText")->text(), QStringLiteral("200.000ms"));
            Click(c.Button("playButton"));
            QVERIFY(!c.Button("playButton")->isEnabled() && !c.Button("endButton")->isEnabled());
            clock_.AdvanceMs(10000 * 1000 / 22050 + 5);
            output_.Pump();
            QTRY_VERIFY(c.Button("playButton")->isEnabled());
            // Changed but not kept: End puts the kept values back.
            c.Edit("periodEdit")->setText(QStringLiteral("50"));
            Click(c.Button("endButton"));
        });
        const auto heard = output_.Heard();
        QCOMPARE(heard.size(), std::size_t{1});
        const audio::HeardSegment& segment = heard[0];
        QCOMPARE(segment.channels, uint16_t{2});
        QCOMPARE(segment.Frames(), std::size_t{10000});
        for (std::size_t i = 0; i < segment.Frames(); ++i) {
            const int v = static_cast<int>(i % 300 + 1);
            const bool whole = i < 8820, left = i % 4410 < 2205;
            QCOMPARE(segment.Sample(i, 0), whole && !left ? 0 : v);
            QCOMPARE(segment.Sample(i, 1), whole && left ? 0 : v);
        }
        QCOMPARE(window_->Waves().processParameters.divisionPeriodMs, 200.0f);
        // Kept with 保存, the next opening shows the new values.
        Run("actionDivisionListen", [](Controls c) {
            c.Edit("dutyEdit")->setText(QStringLiteral("0.25"));
            Click(c.Button("keepButton"));
            Click(c.Button("endButton"));
        });
        QCOMPARE(window_->Waves().processParameters.divisionDutyCycle, 0.25f);
    }
};

QTEST_MAIN(SignalWindowTest)
#include "SignalWindowTest.moc"
