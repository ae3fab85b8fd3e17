// The Add noise and Audio mixer dialogs, run from the Process menu.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "app/StartupOptions.h"
#include "core/util/Clock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class NoiseMixerTest : public QObject {
    Q_OBJECT

    WindowFakes fakes_;
    FakeClock clock_{1700000000};
    const std::vector<uint8_t> silence_ = std::vector<uint8_t>(400, 0);

    /** A workspace with `waves` silent 16-bit waves open. */
    std::unique_ptr<CKestruneDlg> Workspace(int waves) {
        auto window = std::make_unique<CKestruneDlg>(fakes_.Services(clock_));
        StartupOptions options;
        options.stationDir = fakes_.dir.path();
        options.workspace = true;
        window->Start(options);
        const QString path = fakes_.dir.filePath("a.wav");
        WriteWaveFile(path.toStdString(), PcmFormat(1, 22050, 16), silence_.data(), 200);
        for (int i = 0; i < waves; ++i) window->OpenWaveFiles({path});
        return window;
    }
    /** Runs the menu command with `body` acting on its dialog. */
    void Run(CKestruneDlg& window, const char* action, std::function<void(Controls)> body) {
        OnNextModal([body](QWidget* dialog) { body(Controls{dialog}); });
        window.findChild<QAction*>(action)->trigger();
    }

  private slots:
    void addNoise() {
        const auto window = Workspace(1);
        const WaveSet& set = window->Waves();
        const auto answer = [](const QString& typed, const char* button, QStringList* shown) {
            return [=](Controls c) {
                *shown = {c.window->windowTitle(), c.Edit("amplitudeEdit")->text(),
                          c.Combo("noiseTypeList")->currentText()};
                c.Edit("amplitudeEdit")->setText(typed);
                Click(c.Button(button));
            };
        };
        QStringList shown;
        Run(*window, "actionAddNoise", answer("abc", "okButton", &shown));  // no number: 0
        QCOMPARE(shown, (QStringList{"雑音を加える", "0.000000", "Gauss"}));
        QCOMPARE(set.samples[0], silence_);
        Run(*window, "actionAddNoise", answer("0.1", "okButton", &shown));
        QCOMPARE(set.names[0], std::string("Edited wave"));
        const std::vector<uint8_t> noisy = set.samples[0];
        QVERIFY(noisy != silence_);
        Run(*window, "actionAddNoise", answer("0.9", "cancelButton", &shown));
        QCOMPARE(shown.at(1), QStringLiteral("0.100000"));  // remembered
        QCOMPARE(set.samples[0], noisy);                    // Cancel keeps wave and amplitude
        QCOMPARE(set.processParameters.noiseAmplitude, 0.1f);
    }

    void audioMixer() {
        const auto window = Workspace(2);
        Run(*window, "actionAudioMixer", [this](Controls c) {
            auto* weights = c.Get<QListWidget>("weightList");
            auto* normalization = c.Get<QCheckBox>("normalizationCheck");
            QCOMPARE(c.window->windowTitle(), QStringLiteral("音声を混合する"));
            QCOMPARE(c.Get<QListWidget>("nameList")->item(1)->text(), QStringLiteral("a.wav"));
            QVERIFY(c.Get<QRadioButton>("addRadio")->isChecked() && normalization->isEnabled());
            auto* mix = c.Get<QRadioButton>("mixRadio");  // clicked on its indicator
            QTest::mouseClick(mix, Qt::LeftButton, {}, QPoint(6, mix->height() / 2));
            QVERIFY(!normalization->isEnabled() && c.Get<QLabel>("mixNote")->isEnabled());
            c.Get<QRadioButton>("addRadio")->setChecked(true);
            // Double-click a weight, type, leave the edit: the row takes the value. Focus
            // moves only in the active window, which a loaded machine may make late.
            QVERIFY(QTest::qWaitForWindowActive(weights->window()));
            for (const auto& [row, typed] : {std::pair{0, "0.3"}, {1, "abc"}}) {
                const QPoint at = weights->visualItemRect(weights->item(row)).center();
                QTest::mouseClick(weights->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(weights->viewport(), Qt::LeftButton, {}, at);
                c.Edit("weightEdit")->setText(QString::fromLatin1(typed));
                weights->setFocus();
                QTRY_VERIFY(!c.Edit("weightEdit")->isVisible());
            }
            QCOMPARE(weights->item(0)->text() + weights->item(1)->text(), "0.3000000.000000");
            normalization->setChecked(true);  // 0.3 is short of 1: the dialog stays
            Click(c.Button("okButton"));
            QCOMPARE(fakes_.prompter.MessageTexts(),
                     QStringList{"The sum of weights must be 1.0!"});
            QVERIFY(c.window->isVisible());
        });
        QCOMPARE(window->Waves().waveCount, 2);  // closed without OK: nothing mixed
        Run(*window, "actionAudioMixer", [](Controls c) { Click(c.Button("okButton")); });
        QCOMPARE(window->Waves().waveCount, 1);
        QCOMPARE(window->Waves().names[0], std::string("Mixed wave"));
    }
};

QTEST_MAIN(NoiseMixerTest)
#include "NoiseMixerTest.moc"
