// StepRunner on the real event loop with short waits: order and waits of the
// steps, events handled between them, cancelling (from outside, from a step,
// by destroying the runner) and sequences that grow or are replaced while
// they run.

#include <QElapsedTimer>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

#include "app/StepRunner.h"

using namespace kestrune;
using namespace kestrune::app;

namespace {

/** Counts its paint events. */
class PaintCounter final : public QWidget {
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

/** Notes which steps ran, in order, and when. */
struct Log {
    QElapsedTimer clock;
    QStringList labels;
    std::vector<qint64> atNs;

    std::function<void()> Note(const QString& label) {
        return [this, label] {
            labels << label;
            atNs.push_back(clock.nsecsElapsed());
        };
    }
};

}  // namespace

class StepRunnerTest : public QObject {
    Q_OBJECT

  private slots:
    void runsStepsInOrderAfterTheirWaits() {
        Log log;
        StepRunner runner;
        QSignalSpy finished(&runner, &StepRunner::finished);
        const std::vector<std::uint64_t> waits = {0, 30, 10, 25, 0};
        StepSequence sequence;
        for (std::size_t i = 0; i < waits.size(); ++i) {
            const QString label = QStringLiteral("s%1").arg(i);
            sequence.Then(waits[i], label.toStdString(), log.Note(label));
        }
        log.clock.start();
        runner.Start(std::move(sequence));
        // Even a step without a wait runs from the event loop, not inside Start.
        QVERIFY(log.labels.isEmpty());
        QVERIFY(runner.Running());
        QVERIFY(finished.wait(5000));
        QCOMPARE(log.labels, QStringList({"s0", "s1", "s2", "s3", "s4"}));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!runner.Running());
        // Each wait counts from the previous step; allow the timer 1 ms of rounding.
        qint64 previous = 0;
        for (std::size_t i = 0; i < waits.size(); ++i) {
            const qint64 gapMs = (log.atNs[i] - previous) / 1000000;
            QVERIFY2(gapMs + 1 >= static_cast<qint64>(waits[i]),
                     qPrintable(QStringLiteral("step %1 after %2 ms").arg(i).arg(gapMs)));
            previous = log.atNs[i];
        }
        QVERIFY(log.atNs.back() / 1000000 + 1 >= 65);
    }

    void windowsPaintBetweenSteps() {
        PaintCounter widget;
        widget.resize(50, 50);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QTRY_VERIFY(widget.paints > 0);
        int before = 0, during = -1;
        StepRunner runner;
        QSignalSpy finished(&runner, &StepRunner::finished);
        StepSequence sequence;
        sequence
            .Do("ask for a repaint",
                [&] {
                    before = widget.paints;
                    widget.update();
                })
            .Then(20, "look", [&] { during = widget.paints; });
        runner.Start(std::move(sequence));
        QVERIFY(finished.wait(5000));
        QVERIFY2(during > before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(during)));
    }

    void cancelDropsTheStepsLeft() {
        Log log;
        log.clock.start();
        StepRunner runner;
        QSignalSpy finished(&runner, &StepRunner::finished);
        StepSequence sequence;
        sequence.Then(5, "a", log.Note("a")).Then(150, "b", log.Note("b")).Do("c", log.Note("c"));
        runner.Start(std::move(sequence));
        QTRY_COMPARE(log.labels, QStringList{"a"});
        runner.Cancel();
        QVERIFY(!runner.Running());
        QTest::qWait(250);
        QCOMPARE(log.labels, QStringList{"a"});
        QCOMPARE(finished.size(), 0);

        // A step may cancel the runner itself (the subject answered).
        log.labels.clear();
        StepSequence answered;
        answered.Do("a", log.Note("a"))
            .Then(5, "answer",
                  [&] {
                      log.labels << "answer";
                      runner.Cancel();
                  })
            .Then(5, "c", log.Note("c"));
        runner.Start(std::move(answered));
        QTRY_COMPARE(log.labels, QStringList({"a", "answer"}));
        QTest::qWait(50);
        QCOMPARE(log.labels, QStringList({"a", "answer"}));
        QCOMPARE(finished.size(), 0);
    }

    void destroyingTheRunnerDropsItsSteps() {
        Log log;
        log.clock.start();
        auto runner = std::make_unique<StepRunner>();
        StepSequence sequence;
        sequence.Then(10, "late", log.Note("late"));
        runner->Start(std::move(sequence));
        runner.reset();
        QTest::qWait(60);
        QVERIFY(log.labels.isEmpty());

        // A step that closes its dialog destroys the runner running it.
        runner = std::make_unique<StepRunner>();
        const QPointer<StepRunner> watched(runner.get());
        StepSequence closing;
        closing
            .Do("close",
                [&] {
                    log.labels << "close";
                    runner.reset();
                })
            .Do("after", log.Note("after"));
        watched->Start(std::move(closing));
        QTRY_VERIFY(watched.isNull());
        QTest::qWait(30);
        QCOMPARE(log.labels, QStringList{"close"});
    }

    void sequencesGrowAndAreReplaced() {
        Log log;
        log.clock.start();
        StepRunner runner;
        QSignalSpy finished(&runner, &StepRunner::finished);

        // Started again before its first step, only the new sequence runs.
        StepSequence first;
        first.Then(20, "old", log.Note("old"));
        runner.Start(std::move(first));
        StepSequence second;
        second.Do("new", log.Note("new")).Then(5, "grow", [&] {
            log.labels << "grow";
            runner.Sequence().Then(5, "appended", log.Note("appended"));
        });
        runner.Start(std::move(second));
        QVERIFY(finished.wait(5000));
        QCOMPARE(log.labels, QStringList({"new", "grow", "appended"}));
        QTest::qWait(40);
        QCOMPARE(log.labels, QStringList({"new", "grow", "appended"}));

        // A step that starts the next sequence: the rest of its own is dropped.
        log.labels.clear();
        StepSequence chained;
        chained
            .Do("next",
                [&] {
                    StepSequence next;
                    next.Then(5, "n1", log.Note("n1")).Then(5, "n2", log.Note("n2"));
                    runner.Start(std::move(next));
                })
            .Do("dropped", log.Note("dropped"));
        runner.Start(std::move(chained));
        QTRY_COMPARE(log.labels, QStringList({"n1", "n2"}));
        QCOMPARE(finished.size(), 2);
        QTest::qWait(30);
        QCOMPARE(log.labels, QStringList({"n1", "n2"}));
    }
};

QTEST_MAIN(StepRunnerTest)
#include "StepRunnerTest.moc"
