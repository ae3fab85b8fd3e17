// The listening tests' shared windows: directions, text entry, volume and
// result. The speaker is the audio tests' fake ALSA mixer ("Master" 0 ... 87).

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>

#include "AppTestSupport.h"
#include "app/Fonts.h"
#include "app/Timers.h"
#include "app/Volume.h"
#include "app/battery/Directions.h"
#include "app/battery/InputDlg.h"
#include "app/battery/Output.h"
#include "audio/MixerControl.h"
#include "audio/MixerTestSupport.h"
#include "core/util/Clock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

const QString kQuitTest =
    QStringLiteral("The test is not finished yet, and really want to quit the test?");

void ExpectFont(const QWidget* widget, const QString& face, int points) {
    QCOMPARE(widget->font().family(), InstalledFamilyFor(face));
    QCOMPARE(widget->font().pointSize(), points);
}

int CardValue() {
    audio::CMixerControl reader;
    reader.Open();
    return reader.Value();
}

}  // namespace

class BatteryDialogsTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<CInputDlg> input_;
    std::unique_ptr<CVolume> volume_;

    /** A text entry on a fresh station, shown, and its controls. */
    Controls ShowInput() {
        station_ = std::make_unique<Station>();
        clock_ = std::make_unique<FakeClock>(1'700'000'000);
        input_ = std::make_unique<CInputDlg>(station_->Db(), *clock_, *prompter_);
        input_->show();
        return Controls{input_.get()};
    }
    QSlider* Slider() { return Controls{volume_.get()}.Get<QSlider>("volumeSlider"); }
    QString VolumeText() { return Controls{volume_.get()}.Get<QLabel>("volumeText")->text(); }
    QPushButton* VolumeEnd() { return Controls{volume_.get()}.Button("endButton"); }
    void OpenVolume(int percent) {
        volume_ = std::make_unique<CVolume>();
        volume_->SetVolume(percent);
        QVERIFY(Show(volume_.get()));
    }

    std::unique_ptr<CDirections> Directions(int number, CDirections::Use use, int volume = 60) {
        auto dialog = std::make_unique<CDirections>(number, use, *prompter_, dir_.path());
        dialog->SetVolume(volume);
        if (!Show(dialog.get())) qFatal("directions not exposed");
        return dialog;
    }

  private slots:
    void init() {
        prompter_ = std::make_unique<FakePrompter>();
        audio::testing::UseAlsaConfig(dir_.path().toStdString(),
                                      "Master Playback Volume|PCM Playback Volume", 87);
    }
    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        input_.reset();
        volume_.reset();
        QFile::remove(dir_.filePath(QStringLiteral("headphone.jpg")));
    }

    // --- Directions ---------------------------------------------------------

    // Each listening test has directions of its own, naming what it plays;
    // any other number has none.
    void directionTextsFollowTheTestNumber() {
        const QStringList marks{"短文", "時刻", "カナ", "大きい音と小さい音", "母音", "一つの音声"};
        QStringList texts;
        for (int number = 2; number <= 7; ++number) {
            texts << DirectionText(number);
            QVERIFY2(texts.last().contains(marks[number - 2]), qPrintable(texts.last()));
            QCOMPARE(texts.indexOf(texts.last()), number - 2);
        }
        for (int number : {-1, 0, 1, 8, 9})
            QCOMPARE(DirectionText(number), QStringLiteral("Invalid test type!"));
        auto dialog = Directions(8, CDirections::Use::Modal);
        QCOMPARE(Controls{dialog.get()}.Get<QLabel>("directionText")->text(),
                 QStringLiteral("Invalid test type!"));
    }

    void showsItsTestsTextAndSetsTheSpeaker() {
        CDirections byDefault(2, CDirections::Use::Modal, *prompter_, dir_.path());
        QCOMPARE(byDefault.Volume(), 60);
        byDefault.show();
        QCOMPARE(CardValue(), 52);  // (int)(87 * 0.6)

        auto dialog = Directions(4, CDirections::Use::Modal, 40);
        const Controls ui{dialog.get()};
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        const auto* text = ui.Get<QLabel>("directionText");
        QCOMPARE(text->text(), DirectionText(4));
        for (const QWidget* widget : std::initializer_list<const QWidget*>{
                 text, ui.Button("nextButton"), ui.Button("backButton")})
            ExpectFont(widget, kRoundedFace, 18);
        QCOMPARE(CardValue(), 34);  // (int)(87 * 40 / 100)

        // Set once, when the dialog opens: showing it again leaves the speaker.
        audio::CMixerControl mixer;
        mixer.Open();
        mixer.SetValue(10, 10);
        dialog->hide();
        dialog->show();
        QCOMPARE(CardValue(), 10);
    }

    // Stretched over the whole frame inside its border, both ways; without
    // the file the frame stays empty and nothing is said.
    void drawsTheHeadphonePictureStretched() {
        auto without = Directions(6, CDirections::Use::Modal);
        without->repaint();
        QVERIFY(prompter_->messages.empty());
        QImage red(8, 4, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir_.filePath(QStringLiteral("headphone.jpg")), "JPG"));
        auto dialog = Directions(6, CDirections::Use::Modal);
        QCOMPARE(dialog->HeadphonePath(), dir_.filePath(QStringLiteral("headphone.jpg")));
        const QImage drawn = Controls{dialog.get()}.Get<QWidget>("pictureFrame")->grab().toImage();
        for (const QPoint p : {QPoint(3, 3), QPoint(drawn.width() - 4, drawn.height() - 4),
                               QPoint(drawn.width() / 2, drawn.height() / 2)}) {
            const QColor c = drawn.pixelColor(p);
            QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(c.name()));
        }
    }

    // Run modally "次へ　＞" ends the dialog and "＜　戻る" does nothing. (In
    // the session both hand over by their signals: the session tests walk them.)
    void nextAndBackWhenModal() {
        auto dialog = Directions(3, CDirections::Use::Modal);
        const Controls ui{dialog.get()};
        QSignalSpy back(dialog.get(), &CDirections::backRequested);
        Click(ui.Button("backButton"));
        QVERIFY(dialog->isVisible());
        Click(ui.Button("nextButton"));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(back.count(), 0);
        QVERIFY(prompter_->confirmations.isEmpty());
    }

    // Escape asks as the close box does (the session tests close it by its
    // box): Cancel keeps the dialog, OK ends the session.
    void escapeAsksAndEndsTheSessionOnOk() {
        auto dialog = Directions(6, CDirections::Use::Session);
        QSignalSpy end(dialog.get(), &CDirections::sessionEndRequested);
        prompter_->answers = {false, true};
        for (int ok = 0; ok < 2; ++ok) {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
            QCOMPARE(dialog->isVisible(), !ok);
            QCOMPARE(end.count(), ok);
        }
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(prompter_->confirmations, QStringList(2, kSessionEndQuestion));
    }

    // --- Text entry ---------------------------------------------------------

    // The rows are the core layout's; here the text passes through it whole.
    void instructionLinesAreTheCoreLayoutsRows() {
        const QString mixed = QStringLiteral("a") + QString(23, QChar(u'字'));
        QCOMPARE(InstructionTextLines(mixed),
                 QStringList({mixed.left(23), QString(1, QChar(u'字'))}));
    }

    void inputShowsThePromptAndKeepsTheConfirmedAnswer() {
        const Controls ui = ShowInput();
        input_->SetPrompt(
            QStringLiteral("聞こえた文をひらがなで入力してください。"
                           "分からないときは少しだけでも構いません。"));
        ExpectFont(ui.Edit("answerEdit"), kGothicFace, 15);
        QVERIFY(QTest::qWaitForWindowActive(input_.get()));
        QCOMPARE(QApplication::focusWidget(), ui.Edit("answerEdit"));
        // The prompt area is tall enough for its two lines.
        QVERIFY(ui.Get<QWidget>("promptArea")->height() >= 2 * kInstructionLinePitch);

        QCOMPARE(input_->Answer(), QString());
        Type(ui.Edit("answerEdit"), QStringLiteral("きょうははれ"));
        Click(ui.Button("confirmButton"));
        QCOMPARE(input_->result(), int(QDialog::Accepted));
        QCOMPARE(input_->Answer(), QStringLiteral("きょうははれ"));
    }

    void quitAsksFirst() {
        const Controls ui = ShowInput();
        Type(ui.Edit("answerEdit"), QStringLiteral("abc"));
        prompter_->answers = {false, true};
        Click(ui.Button("quitButton"));
        QVERIFY(input_->isVisible());
        Click(ui.Button("quitButton"));
        QVERIFY(!input_->isVisible());
        QCOMPARE(input_->result(), int(QDialog::Rejected));
        QCOMPARE(input_->Answer(), QString());  // dropped
        QCOMPARE(prompter_->confirmations, QStringList({kQuitTest, kQuitTest}));
    }

    void pausesAddUpAndBlockAnswering() {
        const Controls ui = ShowInput();
        QCOMPARE(input_->OpenedAt(), 1'700'000'000);
        QCOMPARE(input_->PausedAt(), 1'700'000'000);
        QCOMPARE(input_->ResumedAt(), 1'700'000'000);
        QPushButton* pause = ui.Button("pauseButton");
        // Paused: only "終了" and the pause button itself answer.
        const auto expect = [&](bool paused, const char* caption) {
            QCOMPARE(input_->IsPaused(), paused);
            QCOMPARE(pause->text(), QString::fromUtf8(caption));
            QCOMPARE(ui.Button("confirmButton")->isEnabled(), !paused);
            QCOMPARE(ui.Button("sameButton")->isEnabled(), !paused);
            QVERIFY(ui.Button("quitButton")->isEnabled());
        };
        expect(false, "一時停止");
        clock_->AdvanceMs(4000);
        Click(pause);
        expect(true, "続く");
        QCOMPARE(input_->PausedAt(), 1'700'000'004);
        QCOMPARE(input_->PausedSeconds(), 0);  // a running pause is not counted yet

        clock_->AdvanceMs(7000);
        Click(pause);
        expect(false, "一時停止");
        QCOMPARE(input_->ResumedAt(), 1'700'000'011);
        QCOMPARE(input_->PausedSeconds(), 7);

        clock_->AdvanceMs(1500);
        Click(pause);
        clock_->AdvanceMs(1500);
        Click(pause);
        QCOMPARE(input_->PausedSeconds(), 9);  // wall clock 12.5 s -> 14 s: two seconds
        QCOMPARE(input_->OpenedAt(), 1'700'000'000);
    }

    void sameAsBeforeFillsTheNewestNonEmptyAnswer() {
        const Controls ui = ShowInput();
        Type(ui.Edit("answerEdit"), QStringLiteral("typed"));
        Click(ui.Button("sameButton"));
        QCOMPARE(ui.Edit("answerEdit")->text(), QStringLiteral("typed"));  // nothing stored yet
        // The newest row has no answer: skipped.
        for (const auto& [subject, content] :
             {std::pair(5, QStringLiteral("あめがふる")),
              std::pair(7, QStringLiteral("O'Hara 50%")), std::pair(9, QString())}) {
            const auto added = station_->Db().Insert(
                QStringLiteral("TestRecord"), QStringLiteral("TRID"),
                {{QStringLiteral("IIID"), subject}, {QStringLiteral("TRContent"), content}});
            QVERIFY(added.Ok());
        }
        Click(ui.Button("sameButton"));
        QCOMPARE(ui.Edit("answerEdit")->text(), QStringLiteral("O'Hara 50%"));
        QVERIFY(prompter_->messages.empty());
    }

    void volumeButtonKeepsThePercentageChosen() {
        const Controls ui = ShowInput();
        QList<int> offered;
        input_->SetVolumeRunner([&](QWidget* parent, int percent) {
            if (parent != input_.get()) qFatal("volume dialog without its parent");
            offered << percent;
            return percent + 15;
        });
        input_->SetVolume(45);
        Click(ui.Button("volumeButton"));
        Click(ui.Button("volumeButton"));
        QCOMPARE(offered, QList<int>({45, 60}));
        QCOMPARE(input_->Volume(), 75);
    }

    // --- Volume dialog ------------------------------------------------------

    void volumeOpensAtTheGivenPercentageAndSetsTheSpeaker() {
        OpenVolume(60);
        QVERIFY(VolumeEnd()->isDefault());
        QCOMPARE(Slider()->maximum(), 87);
        QCOMPARE(Slider()->pageStep(), 4);
        QCOMPARE(Slider()->value(), 52);  // (int)(87 * 0.6)
        QCOMPARE(VolumeText(), QStringLiteral("60"));
        QCOMPARE(CardValue(), 52);  // set before the slider is touched
        QVERIFY(volume_->Mixer().IsOpen());

        Slider()->setFocus();
        QTest::keyClick(Slider(), Qt::Key_End);
        QCOMPARE(VolumeText(), QStringLiteral("100"));
        QCOMPARE(CardValue(), 87);
        QTest::keyClick(Slider(), Qt::Key_PageDown);
        QCOMPARE(Slider()->value(), 83);
        QCOMPARE(volume_->Volume(), 95);  // 83 * 100 / 87
        QTest::keyClick(Slider(), Qt::Key_Home);
        QCOMPARE(volume_->Volume(), 0);
        QCOMPARE(VolumeText(), QStringLiteral("0"));
        QCOMPARE(CardValue(), 0);
    }

    // Ending by the button or the close box closes the mixer, leaves the
    // speaker as set and returns the percentage as given.
    void volumeEndedUntouchedReturnsTheSamePercentage() {
        OpenVolume(33);  // 28 of 87 would read back as 32
        QCOMPARE(Slider()->value(), 28);
        Click(VolumeEnd());
        QCOMPARE(volume_->result(), int(QDialog::Accepted));
        QCOMPARE(volume_->Volume(), 33);
        QVERIFY(!volume_->Mixer().IsOpen());
        QCOMPARE(CardValue(), 28);

        OpenVolume(50);
        QVERIFY(volume_->close());
        QVERIFY(!volume_->Mixer().IsOpen());
        QCOMPARE(volume_->Volume(), 50);

        // Without a sound card the slider is empty and the percentage kept.
        audio::testing::UseAlsaConfig(dir_.path().toStdString(), "");
        OpenVolume(60);
        QVERIFY(!volume_->Mixer().IsOpen());
        QCOMPARE(Slider()->maximum(), 0);
        QCOMPARE(VolumeText(), QStringLiteral("60"));
        Slider()->setFocus();
        QTest::keyClick(Slider(), Qt::Key_End);
        Click(VolumeEnd());
        QCOMPARE(volume_->Volume(), 60);
    }

    // --- Result window ------------------------------------------------------

    // The text as set; "閉じる" closes it, and run modally, as the vowel test
    // runs it, it closes itself (accepted) 20 s after it first shows.
    void resultWindowClosesOnItsButtonOrWhenItsTimeIsUp() {
        ManualTimers timers;
        timers.AdvanceMs(5000);  // whatever ran before
        COutput dialog(nullptr, &timers);
        const Controls ui{&dialog};
        dialog.SetText(QStringLiteral("あなたの聴力年齢は 32 歳です。"));
        QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        const auto* text = ui.Get<QLabel>("resultText");
        QCOMPARE(text->text(), QStringLiteral("あなたの聴力年齢は 32 歳です。"));
        ExpectFont(text, kRoundedFace, 18);
        ExpectFont(ui.Button("closeButton"), kRoundedFace, 25);
        QVERIFY(!timers.NextDueMs());  // the time counts from the first showing
        bool upUntilDue = false;
        QMetaObject::invokeMethod(
            &dialog,
            [&] {
                timers.AdvanceMs(19999);
                upUntilDue = dialog.isVisible();
                timers.AdvanceMs(1);
                if (dialog.isVisible()) dialog.reject();  // never closed itself: fails below
            },
            Qt::QueuedConnection);
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(upUntilDue);
        QCOMPARE(timers.NowMs(), std::uint64_t{25000});

        COutput closed(nullptr, &timers);
        QVERIFY(Show(&closed));
        Click(Controls{&closed}.Button("closeButton"));
        QVERIFY(!closed.isVisible());
        QCOMPARE(closed.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(BatteryDialogsTest)
#include "BatteryDialogsTest.moc"
