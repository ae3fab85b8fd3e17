// The Add noise and Audio mixer dialogs, and the window's Process commands
// that run them.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>

#include "AppTestSupport.h"
#include "app/AddNoise.h"
#include "app/KestruneDlg.h"
#include "app/Mixer.h"
#include "app/StartupOptions.h"
#include "app/Timers.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

/** Clicks a radio button on its indicator, the part that takes clicks. */
void ClickRadio(QRadioButton* radio) {
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
}

}  // namespace

class NoiseMixerTest : public QObject {
    Q_OBJECT

  private slots:
    void addNoiseDialog_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("amplitude");
        QTest::newRow("decimal") << "0.3" << 0.3f;
        QTest::newRow("trailing text") << " 0.5x" << 0.5f;
        QTest::newRow("negative") << "-1" << -1.0f;
        QTest::newRow("no number") << "abc" << 0.0f;
    }
    void addNoiseDialog() {
        QFETCH(QString, typed);
        QFETCH(float, amplitude);
        CAddNoise dialog(0.25f);
        const Controls c{&dialog};
        QCOMPARE(dialog.windowTitle(), QStringLiteral("雑音を加える"));
        QCOMPARE(c.Edit("amplitudeEdit")->text(), QStringLiteral("0.250000"));
        QCOMPARE(c.Combo("noiseTypeList")->count(), 1);
        QCOMPARE(c.Combo("noiseTypeList")->currentText(), QStringLiteral("Gauss"));
        c.Edit("amplitudeEdit")->setText(typed);
        QCOMPARE(dialog.Amplitude(), amplitude);
    }

    void mixerDialog() {
        FakePrompter prompter;
        CMixer dialog({"a.wav", "b.wav"}, prompter);
        QVERIFY(Show(&dialog));
        const Controls c{&dialog};
        auto* weights = c.Get<QListWidget>("weightList");
        auto* names = c.Get<QListWidget>("nameList");
        auto* normalization = c.Get<QCheckBox>("normalizationCheck");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("音声を混合する"));
        QCOMPARE(names->item(1)->text(), QStringLiteral("b.wav"));
        QCOMPARE(weights->item(0)->text(), QStringLiteral("1.000000"));
        QVERIFY(c.Get<QRadioButton>("addRadio")->isChecked());
        QVERIFY(normalization->isEnabled() && !c.Get<QLabel>("mixNote")->isEnabled());
        ClickRadio(c.Get<QRadioButton>("mixRadio"));
        QVERIFY(!normalization->isEnabled() && c.Get<QLabel>("mixNote")->isEnabled());
        QCOMPARE(dialog.Mode(), edits::MixMode::Mix);
        ClickRadio(c.Get<QRadioButton>("addRadio"));

        // Double-click a weight, type, leave the edit: the row takes the value.
        for (const auto& [row, typed, shown] :
             {std::tuple{0, "0.3", "0.300000"}, std::tuple{1, "abc", "0.000000"}}) {
            const QPoint at = weights->visualItemRect(weights->item(row)).center();
            QTest::mouseClick(weights->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(weights->viewport(), Qt::LeftButton, {}, at);
            QVERIFY(c.Edit("weightEdit")->isVisible());
            QCOMPARE(names->currentRow(), row);
            c.Edit("weightEdit")->setText(typed);
            names->setFocus();
            QTRY_VERIFY(!c.Edit("weightEdit")->isVisible());
            QCOMPARE(weights->item(row)->text(), QString::fromLatin1(shown));
        }
        QCOMPARE(dialog.Weights(), (std::vector<double>{0.3, 0.0}));

        // Normalised weights must reach 0.999; the dialog then stays open.
        normalization->setChecked(true);
        Click(c.Button("okButton"));
        QCOMPARE(prompter.MessageTexts(), QStringList{"The sum of weights must be 1.0!"});
        QVERIFY(dialog.isVisible());
        Click(c.Button("cancelButton"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void menuCommandsReachTheEdits() {
        QTemporaryDir dir;
        FakePrompter prompter;
        FakeFiles files;
        FakeColors colors;
        FakeOpener opener;
        FakeClock clock(1700000000);
        ManualTimers timers;
        CrtRandom random;
        CKestruneDlg window({prompter, files, colors, opener, clock, random, nullptr, nullptr,
                             nullptr, nullptr, &timers});
        StartupOptions options;
        options.stationDir = dir.path();
        options.workspace = true;
        window.Start(options);
        const std::vector<uint8_t> bytes(400, 0);
        QStringList paths;
        for (const char* name : {"a.wav", "b.wav"}) {
            paths << dir.filePath(name);
            QVERIFY(WriteWaveFile(QFile::encodeName(paths.back()).toStdString(),
                                  PcmFormat(1, 22050, 16), bytes.data(), 200));
        }
        window.OpenWaveFiles({paths[0]});
        WaveSet& set = window.Waves();
        const auto answer = [](const char* edit, const QString& text, const char* button) {
            OnNextModal([=](QWidget* dialog) {
                if (edit != nullptr) Controls{dialog}.Edit(edit)->setText(text);
                Click(Controls{dialog}.Button(button));
            });
        };

        answer("amplitudeEdit", "0.1", "okButton");
        window.findChild<QAction*>("actionAddNoise")->trigger();
        QCOMPARE(set.names[0], std::string("Edited wave"));
        QCOMPARE(set.processParameters.noiseAmplitude, 0.1f);
        const std::vector<uint8_t> noisy = set.samples[0];
        QVERIFY(noisy != bytes);

        QString offered;
        OnNextModal([&](QWidget* dialog) {
            offered = Controls{dialog}.Edit("amplitudeEdit")->text();
            Click(Controls{dialog}.Button("cancelButton"));
        });
        window.findChild<QAction*>("actionAddNoise")->trigger();
        QCOMPARE(offered, QStringLiteral("0.100000"));
        QCOMPARE(set.samples[0], noisy);

        window.findChild<QAction*>("actionAudioMixer")->trigger();
        QCOMPARE(prompter.MessageTexts(), QStringList{"More than 1 wave files are needed!"});
        window.OpenWaveFiles({paths[1]});
        answer(nullptr, {}, "okButton");
        window.findChild<QAction*>("actionAudioMixer")->trigger();
        QCOMPARE(set.waveCount, 1);
        QCOMPARE(set.names[0], std::string("Mixed wave"));
    }
};

QTEST_MAIN(NoiseMixerTest)
#include "NoiseMixerTest.moc"
