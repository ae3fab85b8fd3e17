// Process → Duty cycle and Amplify in the main window: their dialogs and the
// edits they reach. The edits' arithmetic is the core's, tested there.

#include <QAction>
#include <QLabel>

#include "AppTestSupport.h"
#include "app/KestruneDlg.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/DutyCycle.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class DutyAmplifyTest : public QObject {
    Q_OBJECT

  private slots:
    void menuCommandsReachTheEdits() {
        QTemporaryDir dir;
        FakePrompter prompter;
        FakeFiles files;
        FakeColors colors;
        FakeOpener opener;
        FakeClock clock;
        CrtRandom random;
        ManualTimers timers;
        CKestruneDlg window(
            {prompter, files, colors, opener, clock, random, {}, {}, {}, {}, &timers});
        std::vector<uint8_t> bytes(6000);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 37 + i / 7);
        const QString path = dir.filePath("a.wav");
        QVERIFY(WriteWaveFile(path.toStdString(), PcmFormat(1, 22050, 16), bytes.data(), 3000));
        window.OpenWaveFiles({path});
        WaveSet expected = window.Waves();
        // Runs a command whose dialog `answer` fills and closes; the set must then be `expected`.
        auto run = [&](const char* action, std::function<void(const Controls&)> answer) {
            OnNextModal([=](QWidget* dialog) { answer(Controls{dialog}); });
            Controls{&window}.Get<QAction>(action)->trigger();
            const WaveSet& now = window.Waves();
            QVERIFY(std::tie(now.samples[0], now.names[0], now.processParameters) ==
                    std::tie(expected.samples[0], expected.names[0], expected.processParameters));
        };

        edits::DutyCycle(expected, {12.5f, 0.25f, 1, 0});
        run("actionDutyCycle", [&](const Controls& c) {
            auto legend = [&] {  // the first column where the pattern is up, how many are
                const QImage image = c.Get<QWidget>("legend")->grab().toImage();
                int first = -1, up = 0;
                for (int x = image.width() - 1; x >= 0; --x)
                    if (image.pixelColor(x, 8) == Qt::yellow) first = x, ++up;
                return std::tuple(first, up, c.Get<QLabel>("periodText")->text());
            };
            QCOMPARE(
                QStringList({c.window->windowTitle(), c.Edit("periodEdit")->text(),
                             c.Edit("dutyEdit")->text(), c.Combo("periodTypeList")->currentText(),
                             c.Edit("speedEdit")->text()}),
                QStringList({"パラメタを設定", "0.000000", "1.000000", "Left", "1.000000"}));
            QCOMPARE(legend(), std::tuple(-1, 0, QString()));
            timers.AdvanceMs(100);  // first drawn 100 ms after opening
            QCOMPARE(legend(), std::tuple(0, 120, QStringLiteral("0.000ms")));
            // Focus leaves each edit after typing: duty and period are kept in range.
            const std::tuple<const char*, QString, QString> typed[] = {
                {"dutyEdit", "1.5", "1.000000"},  {"dutyEdit", "-2", "0.000000"},
                {"periodEdit", "-3", "0.000000"}, {"periodEdit", "12.5", "12.5"},
                {"dutyEdit", "0.25x", "0.25x"},   {"speedEdit", "abc", "abc"}};
            for (const auto& [edit, text, shown] : typed) {
                Type(c.Edit(edit), text);
                QTest::keyClick(c.Edit(edit), Qt::Key_Tab);
                QCOMPARE(c.Edit(edit)->text(), shown);
            }
            QCOMPARE(legend(), std::tuple(0, 31, QStringLiteral("12.500ms")));  // a quarter
            Choose(c.Combo("periodTypeList"), 1);
            QCOMPARE(legend(), std::tuple(44, 32, QStringLiteral("12.500ms")));  // in the middle
            Click(c.Button("okButton"));
        });

        // Then the dialogs show what they were last given; Cancel changes nothing.
        auto answer = [](const char* field, QString shown, QString typed, const char* button) {
            return [=](const Controls& c) {
                QCOMPARE(c.Edit(field)->text(), shown);
                Type(c.Edit(field), typed);
                Click(c.Button(button));
            };
        };
        run("actionDutyCycle", answer("periodEdit", "12.500000", "99", "cancelButton"));
        edits::Amplify(expected, 3);
        run("actionAmplify", answer("amplificationEdit", "1.000000", "3", "okButton"));
        run("actionAmplify", answer("amplificationEdit", "3.000000", "25", "cancelButton"));
        edits::Amplify(expected, 0);  // "abc" reads as 0
        run("actionAmplify", [&](const Controls& c) {
            QCOMPARE(c.window->windowTitle(), QStringLiteral("音声を増幅する"));
            answer("amplificationEdit", "3.000000", "abc", "okButton")(c);
        });
    }
};

QTEST_MAIN(DutyAmplifyTest)
#include "DutyAmplifyTest.moc"
