#include "app/MainTestPanel.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Fonts.h"
#include "app/Prompter.h"
#include "app/StationFacts.h"
#include "app/StationLog.h"
#include "app/battery/Directions.h"
#include "audio/MixerControl.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"
#include "core/battery/VowelStimulus.h"
#include "core/util/Clock.h"
#include "sheet/SpreadSheet.h"
#include "sheet/StationSheet.h"

namespace kestrune::app {

namespace {

constexpr int kPracticeSubject = 1;
/** The entry form's hearing choice "知らない", stored as the self-evaluation
 *  of a practice run. */
constexpr int kHearingNotKnown = 6;
constexpr int kYoungestForSecondScenario = 46;

}  // namespace

QString SessionResultPath(const QString& stationFolder, const QString& fullName) {
    // The name is a file name here: a slash typed into it must not lead
    // the workbook out of the Data folder, nor control characters or
    // direction overrides make a name that shows other than it is.
    const QString file = QString::fromStdString(sheet::SafeFileName(fullName.toStdString()));
    return QDir(stationFolder).filePath(QStringLiteral("Data/") + file + QStringLiteral(".xls"));
}

QString SessionScenarioPath(const QString& stationFolder, bool practice, int age) {
    const char* name = practice                           ? "configtry.ini"
                       : age < kYoungestForSecondScenario ? "config1.ini"
                                                          : "config2.ini";
    return QDir(stationFolder).filePath(QString::fromLatin1(name));
}

bool WriteRegistrationRows(const QString& resultPath, const CInformation::Entries& entries,
                           std::time_t now, QString* error) {
    auto text = [](const QString& value) { return value.toStdString(); };
    // A subject registering again (back from the directions, or another
    // session under the same name) appends to the sheet already there.
    const std::vector<sheet::Row> rows{
        {text(entries.fullName) + " voice separation test result"},
        {""},
        {"記録時刻：", FormatLocalTime(now)},
        {"被験者名前：", text(entries.fullName)},
        {"性別：", text(entries.sex)},
        {"年齢：", text(entries.ageText)},
        {"利き側：", text(entries.handuse)},
        {"耳の聴力：", text(entries.hearing)},
        {"その他：", text(entries.notes)},
        {""},
        {""},
    };
    std::string failure;
    if (sheet::AppendRows(text(resultPath), "Result", {"a", "b", "c", "d", "e", "f", "g"}, rows,
                          &failure))
        return true;
    *error = QString::fromStdString(failure);
    return false;
}

bool WriteStationRows(store::Database& db, const QString& resultPath, const QString& stationFolder,
                      const QString& stationName, std::optional<int> volume, std::time_t now,
                      QString* error) {
    const sheet::StationFacts facts =
        GatherStationFacts(db, stationFolder, stationName, volume, now);
    if (!facts.calibrationProblem.empty()) {
        qCWarning(lcSession).noquote()
            << "calibration not read:" << QString::fromStdString(facts.calibrationProblem);
    }
    std::string failure;
    if (sheet::WriteStationSheet(resultPath.toStdString(), facts, &failure)) return true;
    *error = QString::fromStdString(failure);
    return false;
}

CMainTestPanel::CMainTestPanel(const Services& services, QWidget* parent)
    : QDialog(parent), services_(services) {
    setWindowTitle(QStringLiteral("聴力検査"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    auto* heading = new QLabel(QStringLiteral("脳内音声識別テスト"), this);
    heading->setObjectName(QStringLiteral("heading"));
    heading->setFont(FaceFont(kRoundedFace, 35));
    heading->setAlignment(Qt::AlignCenter);
    auto* description =
        new QLabel(QStringLiteral("ヘッドホンを掛けて，まず「練習」で操作に慣れてください。\n"
                                  "準備ができたら「テスト開始」を押してください。"),
                   this);
    description->setObjectName(QStringLiteral("description"));
    description->setFont(FaceFont(kRoundedFace, 22));
    description->setAlignment(Qt::AlignCenter);

    auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setFont(FaceFont(kRoundedFace, 20));
        b->setMinimumSize(220, 72);
        b->setAutoDefault(false);
        return b;
    };
    practiceButton_ = button(QStringLiteral("練習"), QStringLiteral("practiceButton"));
    sessionButton_ = button(QStringLiteral("テスト開始"), QStringLiteral("sessionButton"));
    connect(practiceButton_, &QPushButton::clicked, this, &CMainTestPanel::StartPractice);
    connect(sessionButton_, &QPushButton::clicked, this, &CMainTestPanel::StartSession);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(practiceButton_);
    buttons->addSpacing(48);
    buttons->addWidget(sessionButton_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 40, 48, 40);
    layout->setSpacing(32);
    layout->addWidget(heading);
    layout->addWidget(description);
    layout->addLayout(buttons);
}

CMainTestPanel::~CMainTestPanel() {
    // A session still open when the program ends: its windows have no parent.
    delete sessionTest_.data();
    delete entryForm_.data();
}

CDirections* CMainTestPanel::SessionDirections() const {
    return sessionTest_ ? sessionTest_->Directions() : nullptr;
}

void CMainTestPanel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    practiceButton_->setFocus();
}

void CMainTestPanel::reject() {
    if (!services_.prompter.Confirm(this, kQuitQuestion)) return;
    QDialog::reject();
}

VowelTestServices CMainTestPanel::TestServices() const {
    return VowelTestServices{services_.db,           services_.prompter, *services_.sound,
                             services_.clock,        services_.random,   services_.timers,
                             services_.stationFolder};
}

bool CMainTestPanel::SoundAvailable() {
    if (services_.sound != nullptr) return true;
    services_.prompter.Message(this, QString::fromUtf8(kAudioOutputErrorMessage));
    return false;
}

void CMainTestPanel::StartPractice() {
    if (!SoundAvailable()) return;
    VowelTestSetup setup;
    setup.subjectId = kPracticeSubject;
    setup.scenarioPath = SessionScenarioPath(services_.stationFolder, true, 0);
    setup.selfEvaluation = kHearingNotKnown;
    qCInfo(lcSession).noquote() << "practice started:" << setup.scenarioPath;
    CAutoTest6 test(TestServices(), setup);
    if (!test.Loaded()) return;
    hide();
    test.RunModal();
    show();
    qCInfo(lcSession) << "practice ended";
}

void CMainTestPanel::StartSession() {
    if (!SoundAvailable()) return;
    hide();
    if (!entryForm_) {
        entryForm_ = new CInformation(services_.db, services_.clock, services_.prompter);
        entryForm_->SetBeforeRegistering([this](int age) { return SessionScenarioUsable(age); });
        connect(entryForm_, &CInformation::registered, this, &CMainTestPanel::OnRegistered);
        connect(entryForm_, &CInformation::backRequested, this, &CMainTestPanel::OnBackToPanel);
        connect(entryForm_, &CInformation::sessionEndRequested, this, &CMainTestPanel::EndSession);
    }
    entryForm_->show();
    entryForm_->raise();
    entryForm_->activateWindow();
    practiceButton_->setEnabled(false);
    qCInfo(lcSession) << "session started";
}

bool CMainTestPanel::SessionScenarioUsable(int age) {
    const QString path = SessionScenarioPath(services_.stationFolder, false, age);
    const auto refusal = CheckVowelScenario(Scenario::Load(path.toStdString()), path.toStdString());
    if (!refusal) return true;
    const QString text = QString::fromStdString(*refusal);
    qCWarning(lcSession).noquote() << "scenario refused before registration:" << text;
    services_.prompter.Message(entryForm_, text);
    return false;
}

void CMainTestPanel::OnBackToPanel() {
    show();
}

void CMainTestPanel::OnRegistered(qint64 subjectId) {
    const CInformation::Entries entries = entryForm_->Current();
    resultPath_ = SessionResultPath(services_.stationFolder, entries.fullName);
    qCInfo(lcSession).noquote() << "subject registered: key" << subjectId << "workbook"
                                << resultPath_;
    QString error;
    const std::time_t now = services_.clock.Now();
    const std::optional<int> volume =
        services_.speakerVolume ? services_.speakerVolume() : audio::ReadSpeakerVolumePercent();
    if (!WriteRegistrationRows(resultPath_, entries, now, &error) ||
        !WriteStationRows(services_.db, resultPath_, services_.stationFolder, services_.stationName,
                          volume, now, &error)) {
        qCWarning(lcSession).noquote() << "workbook not written:" << resultPath_ << "-" << error;
        services_.prompter.Message(entryForm_, error);
    }
    entryForm_->hide();
    // From now on "次へ　＞" corrects this subject's row rather than adding
    // another, also when the test below cannot be opened.
    entryForm_->SetSessionTestExists(true);

    const QString scenarioPath = SessionScenarioPath(services_.stationFolder, false, entries.age);
    if (sessionTest_ && sessionTest_->Setup().scenarioPath != scenarioPath &&
        (!sessionTest_->Session() || sessionTest_->Session()->AnswersGiven() == 0)) {
        // The corrected age belongs to the other scenario and nothing has
        // been answered yet: the test is made anew on that scenario.
        qCInfo(lcSession).noquote()
            << "age corrected before the first answer: scenario" << scenarioPath;
        delete sessionTest_.data();
    }
    if (sessionTest_) {
        sessionTest_->UpdateSubject(entries.age, resultPath_);
        if (CDirections* directions = sessionTest_->Directions()) directions->show();
        return;
    }
    VowelTestSetup setup;
    setup.subjectId = static_cast<int>(subjectId);
    setup.age = entries.age;
    setup.scenarioPath = scenarioPath;
    setup.selfEvaluation = entries.hearingCode;
    setup.resultPath = resultPath_;
    setup.session = true;
    sessionTest_ = new CAutoTest6(TestServices(), setup);
    if (!sessionTest_->Loaded()) {
        // The scenario message has been shown; the subject is back at the form.
        delete sessionTest_.data();
        entryForm_->show();
        return;
    }
    connect(sessionTest_, &CAutoTest6::backRequested, this, &CMainTestPanel::OnBackToEntryForm);
    connect(sessionTest_, &CAutoTest6::sessionEndRequested, this, &CMainTestPanel::EndSession);
}

void CMainTestPanel::OnBackToEntryForm() {
    if (entryForm_) entryForm_->show();
}

void CMainTestPanel::EndSession() {
    qCInfo(lcSession) << "session ended";
    // Called from the handlers of the windows going away: they are deleted
    // once those handlers have returned.
    for (QWidget* window : std::initializer_list<QWidget*>{sessionTest_, entryForm_}) {
        if (window == nullptr) continue;
        window->hide();
        window->deleteLater();
    }
    sessionTest_.clear();
    entryForm_.clear();
    resultPath_.clear();
    practiceButton_->setEnabled(true);
    show();
}

}  // namespace kestrune::app
