// The dialogs that work on the station database, on a fresh one per test:
// the audio material and subject registries (delete, search and database
// failures, the same machinery in both, on the audio one), the test launcher
// and the subject's entry form.

#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>

#include <tuple>

#include "AppTestSupport.h"
#include "app/AudioInfo.h"
#include "app/Fonts.h"
#include "app/IndividualInformation.h"
#include "app/Information.h"
#include "app/battery/AutoTest1.h"
#include "app/battery/TestDispatcher.h"
#include "core/util/Clock.h"
#include "store/Schema.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

const QStringList kAudioFields{"idEdit",      "pathEdit", "lengthEdit", "fileTypeCombo",
                               "channelEdit", "bitsEdit", "sexCombo",   "contentEdit"};
const QStringList kSubjectFields{"idEdit",       "nameEdit",      "sexCombo",       "birthYearEdit",
                                 "handuseCombo", "educationEdit", "descriptionEdit"};
const QString kFirstAudio = QStringLiteral("C:\\stimuli\\a.wav|1200|Wav|M|1|16|あいうえお");

struct Started {
    TestKind type;
    TestStart start;
    QWidget* parent;
};

class FakeDispatcher final : public TestDispatcher {
  public:
    void Run(TestKind type, const TestStart& start, QWidget* parent) override {
        started.push_back({type, start, parent});
        launcherVisibleWhileRunning = parent != nullptr && parent->isVisible();
    }
    std::vector<Started> started;
    bool launcherVisibleWhileRunning = false;
};

const QString kNoId = QStringLiteral("Please input your individual ID!");
const QString kNoPath = QStringLiteral("Please input the path and name of a configuration file!");
const QString kBadId = QStringLiteral("Invalid individual ID!");
const QString kBadFile = QStringLiteral("Invalid path or file name!\nIt can not be opened!");
const QString kNoEvaluation = QStringLiteral("Please select a radio button correspondingly!");
const QString kBadType = QStringLiteral("Invalid configuration file!");

// Noon on 15 June 2006 (UTC): 2006 in every time zone.
constexpr std::time_t kJune2006 = 1150372800;
const QString kTryAgain = QStringLiteral("入力エラーでした．戻して，もう一回入力して下さい！");

}  // namespace

class StationDialogsTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    Controls ui_;  ///< the dialog under test
    std::unique_ptr<RegistryDialog> dialog_;
    bool audio_ = true;
    QList<qint64> audioKeys_, subjectKeys_;
    QStringList rows_;  ///< the list as it must first show, "key|text"

    store::AudioRegistry Audio() { return store::AudioRegistry(station_->Db()); }
    /** A stored audio row as "path|length|file type|sex|channels|bits|content"; empty when none. */
    QString Stored(qint64 key) {
        if (!audio_) return StoredSubject(station_->Db(), key);
        const auto loaded = Audio().Load(key);
        if (!loaded.Ok()) qFatal("%s", qPrintable(loaded.error->Text()));
        if (!loaded.value) return QString();
        const store::AudioMaterial& m = *loaded.value;
        return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
            .arg(m.pathname, QString::number(m.lengthMs), m.fileType, QString(QChar(m.sex)),
                 QString::number(m.channels), QString::number(m.bits), m.content);
    }
    size_t StoredCount() { return Audio().List(store::AudioRegistry::AllMaterials()).value.size(); }
    qint64 Key(int row) { return rows_[row].section('|', 0, 0).toLongLong(); }

    /** Four audio materials and four subjects after the practice one. */
    void Seed() {
        subjectKeys_ = {1};  // the database's own practice subject
        const store::AudioMaterial materials[] = {
            {0, "C:\\stimuli\\a.wav", 1200, "Wav", 'M', 1, 16, "あいうえお"},
            {0, "D:/data/b.mp3", 800, "mp3", 'f', 2, 8, "かきくけこ"},
            {0, "E:/x/c.raw", 10, "Others", 'U', 1, 16, "noise"},
            {0, "E:/x/d.aif", 0, "Aiff", 'x', 0, 0, ""}};
        for (const auto& seed : materials) audioKeys_ << Audio().Add(seed).value;
        const store::Subject subjects[] = {
            {0, "TARO YAMADA", 'M', 1962, 0, 16, "右耳がやや弱い"},
            {0, "HANAKO SATO", 'f', 1980, 1, 12, ""},
            {0, "KEN", 'U', 1950, 2, 9, "x"},
            {0, "JIRO", 'U', 1990, 3, 6, ""},  // as the entry form registers
        };
        for (const auto& seed : subjects)
            subjectKeys_ << store::SubjectRegistry(station_->Db()).Add(seed).value;
        if (audioKeys_.contains(0) || subjectKeys_.contains(0)) qFatal("cannot seed");
    }
    /** The list a registry must first show, "key|text". */
    QStringList Listed(bool audio) const {
        const QStringList texts =
            audio ? QStringList{"C:\\stimuli\\a.wav", "D:/data/b.mp3", "E:/x/c.raw", "E:/x/d.aif"}
                  : QStringList{"PRACTICE", "TARO YAMADA", "HANAKO SATO", "KEN", "JIRO"};
        const QList<qint64>& keys = audio ? audioKeys_ : subjectKeys_;
        QStringList rows;
        for (int i = 0; i < keys.size(); ++i) rows << QString::number(keys[i]) + '|' + texts[i];
        return rows;
    }
    void Open(bool audio) {
        if (audioKeys_.isEmpty()) Seed();
        audio_ = audio;
        if (audio)
            dialog_ = std::make_unique<CAudioInfo>(station_->Db(), *prompter_,
                                                   store::AudioRegistry::AllMaterials());
        else
            dialog_ = std::make_unique<CIndividualInformation>(
                station_->Db(), *prompter_, store::SubjectRegistry::AllSubjects());
        ui_.window = dialog_.get();
        rows_ = Listed(audio);
        QVERIFY(Show(dialog_.get()));
    }
    /** Confirms the next box with `answer` and clicks the button. */
    void Answer(bool answer, const char* button) {
        prompter_->answers = {answer};
        Click(ui_.Button(button));
    }

    const QStringList& FieldNames() const { return audio_ ? kAudioFields : kSubjectFields; }
    /** Every field (combos as their index), in form order, key first. */
    QStringList Fields() {
        QStringList values;
        for (const QString& name : FieldNames()) {
            auto* field = ui_.Get<QWidget>(qPrintable(name));
            auto* combo = qobject_cast<QComboBox*>(field);
            values << (combo ? QString::number(combo->currentIndex())
                             : static_cast<QLineEdit*>(field)->text());
        }
        return values;
    }
    /** Types or chooses (combos by index) every field after the key, in form order. */
    void Enter(const QStringList& values) {
        for (int i = 0; i < values.size(); ++i) {
            auto* field = ui_.Get<QWidget>(qPrintable(FieldNames()[i + 1]));
            if (auto* combo = qobject_cast<QComboBox*>(field))
                Choose(combo, values[i].toInt());
            else
                Type(static_cast<QLineEdit*>(field), values[i]);
        }
    }
    bool CanDelete() { return ui_.Button("deleteButton")->isEnabled(); }
    bool CanUpdate() { return ui_.Button("updateButton")->isEnabled(); }

    // The launcher.
    FakeFiles chooser_;
    FakeDispatcher dispatcher_;
    std::unique_ptr<CAutoTest1> launcher_;
    qint64 subject_ = 0;  ///< a registered subject's IIID

    void OpenLauncher() {
        Seed();
        subject_ = subjectKeys_[1];
        launcher_ = std::make_unique<CAutoTest1>(station_->Db(), *prompter_, chooser_, dispatcher_);
        ui_.window = launcher_.get();
        QVERIFY(Show(launcher_.get()));
    }
    QString Scenario(const QString& name, const QByteArray& text) {
        return WriteFile(dir_.filePath(name), text);
    }

    /** Fills the fields as the experimenter would; evaluation 0 checks none. */
    void Fill(const QString& id, const QString& path, int evaluation) {
        Type(ui_.Edit("idEdit"), id);
        Type(ui_.Edit("pathEdit"), path);
        if (evaluation > 0)
            Click(
                ui_.Get<QRadioButton>(qPrintable(QStringLiteral("evaluation%1").arg(evaluation))));
    }

    void Start() { Click(ui_.Button("startButton")); }

    /** The start was refused with exactly this message; nothing else changed. */
    void ExpectRefused(const QString& message, const QString& id, const QString& path) {
        QCOMPARE(prompter_->MessageTexts(), QStringList{message});
        QCOMPARE(prompter_->messages.front().caption, QStringLiteral("Kestrune"));
        QVERIFY(dispatcher_.started.empty());
        QVERIFY(launcher_->isVisible());
        QCOMPARE(launcher_->result(), 0);
        QCOMPARE(ui_.Edit("idEdit")->text(), id);
        QCOMPARE(ui_.Edit("pathEdit")->text(), path);
    }

    // The entry form.
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<CInformation> form_;
    std::unique_ptr<QSignalSpy> registered_;

    void OpenForm() {
        clock_ = std::make_unique<FakeClock>(kJune2006);
        form_ = std::make_unique<CInformation>(station_->Db(), *clock_, *prompter_);
        registered_ = std::make_unique<QSignalSpy>(form_.get(), &CInformation::registered);
        ui_.window = form_.get();
        QVERIFY(Show(form_.get()));
    }
    /** Subjects besides the practice one a new station has. */
    size_t NewSubjects() {
        return store::SubjectRegistry(station_->Db())
                   .List(store::SubjectRegistry::AllSubjects())
                   .value.size() -
               1;
    }
    qint64 RegisteredKey(int i) { return registered_->at(i).at(0).toLongLong(); }

    /** Types with the on-screen keys: letters, ' ' for スペース, '<' for 消す. */
    void TypeName(const QString& keys) {
        for (QChar c : keys) {
            Click(c == ' '   ? ui_.Button("spaceButton")
                  : c == '<' ? ui_.Button("nameEraseButton")
                             : ui_.Button(qPrintable(QStringLiteral("letter") + c)));
        }
    }
    /** Digits with the keypad, '<' for its 消す. */
    void TypeAge(const QString& keys) {
        for (QChar c : keys) {
            Click(c == '<' ? ui_.Button("ageEraseButton")
                           : ui_.Button(qPrintable(QStringLiteral("digit") + c)));
        }
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        audioKeys_.clear();
        subjectKeys_.clear();
        dispatcher_ = FakeDispatcher();
        chooser_ = FakeFiles();
    }

    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        dialog_.reset();
        launcher_.reset();
        registered_.reset();
        form_.reset();
    }

    // --- The registries -------------------------------------------------------

    void listsAndShowsEveryColumn_data() {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QStringList>("fields");  // per row, after the key, "|" between
        // File type and sex: exact, lower-case, "Others"/"U" and unknown values.
        QTest::newRow("audio") << true
                               << QStringList{"C:\\stimuli\\a.wav|1200|1|1|16|1|あいうえお",
                                              "D:/data/b.mp3|800|2|2|8|2|かきくけこ",
                                              "E:/x/c.raw|10|3|1|16|0|noise",
                                              "E:/x/d.aif|0|0|0|0|0|"};
        // Empty columns show as unknown and zeros; the form's "unknown" side: no choice.
        QTest::newRow("subjects") << false
                                  << QStringList{"PRACTICE|0|0|0|0|練習用（被験者ではありません）",
                                                 "TARO YAMADA|1|1962|0|16|右耳がやや弱い",
                                                 "HANAKO SATO|2|1980|1|12|", "KEN|0|1950|2|9|x",
                                                 "JIRO|0|1990|-1|6|"};
    }
    void listsAndShowsEveryColumn() {
        QFETCH(bool, audio);
        QFETCH(QStringList, fields);
        Open(audio);
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(SelectedRow(ui_.List()), -1);
        QCOMPARE(dialog_->SelectedId(), QString());
        for (int row = 0; row < fields.size(); ++row) {
            ClickRow(ui_.List(), row);
            QCOMPARE(Fields().join('|'), QString::number(Key(row)) + '|' + fields[row]);
            QVERIFY(CanDelete() && !CanUpdate());
        }
        if (audio) {
            CAudioInfo one(station_->Db(), *prompter_, store::AudioRegistry::OneMaterial(Key(2)));
            QCOMPARE(Rows(Controls{&one}.List()), QStringList{rows_[2]});
        }
        QVERIFY(prompter_->messages.empty());
        QSignalSpy accepted(dialog_.get(), &QDialog::accepted);
        Click(ui_.Button("okButton"));
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(int(fields.size()) - 1)));
    }

    // Numbers are read up to the first non-digit, no digits read as 0; the
    // codes stored for the combos are each registry's own.
    void newSaveAndUpdate_data() {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<QString>("entered");  // every field after the key, "|" between
        QTest::addColumn<QString>("shown");    // after Save
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("updated");
        QTest::addColumn<QString>("storedAfterUpdate");
        QTest::addColumn<QString>("search");  // finds the updated record alone
        // "Other" when inserted, "Others" when updated.
        QTest::newRow("audio")
            << true << "C:\\O'Brien\\ことば_100%.wav|1500ms|3|2|sixteen|2|いとう' \"はい\""
            << "C:\\O'Brien\\ことば_100%.wav|1500|3|2|0|2|いとう' \"はい\""
            << "C:\\O'Brien\\ことば_100%.wav|1500|Other|F|2|0|いとう' \"はい\""
            << "F:/O'Brien/renamed.wav|999|3|1|8|1|たちつてと"
            << "F:/O'Brien/renamed.wav|999|Others|M|1|8|たちつてと"
            << "O'Brien";
        QTest::newRow("subjects") << false << "O'Brien 伊藤|2|1975年|2| 14 years|いとう' 50%"
                                  << "O'Brien 伊藤|2|1975|2|14|いとう' 50%"
                                  << "O'Brien 伊藤|F|1975|2|14|いとう' 50%"
                                  << "O'Hara 花子|1|1981|0|abc|メモ"
                                  << "O'Hara 花子|M|1981|0|0|メモ"
                                  << "o'hara";
    }
    void newSaveAndUpdate() {
        QFETCH(bool, audio);
        QFETCH(QString, entered);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        QFETCH(QString, updated);
        QFETCH(QString, storedAfterUpdate);
        QFETCH(QString, search);
        Open(audio);
        const int last = int(rows_.size());
        ClickRow(ui_.List(), 1);
        Click(ui_.Button("newButton"));
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("Save"));
        QVERIFY(!CanDelete() && !CanUpdate());
        QCOMPARE(Rows(ui_.List()),
                 rows_ + QStringList{audio ? "New ID|New Pathname" : "New ID|New Name"});
        QCOMPARE(Fields().join('|'), audio ? "|||0|||0|" : "||0||0||");
        Enter(entered.split('|'));
        QVERIFY(!CanUpdate());    // edits of the new record
        ClickRow(ui_.List(), 0);  // selecting rows meanwhile leaves the fields alone
        QCOMPARE(Fields()[1], entered.section('|', 0, 0));

        Click(ui_.Button("newButton"));
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("New"));
        const qint64 key = dialog_->SelectedId().toLongLong();
        QVERIFY(key > Key(last - 1));
        QCOMPARE(Rows(ui_.List()),
                 rows_ + QStringList{QString::number(key) + '|' + shown.section('|', 0, 0)});
        QCOMPARE(SelectedRow(ui_.List()), last);
        QVERIFY(ui_.List()->hasFocus());
        QCOMPARE(Fields().join('|'), QString::number(key) + '|' + shown);
        QCOMPARE(Stored(key), stored);

        Enter({updated.section('|', 0, 0)});
        QVERIFY(CanUpdate());
        Answer(false, "updateButton");  // Cancel changes nothing
        QCOMPARE(Stored(key), stored);
        Enter(updated.split('|'));
        Answer(true, "updateButton");
        QCOMPARE(prompter_->confirmations,
                 QStringList(2, QStringLiteral("Are you sure to update the selected record?")));
        QCOMPARE(Stored(key), storedAfterUpdate);
        QCOMPARE(Rows(ui_.List()).last(), QString::number(key) + '|' + updated.section('|', 0, 0));
        QCOMPARE(SelectedRow(ui_.List()), last);
        QVERIFY(!CanUpdate());
        QCOMPARE(Stored(Key(audio ? 0 : 1)),
                 audio ? kFirstAudio : "TARO YAMADA|M|1962|0|16|右耳がやや弱い");

        Type(ui_.Edit("searchEdit"), search);
        Click(ui_.Button("searchButton"));
        QCOMPARE(Rows(ui_.List()),
                 QStringList{QString::number(key) + '|' + updated.section('|', 0, 0)});
        QVERIFY(prompter_->messages.empty());
    }

    void anUnofferedSideSurvivesAnUpdate() {
        Open(false);
        ClickRow(ui_.List(), 4);
        Type(ui_.Edit("descriptionEdit"), QStringLiteral("came back"));
        Answer(true, "updateButton");
        QCOMPARE(Stored(Key(4)), QStringLiteral("JIRO|U|1990|3|6|came back"));
        Choose(ui_.Combo("handuseCombo"), 1);  // an explicit choice replaces it
        Answer(true, "updateButton");
        QCOMPARE(Stored(Key(4)), QStringLiteral("JIRO|U|1990|1|6|came back"));
    }

    void deleteAsksAndSelectsTheRowBefore() {
        Open(true);
        ClickRow(ui_.List(), 2);
        Answer(false, "deleteButton");
        QCOMPARE(prompter_->confirmations,
                 QStringList{QStringLiteral("Are you sure to delete the selected record?")});
        QCOMPARE(Rows(ui_.List()), rows_);
        QVERIFY(!Stored(Key(2)).isEmpty());

        Answer(true, "deleteButton");
        QVERIFY(Stored(Key(2)).isEmpty());
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[0], rows_[1], rows_[3]}));
        QCOMPARE(SelectedRow(ui_.List()), 1);
        QCOMPARE(Fields()[1], QStringLiteral("D:/data/b.mp3"));
        QVERIFY(ui_.List()->hasFocus());

        ClickRow(ui_.List(), 0);  // no row before the first: the new first one
        Answer(true, "deleteButton");
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[1], rows_[3]}));
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(1)));

        for (int row : {1, 0}) {  // the last rows: nothing left to select
            ClickRow(ui_.List(), row);
            Answer(true, "deleteButton");
        }
        QCOMPARE(ui_.List()->topLevelItemCount(), 0);
        QCOMPARE(dialog_->SelectedId(), QString());  // no deleted key for the opener
        QVERIFY(!CanDelete());
        QCOMPARE(StoredCount(), size_t(0));
        QVERIFY(prompter_->messages.empty());
    }

    // The practice subject is neither deleted nor changed, and nothing is asked.
    void thePracticeSubjectStaysAsItIs() {
        Open(false);
        ClickRow(ui_.List(), 0);
        Click(ui_.Button("deleteButton"));
        Type(ui_.Edit("nameEdit"), QStringLiteral("Someone"));
        Click(ui_.Button("updateButton"));
        const QString refusal =
            QStringLiteral("The practice subject PRACTICE (ID 1) can not be changed or deleted!");
        QCOMPARE(prompter_->MessageTexts(), QStringList({refusal, refusal}));
        QVERIFY(prompter_->confirmations.isEmpty());
        QCOMPARE(Stored(1).section('|', 0, 0), QStringLiteral("PRACTICE"));
    }

    void deleteAndUpdateWithNothingSelected() {
        Open(true);
        Answer(true, "deleteButton");
        QVERIFY(!CanDelete());
        Answer(true, "updateButton");
        QCOMPARE(prompter_->MessageTexts(), (QStringList{"No record is selected to delete!",
                                                         "No record is selected to update!"}));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(StoredCount(), size_t(4));
    }

    void searchReplacesTheListOrKeepsIt() {
        for (const bool audio : {false, true}) {
            Open(audio);
            prompter_->messages.clear();
            ClickRow(ui_.List(), 0);
            Type(ui_.Edit("searchEdit"), QStringLiteral("nothing-like-this"));
            Click(ui_.Button("searchButton"));
            QCOMPARE(prompter_->MessageTexts(),
                     QStringList{QStringLiteral("There is no result matching your searched %1!")
                                     .arg(audio ? "file" : "name")});
            QCOMPARE(Rows(ui_.List()), rows_);
            QCOMPARE(SelectedRow(ui_.List()), 0);
        }
        Type(ui_.Edit("searchEdit"), QStringLiteral("E:/x/"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[2], rows_[3]}));
        QCOMPARE(SelectedRow(ui_.List()), -1);
        QCOMPARE(ui_.Edit("pathEdit")->text(), QString());

        // A new record entered while searching is still saved and listed.
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("E:/x/e.wav"));
        Type(ui_.Edit("searchEdit"), QString());
        QTest::keyClick(ui_.Edit("searchEdit"), Qt::Key_Return);  // searches, finds all
        QCOMPARE(Rows(ui_.List()), rows_);
        Click(ui_.Button("newButton"));
        QCOMPARE(Rows(ui_.List()).size(), 5);
        QCOMPARE(Rows(ui_.List()).last().section('|', 1), QStringLiteral("E:/x/e.wav"));
        QCOMPARE(prompter_->messages.size(), size_t(1));
    }

    void databaseFailuresAreShownAndLeaveTheList() {
        Open(true);
        for (const char* operation : {"INSERT", "DELETE", "UPDATE"})
            station_->Refuse(QString::fromLatin1(operation), QStringLiteral("AudioInfo"));
        ClickRow(ui_.List(), 2);
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("F:/lost.wav"));
        Click(ui_.Button("newButton"));
        // The store's error text (its form is the store's, tested there).
        QCOMPARE(prompter_->messages.size(), size_t(1));
        QVERIFY(prompter_->messages[0].text.contains(QStringLiteral("refused by the test")));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        // The placeholder goes; the first row is selected.
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("New"));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(0)));

        Answer(true, "deleteButton");
        Type(ui_.Edit("pathEdit"), QStringLiteral("C:/renamed.wav"));
        Answer(true, "updateButton");
        QCOMPARE(prompter_->messages.size(), size_t(3));
        for (const auto& shown : prompter_->messages)
            QVERIFY(shown.text.startsWith(QStringLiteral("Failed to operate database")));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(StoredCount(), size_t(4));
        QCOMPARE(Stored(Key(0)), kFirstAudio);

        // Once the database takes rows again, the same dialog saves normally.
        station_->Allow(QStringLiteral("INSERT"));
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("F:/kept.wav"));
        Click(ui_.Button("newButton"));
        QCOMPARE(prompter_->messages.size(), size_t(3));
        QCOMPARE(Rows(ui_.List()).last().section('|', 1), QStringLiteral("F:/kept.wav"));
    }

    // --- The test launcher ----------------------------------------------------

    // Each row breaks exactly one check and also every later one, so the
    // message shown proves the order of the checks. How an ID is read is
    // the core's leading-number rule.
    void refusesBadInputInOrder_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("path");  // "@x": the file x in the test folder
        QTest::addColumn<int>("evaluation");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* id, const char* path, int evaluation,
                            const QString& message) {
            QTest::newRow(name) << QString(id) << QString(path) << evaluation << message;
        };
        row("no ID", "", "@good.ini", 3, kNoId);
        row("no path", "@subject", "", 0, kNoPath);
        row("blank path is a path", "@subject", " ", 2, kBadFile);
        row("unknown subject", "999999", "@missing.ini", 0, kBadId);
        row("missing file", "@subject", "@missing.ini", 0, kBadFile);
        row("folder", "@subject", "@", 0, kBadFile);
        row("no evaluation", "@subject", "@good.ini", 0, kNoEvaluation);
    }
    void refusesBadInputInOrder() {
        OpenLauncher();
        QFETCH(QString, id);
        QFETCH(QString, path);
        QFETCH(int, evaluation);
        QFETCH(QString, message);
        Scenario(QStringLiteral("good.ini"), "[INFO]\r\nTESTTYPE=SINGLE\r\nTOTAL=1\r\n");
        id.replace(QStringLiteral("@subject"), QString::number(subject_));
        if (path.startsWith(QLatin1Char('@'))) path = dir_.filePath(path.mid(1));
        Fill(id, path, evaluation);
        Start();
        ExpectRefused(message, id, path);
        // Corrected, the same launcher starts the test.
        if (message == kNoEvaluation) {
            prompter_->messages.clear();
            Click(ui_.Get<QRadioButton>("evaluation5"));
            Start();
            QVERIFY(prompter_->messages.empty());
            QCOMPARE(dispatcher_.started.size(), size_t{1});
            QCOMPARE(dispatcher_.started.front().start.subjectId, int(subject_));
        }
    }

    // Which values name a test is the core's type table; here a file with no
    // INFO section, the key in an item only.
    void refusesAnUnknownTestTypeAndCloses() {
        OpenLauncher();
        Fill(QString::number(subject_),
             Scenario(QStringLiteral("s.ini"), "[DATA1]\r\nTESTTYPE=SINGLE\r\n"), 2);
        Start();
        QCOMPARE(prompter_->MessageTexts(), QStringList{kBadType});
        QVERIFY(dispatcher_.started.empty());
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Accepted));
    }

    // One of the core's table's types: the launcher hands on the one named,
    // with the ID read up to its first non-digit.
    void startsTheTestTheScenarioNames() {
        OpenLauncher();
        // LF line ends and a comment; the key found in INFO, not in an item.
        const QString path =
            Scenario(QStringLiteral("test.Ini"),
                     "[INFO]\nTOTAL=2 ; two items\nTESTTYPE=TIME\n[DATA1]\nTESTTYPE=PLAY\n");
        Fill(QStringLiteral(" ") + QString::number(subject_) + QStringLiteral("xyz"), path, 5);
        QCOMPARE(launcher_->SelfEvaluation(), 5);
        Start();
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(dispatcher_.started.size(), size_t{1});
        const Started& started = dispatcher_.started.front();
        QVERIFY(started.type == TestKind::TimeListening);
        QCOMPARE(started.start.subjectId, int(subject_));
        QCOMPARE(started.start.scenarioPath, path);
        QCOMPARE(started.start.selfEvaluation, 5);
        QCOMPARE(started.parent, launcher_.get());
        QVERIFY(dispatcher_.launcherVisibleWhileRunning);  // closes only after the test
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Accepted));
    }

    void endClosesWithoutStarting() {
        OpenLauncher();
        Fill(QString::number(subject_),
             Scenario(QStringLiteral("a.ini"), "[INFO]\nTESTTYPE=TIME\n"), 1);
        Click(ui_.Button("endButton"));
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Rejected));
        QVERIFY(dispatcher_.started.empty());
        QVERIFY(prompter_->messages.empty());
    }

    void browseFillsThePathOnlyWhenChosen() {
        OpenLauncher();
        Type(ui_.Edit("pathEdit"), QStringLiteral("/old/one.ini"));
        chooser_.openAnswers = {QString(), QStringLiteral("/station/シナリオ/time test.Ini")};
        Click(ui_.Button("browseButton"));  // cancelled
        QCOMPARE(ui_.Edit("pathEdit")->text(), QStringLiteral("/old/one.ini"));
        Click(ui_.Button("browseButton"));
        QCOMPARE(ui_.Edit("pathEdit")->text(), QStringLiteral("/station/シナリオ/time test.Ini"));
        QCOMPARE(chooser_.opens, 2);
        QCOMPARE(chooser_.saves, 0);
    }

    void searchTakesTheRegistrysIdHoweverItCloses_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("close box") << true;
        QTest::newRow("accepted") << false;
    }
    void searchTakesTheRegistrysIdHoweverItCloses() {
        OpenLauncher();
        QFETCH(bool, closeBox);
        bool sawRegistry = false;
        QStringList listed;
        // Whatever the modal registry lists, pick the last row and close it.
        OnNextModal([&](QWidget* modal) {
            auto* registry = qobject_cast<CIndividualInformation*>(modal);
            if (registry == nullptr) return;
            sawRegistry = true;
            listed = Rows(Controls{registry}.List());
            if (!listed.isEmpty()) ClickRow(Controls{registry}.List(), int(listed.size()) - 1);
            if (!closeBox) registry->accept();
        });
        Click(ui_.Button("searchButton"));
        QVERIFY(sawRegistry);
        // Every subject in key order, the practice subject first.
        QCOMPARE(listed, Listed(false));
        QCOMPARE(ui_.Edit("idEdit")->text(), QString::number(subjectKeys_.last()));
    }

    // --- The entry form -------------------------------------------------------

    void registersANewSubjectWithTheHiddenDefaults() {
        OpenForm();
        TypeName(QStringLiteral("TARO YAMADAX<"));
        TypeAge(QStringLiteral("<457<"));  // erasing an empty text does nothing
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("TARO YAMADA"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("45"));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));  // the keys take no focus
        Click(ui_.Button("nextButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(registered_->count(), 1);
        const qint64 key = RegisteredKey(0);
        QCOMPARE(key, qint64(store::kPracticeSubjectId + 1));  // the first after the practice one
        QCOMPARE(form_->SubjectId(), QString::number(key));
        QCOMPARE(form_->FullName(), QStringLiteral("TARO YAMADA"));

        QCOMPARE(StoredSubject(station_->Db(), key), QStringLiteral("TARO YAMADA|U|1962|3|6|"));
        QCOMPARE(NewSubjects(), size_t(1));
    }

    void refusesAMissingNameOrAnImpossibleAge() {
        const QString noName = QStringLiteral("名前を入力して下さい!");
        const QString badAge = QStringLiteral("年齢を正確に入力して下さい!");
        // Which ages are possible is the core's rule; the name is checked first.
        for (const auto& [name, age, message] :
             {std::tuple("", "", noName), std::tuple("KEN", "200", badAge)}) {
            OpenForm();
            prompter_->messages.clear();
            TypeName(QString::fromUtf8(name));
            Type(ui_.Edit("ageEdit"), QString::fromUtf8(age));
            Click(ui_.Button("nextButton"));
            QCOMPARE(prompter_->MessageTexts(), QStringList{message});
            QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
            QCOMPARE(registered_->count(), 0);
            QVERIFY(form_->isVisible());
            QCOMPARE(form_->SubjectId(), QString());
        }
        QCOMPARE(NewSubjects(), size_t(0));
    }

    void comingBackCorrectsTheSameRow() {
        OpenForm();
        QSignalSpy back(form_.get(), &CInformation::backRequested);
        TypeName(QStringLiteral("TARO"));
        TypeAge(QStringLiteral("45"));
        Click(ui_.Button("nextButton"));
        form_->SetSessionTestExists(true);

        ui_.Edit("ageEdit")->setFocus();
        Click(ui_.Button("backButton"));
        QCOMPARE(back.count(), 1);
        QVERIFY(!form_->isVisible());
        form_->show();
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));  // every time it is shown
        TypeName(QStringLiteral(" YAMADA"));
        TypeAge(QStringLiteral("<6"));
        clock_->SetNow(kJune2006 + 366 * 24 * 3600);  // a year later: 2007
        Click(ui_.Button("nextButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(registered_->count(), 2);
        QCOMPARE(RegisteredKey(1), RegisteredKey(0));
        QCOMPARE(NewSubjects(), size_t(1));
        // Only name and year of birth change: 2007 - 46 + 1.
        QCOMPARE(StoredSubject(station_->Db(), RegisteredKey(0)),
                 QStringLiteral("TARO YAMADA|U|1962|3|6|"));
    }

    void withoutASessionTestEachRegistrationIsANewSubject() {
        OpenForm();
        store::Subject earlier;  // the same name, registered earlier by the registry
        earlier.name = QStringLiteral("KEN");
        const qint64 earlierKey = store::SubjectRegistry(station_->Db()).Add(earlier).value;
        TypeName(QStringLiteral("KEN"));
        TypeAge(QStringLiteral("30"));
        Click(ui_.Button("nextButton"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered_->count(), 2);
        QVERIFY(earlierKey < RegisteredKey(0) && RegisteredKey(0) < RegisteredKey(1));
        QCOMPARE(form_->SubjectId(), QString::number(RegisteredKey(1)));  // the newest row
        QCOMPARE(NewSubjects(), size_t(3));
    }

    void aDatabaseFailureKeepsTheFormForAnotherTry() {
        OpenForm();
        station_->Refuse(QStringLiteral("INSERT"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("HANAKO"));
        TypeAge(QStringLiteral("33"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(2));
        QVERIFY2(prompter_->messages[0].text.startsWith(
                     QStringLiteral("Failed to operate database\n Error message:")),
                 qPrintable(prompter_->messages[0].text));
        QCOMPARE(prompter_->messages[1].text, kTryAgain);
        QCOMPARE(registered_->count(), 0);
        QVERIFY(form_->isVisible());
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("HANAKO"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("33"));
        QCOMPARE(form_->SubjectId(), QString());

        station_->Allow(QStringLiteral("INSERT"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered_->count(), 1);
        QCOMPARE(NewSubjects(), size_t(1));

        // A failed correction is reported the same way and keeps the old row.
        form_->SetSessionTestExists(true);
        station_->Refuse(QStringLiteral("UPDATE"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("<<<<<<KO"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(4));
        QCOMPARE(prompter_->messages[3].text, kTryAgain);
        QCOMPARE(registered_->count(), 1);
        QCOMPARE(StoredSubject(station_->Db(), RegisteredKey(0)),
                 QStringLiteral("HANAKO|U|1974|3|6|"));
    }

    void looksAsTheSubjectExpects() {
        OpenForm();
        QVERIFY(form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));
        for (const char* hidden : {"sexCombo", "handuseCombo", "hearingCombo"})
            QVERIFY(ui_.Combo(hidden)->isHidden());
        QVERIFY(ui_.Edit("notesEdit")->isHidden());

        // The faces resolve to the installed Japanese fonts at the sizes asked.
        const QString maru = QStringLiteral("MotoyaLMaru"), gothic = QStringLiteral("IPAPGothic");
        const std::tuple<QWidget*, QString, int> expected[] = {
            {ui_.Get<QLabel>("nameLabel"), maru, 20}, {ui_.Get<QLabel>("ageLabel"), maru, 20},
            {ui_.Button("backButton"), maru, 20},     {ui_.Button("nextButton"), maru, 20},
            {ui_.Get<QLabel>("hintLabel"), maru, 11}, {ui_.Edit("nameEdit"), gothic, 20},
            {ui_.Edit("ageEdit"), gothic, 30}};
        for (const auto& [widget, family, points] : expected) {
            const QFontInfo info(widget->font());
            QCOMPARE(info.family(), family);
            QCOMPARE(info.pointSize(), points);
        }
        QCOMPARE(InstalledFamilyFor(QStringLiteral("Arial")), QStringLiteral("Arial"));
    }
};

QTEST_MAIN(StationDialogsTest)
#include "StationDialogsTest.moc"
