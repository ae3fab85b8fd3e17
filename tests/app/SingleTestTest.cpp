// Test → Single test through its controls: confirmation, judgement rows,
// roll back of this window's own row, and playback on the virtual output.

#include <QCheckBox>
#include <QScrollBar>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/battery/SingleTest.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"
#include "store/Results.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class SingleTestTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<Station> station_;
    QTemporaryDir folder_;
    FakePrompter prompter_;
    audio::ManualWaitClock clock_{1'700'000'000};
    audio::VirtualOutput output_{clock_};
    CrtRandom random_;
    std::unique_ptr<CSingleTest> dialog_;
    qint64 subject_ = 0;

    template <typename T = QPushButton>
    T* Get(const char* name) const {
        return Controls{dialog_.get()}.Get<T>(name);
    }
    void Confirm(const QString& subject, const QString& path) {
        Type(Get<QLineEdit>("subjectEdit"), subject);
        Type(Get<QLineEdit>("audioEdit"), path);
        Click(Get("confirmButton"));
    }
    // The rows as "state|recognised|mask|speed|noise|period|duty|subject|material".
    QStringList Rows() {
        QStringList rows;
        for (const store::Row& r : station_->Query("SELECT * FROM TestRecord ORDER BY TRID")) {
            QStringList values;
            for (const char* c : {"TRState", "TRRecognise", "TRFactormask", "TRPlayspeed", "TRSNR",
                                  "TRCycle", "TRDutycycle", "IIID", "AIID"})
                values << QString::number(r.Real(c));
            rows << values.join('|');
        }
        return rows;
    }
    QByteArray HeardBytes() const {
        QByteArray bytes;
        for (const audio::HeardSegment& s : output_.Heard())
            bytes.append(reinterpret_cast<const char*>(s.bytes.data()), qsizetype(s.bytes.size()));
        return bytes;
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        std::vector<std::uint8_t> bytes(2 * 4410);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
        WriteWaveFile(QFile::encodeName(folder_.filePath("a.wav")).toStdString(),
                      PcmFormat(1, 44100, 16), bytes.data(), 4410);
        store::AudioRegistry audio(station_->Db());
        for (const char* path : {"gone.wav", "a.wav"})
            audio.Add({0, path, 100, "Wav", 'F', 1, 16, "あ"});
        subject_ = store::SubjectRegistry(station_->Db()).Add({0, "Ito"}).value;
        prompter_ = {};
        dialog_ = std::make_unique<CSingleTest>(SingleTestServices{
            station_->Db(), prompter_, &output_, clock_, random_, nullptr, folder_.path()});
        QVERIFY(Show(dialog_.get()));
    }

    void confirmationIsValidated() {
        const QString id = QString::number(subject_);
        const std::tuple<QString, QString, QString> table[] = {
            {"", "a.wav", "Please input your individual ID!"},
            {id, "", "Please input the path and name of an audio file!"},
            {"999", "a.wav", "Invalid individual ID!"},
            {id, "A.WAV",
             "Invalid path and file name!\nPlease make sure that it is in the audio "
             "information database!"},
            {id, "gone.wav", "Invalid path or file name!\nIt can not be opened!"},
            {id, "a.wav", ""},
        };
        for (const auto& [subject, path, message] : table) {
            prompter_.messages.clear();
            Confirm(subject, path);
            QCOMPARE(prompter_.MessageTexts().join(""), message);
            QCOMPARE(Get("playButton")->isEnabled(), message.isEmpty());
        }
        QCOMPARE(dialog_->AudioId(), 2);
        // A random pick in key order; a draw of the count itself picks nothing.
        // (The generator's first two draws pick the first and the second row.)
        CrtRandom draws = random_;
        for (const char* button : {"randomButton", "syllableButton"}) {
            Click(Get(button));
            QCOMPARE(Get<QLineEdit>("audioEdit")->text(),
                     QStringList({"gone.wav", "a.wav", ""})[RandomInt(draws, 2)]);
        }
    }

    void judgementsWriteRowsOnChangesAndRollBackTakesThisWindowsRow() {
        Confirm(QString::number(subject_), "a.wav");
        Get<QCheckBox>("noiseCheck")->setChecked(true);
        Get<QScrollBar>("noiseScroll")->setValue(3);
        QCOMPARE(Get<QLineEdit>("noiseEdit")->text(), "0.600000");
        for (const char* b : {"recognisedButton", "recognisedButton", "undecidedButton",
                              "notRecognisedButton", "notRecognisedButton"})
            Click(Get(b));
        QCOMPARE(Rows(), QStringList({"0|1|2|1|0.6|20|1|2|2", "1|0.5|2|1|0.6|20|1|2|2",
                                      "0.5|0|2|1|0.6|20|1|2|2"}));
        // Another station writes a newer row; the roll back takes this window's.
        store::AddTestRecord(station_->Db(), {.subjectId = subject_, .state = 0.25});
        prompter_.answers = {true, true};
        Click(Get("rollBackButton"));
        QCOMPARE(dialog_->Experiment().State(), 0.5);
        Click(Get("rollBackButton"));
        QCOMPARE(prompter_.MessageTexts(), QStringList{"Roll back failed!"});
        QCOMPARE(Rows().mid(2), QStringList{"0.25|0|0|0|0|0|0|2|0"});
        // Stored nothing, changed nothing: the database refused the row.
        station_->Refuse("INSERT", "TestRecord");
        Click(Get("notRecognisedButton"));
        QVERIFY(prompter_.MessageTexts().last().startsWith("Failed to operate database"));
        QCOMPARE(station_->Count("TestRecord"), 3);
        QCOMPARE(dialog_->Experiment().State(), 0.5);
        // From clarity to unclarity starts recognised: only "認識できない" writes.
        station_->Allow("INSERT");
        Choose(Get<QComboBox>("testerTypeCombo"), 2);
        Click(Get("recognisedButton"));
        Click(Get("notRecognisedButton"));
        QCOMPARE(Rows().mid(3), QStringList{"1|0|2|1|0.6|20|1|2|2"});
        QCOMPARE(station_->Query("SELECT TRTime FROM TestRecord").back().Text("TRTime"),
                 QString::fromStdString(FormatLocalTime(clock_.Now())));
    }

    void playWritesTheProcessedSoundAndLoops() {
        Confirm(QString::number(subject_), "a.wav");
        Get<QScrollBar>("speedScroll")->setValue(6);  // 1.2
        Get<QScrollBar>("dutyScroll")->setValue(10);  // 0.5
        Get<QScrollBar>("noiseScroll")->setValue(1);  // 0.2
        CrtRandom draws = random_;
        const LoadedStimulus loaded = LoadStimulus(folder_.filePath("a.wav").toStdString());
        const StimulusOutcome expected =
            ProcessStimulus(loaded.samples.data(), loaded.sampleCount, loaded.format,
                            dialog_->Experiment().Stimulus(), draws);
        Get<QCheckBox>("loopCheck")->setChecked(true);
        Click(Get("playButton"));
        QCOMPARE(Get("playButton")->text(), "Stop");
        clock_.AdvanceMs(100);  // 4410 samples at 1.2 times 44100 Hz: 83 ms
        output_.Pump();
        QTRY_VERIFY(!output_.Done());  // looping: written again at its end
        Get<QCheckBox>("loopCheck")->setChecked(false);
        clock_.AdvanceMs(100);
        output_.Pump();
        const QByteArray once(reinterpret_cast<const char*>(expected.stimulus.samples.data()),
                              qsizetype(expected.stimulus.samples.size()));
        QCOMPARE(output_.Rate(), expected.stimulus.format.sampleRate);
        QCOMPARE(HeardBytes(), once + once);
        QTRY_COMPARE(Get("playButton")->text(), "Play");
        QVERIFY(!output_.IsOpen() && !dialog_->Playing());
        output_.SetAcceptedRates({8000});
        Click(Get("playButton"));
        QCOMPARE(prompter_.MessageTexts(), QStringList{"Audio output error!"});
        prompter_.answers = {false, true};
        for (int ask = 0; ask < 2; ++ask) dialog_->close();
        QCOMPARE(prompter_.confirmations.size(), 2);
        QVERIFY(!dialog_->isVisible());
    }
};

QTEST_MAIN(SingleTestTest)
#include "SingleTestTest.moc"
