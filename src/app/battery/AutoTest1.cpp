#include "app/battery/AutoTest1.h"

#include <QButtonGroup>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/IndividualInformation.h"
#include "app/Prompter.h"
#include "app/battery/TestDispatcher.h"
#include "core/ini/IniFile.h"
#include "core/text/Numbers.h"
#include "store/Registry.h"

namespace kestrune::app {

namespace {

/** The self-evaluation choices, 1 to 5. */
const QString kEvaluations[] = {
    QStringLiteral("非常によい"), QStringLiteral("よい"),           QStringLiteral("普通"),
    QStringLiteral("よくない"),   QStringLiteral("非常によくない"),
};

/** A file that can be opened for reading as text (a folder cannot). */
bool CanBeRead(const QString& path) {
    if (QFileInfo(path).isDir()) return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Text);
}

}  // namespace

std::unique_ptr<FileChooser> MakeScenarioFileChooser() {
    return std::make_unique<DialogFileChooser>(kScenarioFileFilter, QStringLiteral("ini"));
}

CAutoTest1::CAutoTest1(store::Database& db, Prompter& prompter, FileChooser& scenarioChooser,
                       TestDispatcher& dispatcher, QWidget* parent)
    : QDialog(parent),
      db_(db),
      prompter_(prompter),
      scenarioChooser_(scenarioChooser),
      dispatcher_(dispatcher) {
    setWindowTitle(QStringLiteral("設定"));

    auto makeButton = [this](const QString& caption, const char* name) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        return button;
    };

    idEdit_ = new QLineEdit(this);
    idEdit_->setObjectName(QStringLiteral("idEdit"));
    QPushButton* search = makeButton(QStringLiteral("検索"), "searchButton");
    pathEdit_ = new QLineEdit(this);
    pathEdit_->setObjectName(QStringLiteral("pathEdit"));
    pathEdit_->setMinimumWidth(340);
    QPushButton* browse = makeButton(QStringLiteral("参照"), "browseButton");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("被験者ID"), this), 0, 0);
    fields->addWidget(idEdit_, 0, 1);
    fields->addWidget(search, 0, 2);
    fields->addWidget(new QLabel(QStringLiteral("設定ファイル"), this), 1, 0);
    fields->addWidget(pathEdit_, 1, 1);
    fields->addWidget(browse, 1, 2);

    auto* evaluationBox = new QGroupBox(QStringLiteral("自己評価"), this);
    auto* evaluationLayout = new QHBoxLayout(evaluationBox);
    evaluation_ = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(kEvaluations[i], evaluationBox);
        radio->setObjectName(QStringLiteral("evaluation%1").arg(i + 1));
        evaluation_->addButton(radio, i + 1);
        evaluationLayout->addWidget(radio);
    }

    QPushButton* start = makeButton(QStringLiteral("始める"), "startButton");
    start->setDefault(true);
    QPushButton* end = makeButton(QStringLiteral("終了"), "endButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start);
    buttons->addWidget(end);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(evaluationBox);
    layout->addLayout(buttons);

    connect(search, &QPushButton::clicked, this, &CAutoTest1::OnSearch);
    connect(browse, &QPushButton::clicked, this, &CAutoTest1::OnBrowse);
    connect(start, &QPushButton::clicked, this, &CAutoTest1::OnStart);
    connect(end, &QPushButton::clicked, this, &QDialog::reject);
}

int CAutoTest1::SelfEvaluation() const {
    int sum = 0;
    for (int i = 1; i <= 5; ++i) {
        if (evaluation_->button(i)->isChecked()) sum += i;
    }
    return sum;
}

void CAutoTest1::OnSearch() {
    CIndividualInformation registry(db_, prompter_, store::SubjectRegistry::AllSubjects(), this);
    registry.exec();
    // Whichever way the registry was closed, the ID it shows is taken over.
    idEdit_->setText(registry.SelectedId());
}

void CAutoTest1::OnBrowse() {
    const QString path = scenarioChooser_.ChooseOpenPath(this);
    if (!path.isEmpty()) pathEdit_->setText(path);
}

void CAutoTest1::OnStart() {
    const QString idText = idEdit_->text();
    const QString path = pathEdit_->text();
    if (idText.isEmpty()) {
        prompter_.Message(this, QStringLiteral("Please input your individual ID!"));
        return;
    }
    if (path.isEmpty()) {
        prompter_.Message(
            this, QStringLiteral("Please input the path and name of a configuration file!"));
        return;
    }

    const int subjectId = LeadingInt(idText.toStdString());
    store::SubjectRegistry registry(db_);
    const auto subject = registry.Load(subjectId);
    if (!subject.Ok()) {
        prompter_.Message(this, subject.error->Text());
        return;
    }
    if (!subject.value) {
        prompter_.Message(this, QStringLiteral("Invalid individual ID!"));
        return;
    }

    if (!CanBeRead(path)) {
        prompter_.Message(this,
                          QStringLiteral("Invalid path or file name!\nIt can not be opened!"));
        return;
    }

    const int selfEvaluation = SelfEvaluation();
    if (selfEvaluation == 0) {
        prompter_.Message(this, QStringLiteral("Please select a radio button correspondingly!"));
        return;
    }

    // The checks have passed: the launcher closes once the test is over,
    // whatever the scenario turns out to hold.
    const CIniFile scenario(QFile::encodeName(path).toStdString());
    const auto type = TestKindFor(scenario.ReadString("INFO", "TESTTYPE"));
    if (type) {
        dispatcher_.Run(*type, TestStart{subjectId, path, selfEvaluation}, this);
    } else {
        prompter_.Message(this, QStringLiteral("Invalid configuration file!"));
    }
    accept();
}

}  // namespace kestrune::app
