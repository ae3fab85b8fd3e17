// The test launcher "設定": every refusal with its message in the order the
// checks run, the TESTTYPE dispatch, the registry search and the scenario
// chooser. A fresh station database per test; the dispatcher records which
// test was started with what.

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

#include "AppTestSupport.h"
#include "app/IndividualInformation.h"
#include "app/battery/AutoTest1.h"
#include "app/battery/TestDispatcher.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

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

class FakeChooser final : public FileChooser {
  public:
    QString ChooseOpenPath(QWidget*) override {
        ++opened;
        return answer;
    }
    QString ChooseSavePath(QWidget*) override { qFatal("the launcher never saves"); }
    QString answer;
    int opened = 0;
};

const QString kNoId = QStringLiteral("Please input your individual ID!");
const QString kNoPath = QStringLiteral("Please input the path and name of a configuration file!");
const QString kBadId = QStringLiteral("Invalid individual ID!");
const QString kBadFile = QStringLiteral("Invalid path or file name!\nIt can not be opened!");
const QString kNoEvaluation = QStringLiteral("Please select a radio button correspondingly!");
const QString kBadType = QStringLiteral("Invalid configuration file!");

}  // namespace

class LauncherTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    FakeChooser chooser_;
    FakeDispatcher dispatcher_;
    std::unique_ptr<CAutoTest1> launcher_;
    Controls ui_;
    qint64 subject_ = 0;  ///< a registered subject's IIID

    QString Scenario(const QString& name, const QByteArray& text) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
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

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        dispatcher_ = FakeDispatcher();
        chooser_ = FakeChooser();
        store::Subject someone;
        someone.name = QStringLiteral("TARO YAMADA");
        someone.birthYear = 1970;
        const auto added = store::SubjectRegistry(station_->Db()).Add(someone);
        QVERIFY(added.Ok());
        subject_ = added.value;
        launcher_ = std::make_unique<CAutoTest1>(station_->Db(), *prompter_, chooser_, dispatcher_);
        ui_.window = launcher_.get();
        launcher_->show();
        QVERIFY(QTest::qWaitForWindowExposed(launcher_.get()));
    }
    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        launcher_.reset();
        station_.reset();
    }

    void showsItsControls() {
        QCOMPARE(launcher_->windowTitle(), QStringLiteral("設定"));
        const QString captions[] = {QStringLiteral("非常によい"), QStringLiteral("よい"),
                                    QStringLiteral("普通"), QStringLiteral("よくない"),
                                    QStringLiteral("非常によくない")};
        for (int i = 0; i < 5; ++i) {
            auto* radio =
                ui_.Get<QRadioButton>(qPrintable(QStringLiteral("evaluation%1").arg(i + 1)));
            QCOMPARE(radio->text(), captions[i]);
            QVERIFY(!radio->isChecked());
        }
        QCOMPARE(ui_.Button("searchButton")->text(), QStringLiteral("検索"));
        QCOMPARE(ui_.Button("browseButton")->text(), QStringLiteral("参照"));
        QCOMPARE(ui_.Button("startButton")->text(), QStringLiteral("始める"));
        QCOMPARE(ui_.Button("endButton")->text(), QStringLiteral("終了"));
        QCOMPARE(launcher_->SelfEvaluation(), 0);
    }

    // Each row breaks exactly one check and also every later one, so the
    // message shown proves the order of the checks.
    void refusesBadInputInOrder_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("path");  // "@x": the file x in the test folder
        QTest::addColumn<int>("evaluation");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* id, const char* path, int evaluation,
                            const QString& message) {
            QTest::newRow(name) << QString(id) << QString(path) << evaluation << message;
        };
        row("nothing", "", "", 0, kNoId);
        row("no ID", "", "@good.ini", 3, kNoId);
        row("no path", "@subject", "", 0, kNoPath);
        row("blank path is a path", "@subject", " ", 2, kBadFile);
        row("unknown subject", "999999", "@missing.ini", 0, kBadId);
        row("ID not a number", "abc", "@missing.ini", 0, kBadId);
        row("negative ID", "-1", "@good.ini", 1, kBadId);
        row("missing file", "@subject", "@missing.ini", 0, kBadFile);
        row("folder", "@subject", "@", 0, kBadFile);
        row("no evaluation", "@subject", "@good.ini", 0, kNoEvaluation);
        row("ID with trailing text", "@subject番", "@good.ini", 0, kNoEvaluation);
    }
    void refusesBadInputInOrder() {
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

    void refusesAnUnknownTestTypeAndCloses_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("lower case") << QByteArray("[INFO]\r\nTESTTYPE=single\r\nTOTAL=3\r\n");
        QTest::newRow("mixed case") << QByteArray("[INFO]\r\nTESTTYPE=Single\r\n");
        QTest::newRow("trailing blank") << QByteArray("[INFO]\r\nTESTTYPE=SINGLE \r\n");
        QTest::newRow("written Notfound") << QByteArray("[INFO]\r\nTESTTYPE=Notfound\r\n");
        QTest::newRow("no key") << QByteArray("[INFO]\r\nTOTAL=3\r\n");
        QTest::newRow("no INFO section") << QByteArray("[DATA1]\r\nTESTTYPE=SINGLE\r\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("other type") << QByteArray("[INFO]\r\nTESTTYPE=MASKANALYSE\r\n");
    }
    void refusesAnUnknownTestTypeAndCloses() {
        QFETCH(QByteArray, text);
        Fill(QString::number(subject_), Scenario(QStringLiteral("s.ini"), text), 2);
        Start();
        QCOMPARE(prompter_->MessageTexts(), QStringList{kBadType});
        QVERIFY(dispatcher_.started.empty());
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Accepted));
    }

    void startsTheTestTheScenarioNames_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<TestKind>("type");
        QTest::addColumn<int>("evaluation");
        QTest::newRow("SINGLE") << QByteArray("SINGLE") << TestKind::SentenceRecognition << 1;
        QTest::newRow("TIME") << QByteArray("TIME") << TestKind::TimeListening << 2;
        QTest::newRow("SYLLABLE") << QByteArray("SYLLABLE") << TestKind::InterruptedSpeech << 3;
        QTest::newRow("SYLLABLEMASKING")
            << QByteArray("SYLLABLEMASKING") << TestKind::SyllableMasking << 4;
        QTest::newRow("NEWSYLLABLEMASKING")
            << QByteArray("NEWSYLLABLEMASKING") << TestKind::VowelDiscrimination << 5;
        QTest::newRow("SYLLABLESPEEDUP")
            << QByteArray("SYLLABLESPEEDUP") << TestKind::SpeededSyllable << 1;
        QTest::newRow("PLAY") << QByteArray("PLAY") << TestKind::AudioPresentation << 3;
    }
    void startsTheTestTheScenarioNames() {
        QFETCH(QByteArray, name);
        QFETCH(TestKind, type);
        QFETCH(int, evaluation);
        // LF line ends and a comment; the key found in INFO, not in an item.
        const QString path =
            Scenario(QStringLiteral("test.Ini"), "[INFO]\nTOTAL=2 ; two items\nTESTTYPE=" + name +
                                                     "\n[DATA1]\nTESTTYPE=PLAY\n");
        Fill(QStringLiteral(" ") + QString::number(subject_) + QStringLiteral("xyz"), path,
             evaluation);
        QCOMPARE(launcher_->SelfEvaluation(), evaluation);
        Start();
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(dispatcher_.started.size(), size_t{1});
        const Started& started = dispatcher_.started.front();
        QVERIFY(started.type == type);
        QCOMPARE(started.start.subjectId, int(subject_));
        QCOMPARE(started.start.scenarioPath, path);
        QCOMPARE(started.start.selfEvaluation, evaluation);
        QCOMPARE(started.parent, launcher_.get());
        QVERIFY(dispatcher_.launcherVisibleWhileRunning);  // closes only after the test
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Accepted));
    }

    void endClosesWithoutStarting() {
        Fill(QString::number(subject_),
             Scenario(QStringLiteral("a.ini"), "[INFO]\nTESTTYPE=TIME\n"), 1);
        Click(ui_.Button("endButton"));
        QVERIFY(!launcher_->isVisible());
        QCOMPARE(launcher_->result(), int(QDialog::Rejected));
        QVERIFY(dispatcher_.started.empty());
        QVERIFY(prompter_->messages.empty());
    }

    void browseFillsThePathOnlyWhenChosen() {
        Type(ui_.Edit("pathEdit"), QStringLiteral("/old/one.ini"));
        chooser_.answer.clear();  // cancelled
        Click(ui_.Button("browseButton"));
        QCOMPARE(ui_.Edit("pathEdit")->text(), QStringLiteral("/old/one.ini"));
        chooser_.answer = QStringLiteral("/station/シナリオ/time test.Ini");
        Click(ui_.Button("browseButton"));
        QCOMPARE(ui_.Edit("pathEdit")->text(), QStringLiteral("/station/シナリオ/time test.Ini"));
        QCOMPARE(chooser_.opened, 2);
    }

    void searchTakesTheRegistrysIdHoweverItCloses_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("close box") << true;
        QTest::newRow("accepted") << false;
    }
    void searchTakesTheRegistrysIdHoweverItCloses() {
        QFETCH(bool, closeBox);
        store::Subject other;
        other.name = QStringLiteral("HANAKO SATO");
        const auto added = store::SubjectRegistry(station_->Db()).Add(other);
        QVERIFY(added.Ok());
        bool sawRegistry = false;
        QStringList listed;
        // The registry is modal: whatever it lists, pick the last row and
        // close it, so that a wrong listing fails below instead of leaving
        // the dialog open for ever.
        QTimer::singleShot(0, this, [&] {
            auto* registry =
                qobject_cast<CIndividualInformation*>(QApplication::activeModalWidget());
            if (registry == nullptr) return;
            sawRegistry = true;
            const Controls regUi{registry};
            listed = Rows(regUi.List());
            if (!listed.isEmpty()) ClickRow(regUi.List(), int(listed.size()) - 1);
            if (closeBox)
                registry->close();
            else
                registry->accept();
        });
        Click(ui_.Button("searchButton"));
        QVERIFY(sawRegistry);
        // Listed with the standard listing: every subject in key order, the
        // practice subject first.
        QCOMPARE(listed,
                 QStringList({QStringLiteral("1|PRACTICE"),
                              QString::number(subject_) + QStringLiteral("|TARO YAMADA"),
                              QString::number(added.value) + QStringLiteral("|HANAKO SATO")}));
        QCOMPARE(ui_.Edit("idEdit")->text(), QString::number(added.value));
    }

    void thisVersionSaysWhichTestsAreNotAvailable() {
        UnavailableTestDispatcher real(*prompter_);
        real.Run(TestKind::VowelDiscrimination, TestStart{1, QStringLiteral("x.ini"), 3},
                 launcher_.get());
        real.Run(TestKind::AudioPresentation, TestStart{}, nullptr);
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({"NEWSYLLABLEMASKING tests are not available in this version",
                              "PLAY tests are not available in this version"}));
    }
};

QTEST_MAIN(LauncherTest)
#include "LauncherTest.moc"
