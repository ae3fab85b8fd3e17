#include "app/analysis/KanaAnalyses.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/Prompter.h"
#include "app/analysis/ResultTableView.h"

namespace kestrune::app {
namespace {

QLineEdit* Field(QWidget* parent, const char* name, const QString& text = QString()) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QString Title(store::KanaAnalysisKind kind) {
    switch (kind) {
        case store::KanaAnalysisKind::Data:
            return QStringLiteral("カナデータを分析する");
        case store::KanaAnalysisKind::Segment:
            return QStringLiteral("カナデータを分析する（段）");
        case store::KanaAnalysisKind::Row:
            return QStringLiteral("カナデータを分析する（行）");
    }
    return {};
}

}  // namespace

CKanaAnalysisDlg::CKanaAnalysisDlg(store::KanaAnalysisKind kind, store::Database* db,
                                   Prompter& prompter, QWidget* parent)
    : QDialog(parent), kind_(kind), db_(db), prompter_(prompter) {
    setWindowTitle(Title(kind));
    auto* grid = new QGridLayout;
    int line = 0;
    if (kind == store::KanaAnalysisKind::Data) {
        kanaEdit_ = Field(this, "kanaEdit");
        grid->addWidget(new QLabel(QStringLiteral("検索するカナ"), this), line, 0);
        grid->addWidget(kanaEdit_, line++, 1);
    }
    dutyFromEdit_ = Field(this, "dutyFromEdit");
    dutyToEdit_ = Field(this, "dutyToEdit");
    otherEdit_ = Field(this, "otherEdit", QString::fromUtf8(analysis::kDefaultCondition));
    for (QLineEdit* edit : {kanaEdit_, dutyFromEdit_, dutyToEdit_})
        if (edit != nullptr) edit->setMinimumWidth(70);
    grid->addWidget(new QLabel(QStringLiteral("開始デューティ比"), this), line, 0);
    grid->addWidget(dutyFromEdit_, line, 1);
    grid->addWidget(new QLabel(QStringLiteral("終了デューティ比"), this), line, 2);
    grid->addWidget(dutyToEdit_, line, 3);
    // The note the station has always shown; a field holding 0 does restrict
    // (to 0), only an empty one leaves the limit out.
    grid->addWidget(new QLabel(QStringLiteral("（注意:　ゼロは　限定すないが意味する）"), this),
                    line++, 4);
    grid->addWidget(new QLabel(QStringLiteral("その他の条件"), this), line, 0);
    grid->addWidget(otherEdit_, line++, 1, 1, 4);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("resultList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(false);
    list_->header()->setStretchLastSection(false);
    ShowResultTable(list_, table_);

    auto* confirm = new QPushButton(QStringLiteral("確認"), this);
    confirm->setObjectName(QStringLiteral("okButton"));
    confirm->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("終了"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(confirm, &QPushButton::clicked, this, &CKanaAnalysisDlg::Run);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(confirm);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(kind == store::KanaAnalysisKind::Row ? 900 : 480, 520);
}

void CKanaAnalysisDlg::Run() {
    if (db_ == nullptr) {
        prompter_.Message(this, QStringLiteral("No database is connected."));
        return;
    }
    store::KanaAnalysisRequest request;
    request.kind = kind_;
    if (kanaEdit_ != nullptr) request.kana = kanaEdit_->text();
    request.dutyFrom = dutyFromEdit_->text();
    request.dutyTo = dutyToEdit_->text();
    request.other = otherEdit_->text();
    const store::KanaAnalysisOutcome outcome = store::RunKanaAnalysis(*db_, request);
    if (outcome.status == store::KanaAnalysisOutcome::Status::Done) {
        table_ = outcome.table;
    } else {
        // The list is cleared as the run starts; nothing is listed for a
        // run that ends with a message.
        table_.rows.clear();
        prompter_.Message(this, outcome.message);
    }
    ShowResultTable(list_, table_);
}

CSydataanalyse::CSydataanalyse(store::Database* db, Prompter& prompter, QWidget* parent)
    : CKanaAnalysisDlg(store::KanaAnalysisKind::Data, db, prompter, parent) {
    table_ = analysis::KanaDataTable({});
    table_.rows.clear();
    ShowResultTable(list_, table_);
    list_->header()->setSectionsClickable(true);
    connect(list_->header(), &QHeaderView::sectionClicked, this, &CSydataanalyse::SortByColumn);
}

void CSydataanalyse::SortByColumn(int column) {
    if (sort_.Click(column, table_)) ShowResultTable(list_, table_);
}

CSysegmentanalyse::CSysegmentanalyse(store::Database* db, Prompter& prompter, QWidget* parent)
    : CKanaAnalysisDlg(store::KanaAnalysisKind::Segment, db, prompter, parent) {
    table_ = analysis::SegmentTable({});
    table_.rows.clear();
    ShowResultTable(list_, table_);
}

CSyrowanalyse::CSyrowanalyse(store::Database* db, Prompter& prompter, QWidget* parent)
    : CKanaAnalysisDlg(store::KanaAnalysisKind::Row, db, prompter, parent) {
    table_ = analysis::RowTable({});
    table_.rows.clear();
    ShowResultTable(list_, table_);
}

}  // namespace kestrune::app
