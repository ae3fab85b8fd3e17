// Process → Duty cycle and Amplify in the main window: their dialogs and the
// edits they reach. The edits' arithmetic is the core's, tested there.

#include <QAction>
#include <QLabel>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/DutyCycle.h"
#include "core/util/Clock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class DutyAmplifyTest : public QObject {
    Q_OBJECT

  private slots:
    void menuCommandsReachTheEdits() {
        WindowFakes fakes;
        FakeClock clock;
        CKestruneDlg window(fakes.Services(clock));
        WaveSet& set = window.Waves();  // one 16-bit wave of 3000 samples
        std::tie(set.waveCount, set.sampleCounts[0], set.names[0]) = std::tuple(1, 3000, "a.wav");
        set.samples[0].resize(6000);
        for (int i = 0; i < 6000; ++i) set.samples[0][i] = uint8_t(i * 37 + i / 7);
        WaveSet expected = set;
        // Runs a command whose dialog `answer` fills and closes; the set must then be `expected`.
        auto run = [&](const char* action, std::function<void(const Controls&)> answer) {
            OnNextModal([=](QWidget* dialog) { answer(Controls{dialog}); });
            Controls{&window}.Get<QAction>(action)->trigger();
            QVERIFY(std::tie(set.samples[0], set.names[0], set.processParameters) ==
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
            QCOMPARE(QStringList({c.Edit("periodEdit")->text(), c.Edit("dutyEdit")->text(),
                                  c.Combo("periodTypeList")->currentText(),
                                  c.Edit("speedEdit")->text()}),
                     QStringList({"0.000000", "1.000000", "Left", "1.000000"}));
            QCOMPARE(legend(), std::tuple(-1, 0, QString()));
            fakes.timers.AdvanceMs(100);  // first drawn 100 ms after opening
            QCOMPARE(legend(), std::tuple(0, 120, QStringLiteral("0.000ms")));
            // Focus leaves each edit after typing: duty and period are kept in range. Focus
            // moves only in the active window, which a loaded machine may make late.
            QVERIFY(QTest::qWaitForWindowActive(c.Edit("dutyEdit")->window()));
            const std::tuple<const char*, QString, QString> typed[] = {
                {"dutyEdit", "1.5", "1.000000"},  {"dutyEdit", "-2", "0.000000"},
                {"periodEdit", "-3", "0.000000"}, {"periodEdit", "12.5", "12.5"},
                {"dutyEdit", "0.25x", "0.25x"},   {"speedEdit", "abc", "abc"}};
            for (const auto& [edit, text, shown] : typed) {
                Type(c.Edit(edit), text);
                QTest::keyClick(c.Edit(edit), Qt::Key_Tab);
                QCOMPARE(c.Edit(edit)->text(), shown);
            }
            Choose(c.Combo("periodTypeList"), 1);
            QCOMPARE(legend(), std::tuple(44, 32, QStringLiteral("12.500ms")));  // in the middle
            Click(c.Button("okButton"));
        });

        // Then the dialogs show what they were last given; Cancel changes nothing.
        auto answer = [](const char* field, QString shown, QString typed, const char* button) {
            return [=](const Controls& c) {
                QCOMPARE(c.window->windowTitle(),
                         QString(field[0] == 'a' ? "音声を増幅する" : "パラメタを設定"));
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
        run("actionAmplify", answer("amplificationEdit", "3.000000", "abc", "okButton"));
    }
};

QTEST_MAIN(DutyAmplifyTest)
#include "DutyAmplifyTest.moc"
