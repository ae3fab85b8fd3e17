// StepRunner on manual timers: nothing runs until the test moves the time,
// so a runner that ran steps inside Start or slept would fail.

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

#include "app/StepRunner.h"
#include "app/Timers.h"

using namespace kestrune;
using namespace kestrune::app;

class StepRunnerTest : public QObject {
    Q_OBJECT

    ManualTimers timers_;
    QStringList labels_;
    std::vector<std::uint64_t> atMs_;

    /** Notes the step's label and the time it ran at. */
    std::function<void()> Note(const QString& label) {
        return [this, label] {
            labels_ << label;
            atMs_.push_back(timers_.NowMs());
        };
    }

  private slots:
    void init() {
        labels_.clear();
        atMs_.clear();
    }

    void runsStepsInOrderAfterTheirWaits() {
        StepRunner runner(nullptr, &timers_);
        QSignalSpy finished(&runner, &StepRunner::finished);
        const std::uint64_t start = timers_.NowMs();
        StepSequence sequence;
        for (const std::uint64_t wait : {0, 30, 10, 25, 0})
            sequence.Then(wait, "s", Note(QStringLiteral("s%1").arg(sequence.Steps().size())));
        runner.Start(std::move(sequence));
        // Even a step without a wait runs from its timer, not inside Start.
        QVERIFY(labels_.isEmpty());
        QVERIFY(runner.Running());
        timers_.AdvanceMs(29);
        QCOMPARE(labels_, QStringList{"s0"});
        timers_.AdvanceMs(100);
        QCOMPARE(labels_, QStringList({"s0", "s1", "s2", "s3", "s4"}));
        // Each wait counts from the previous step.
        for (std::uint64_t& at : atMs_) at -= start;
        QCOMPARE(atMs_, (std::vector<std::uint64_t>{0, 30, 40, 65, 65}));
        QCOMPARE(finished.size(), 1);
        QVERIFY(!runner.Running());
        QVERIFY(!timers_.NextDueMs());
    }

    // Cancelled from outside or from a step (the subject answered), or
    // destroyed from outside or from a step (its dialog closed): the steps
    // left never run, no timer stays due and nothing says finished.
    void stoppingDropsTheStepsLeft() {
        for (const bool destroy : {false, true}) {
            for (const bool fromAStep : {false, true}) {
                labels_.clear();
                auto runner = std::make_unique<StepRunner>(nullptr, &timers_);
                const QPointer<StepRunner> watched(runner.get());
                QSignalSpy finished(runner.get(), &StepRunner::finished);
                const auto stop = [&] { destroy ? runner.reset() : runner->Cancel(); };
                StepSequence sequence;
                sequence.Then(5, "a", Note("a"))
                    .Then(150, "b",
                          [&] {
                              labels_ << "b";
                              if (fromAStep) stop();
                          })
                    .Then(5, "c", Note("c"));
                runner->Start(std::move(sequence));
                timers_.AdvanceMs(5);
                QCOMPARE(labels_, QStringList{"a"});
                if (!fromAStep) stop();
                QVERIFY(fromAStep || !timers_.NextDueMs());  // stopped at once
                timers_.AdvanceMs(1000);
                QCOMPARE(labels_, fromAStep ? QStringList({"a", "b"}) : QStringList{"a"});
                QCOMPARE(watched.isNull(), destroy);
                QVERIFY(destroy || !runner->Running());
                QVERIFY(!timers_.NextDueMs());
                QCOMPARE(finished.size(), 0);
            }
        }
    }

    void sequencesGrowAndAreReplaced() {
        StepRunner runner(nullptr, &timers_);
        QSignalSpy finished(&runner, &StepRunner::finished);

        // Started again before its first step, only the new sequence runs.
        StepSequence first;
        first.Then(20, "old", Note("old"));
        runner.Start(std::move(first));
        StepSequence second;
        second.Do("new", Note("new")).Then(5, "grow", [&] {
            labels_ << "grow";
            runner.Sequence().Then(5, "appended", Note("appended"));
        });
        runner.Start(std::move(second));
        timers_.AdvanceMs(1000);
        QCOMPARE(labels_, QStringList({"new", "grow", "appended"}));
        QCOMPARE(finished.size(), 1);

        // A step that starts the next sequence: the rest of its own is dropped.
        labels_.clear();
        StepSequence chained;
        chained
            .Do("next",
                [&] {
                    StepSequence next;
                    next.Then(5, "n1", Note("n1")).Then(5, "n2", Note("n2"));
                    runner.Start(std::move(next));
                })
            .Do("dropped", Note("dropped"));
        runner.Start(std::move(chained));
        timers_.AdvanceMs(1000);
        QCOMPARE(labels_, QStringList({"n1", "n2"}));
        QCOMPARE(finished.size(), 2);
    }

    // The source's own time: nested advances from a modal loop, free running.
    void manualTimersRunInOrderAndFreely() {
        std::unique_ptr<OneShot> late, early, nested;
        late = timers_.Make(Note("late"));
        early = timers_.Make([&] {
            Note("early")();
            nested->Start(0);
            timers_.AdvanceMs(50);  // as a modal loop inside the action would
        });
        nested = timers_.Make(Note("nested"));
        const std::uint64_t start = timers_.NowMs();
        late->Start(40);
        early->Start(10);
        timers_.AdvanceMs(20);
        QCOMPARE(labels_, QStringList({"early", "nested", "late"}));
        QCOMPARE(timers_.NowMs(), start + 60);

        labels_.clear();
        timers_.SetRunFreely(true);
        late->Start(20000);
        early = timers_.Make(Note("early"));
        early->Start(5);
        QVERIFY(labels_.isEmpty());  // from the event loop, never inside Start
        QTRY_COMPARE(labels_, QStringList({"early", "late"}));
        timers_.SetRunFreely(false);
    }
};

QTEST_MAIN(StepRunnerTest)
#include "StepRunnerTest.moc"
