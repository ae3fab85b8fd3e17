#include "app/Mixer.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/DialogButtons.h"
#include "app/Fonts.h"
#include "app/Prompter.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

namespace {

constexpr int kRowHeight = 25;

QString WeightText(double weight) {
    return QString::asprintf("%f", weight);
}

QListWidget* MakeList(const char* objectName, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setMinimumWidth(150);
    return list;
}

void AddRow(QListWidget* list, const QString& text) {
    auto* item = new QListWidgetItem(text, list);
    item->setSizeHint(QSize(0, kRowHeight));
}

}  // namespace

CMixer::CMixer(const QStringList& names, Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
    setWindowTitle(QStringLiteral("音声を混合する"));

    nameList_ = MakeList("nameList", this);
    weightList_ = MakeList("weightList", this);
    weightList_->setFont(FaceFont(kGothicFace, 15));
    for (const QString& name : names) {
        AddRow(nameList_, name);
        AddRow(weightList_, WeightText(1.0));
    }
    // The two lists select the same row.
    connect(nameList_, &QListWidget::currentRowChanged, weightList_,
            qOverload<int>(&QListWidget::setCurrentRow));
    connect(weightList_, &QListWidget::currentRowChanged, nameList_,
            qOverload<int>(&QListWidget::setCurrentRow));
    connect(weightList_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { EditWeight(weightList_->row(item)); });

    weightEdit_ = new QLineEdit(weightList_->viewport());
    weightEdit_->setObjectName(QStringLiteral("weightEdit"));
    weightEdit_->setFont(FaceFont(kGothicFace, 15));
    weightEdit_->hide();
    // Return or leaving the edit (even unchanged) ends the editing.
    connect(weightEdit_, &QLineEdit::returnPressed, this, &CMixer::CommitWeight);
    weightEdit_->installEventFilter(this);

    normalization_ = new QCheckBox(QStringLiteral("Normalization"), this);
    normalization_->setObjectName(QStringLiteral("normalizationCheck"));
    auto* style = new QGroupBox(QStringLiteral("Style"), this);
    addMode_ = new QRadioButton(QStringLiteral("Add"), style);
    addMode_->setObjectName(QStringLiteral("addRadio"));
    mixMode_ = new QRadioButton(QStringLiteral("Mix"), style);
    mixMode_->setObjectName(QStringLiteral("mixRadio"));
    auto* styleLayout = new QVBoxLayout(style);
    styleLayout->addWidget(addMode_);
    styleLayout->addWidget(mixMode_);
    addMode_->setChecked(true);
    connect(addMode_, &QRadioButton::toggled, this, &CMixer::UpdateStyle);
    note_ = new QLabel(QStringLiteral("(Only the first two audio can be mixed)"), this);
    note_->setObjectName(QStringLiteral("mixNote"));

    const auto [ok, cancel] = OkCancelButtons<CMixer>(this, &CMixer::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ファイルの名前"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("重み"), this), 0, 1);
    layout->addWidget(nameList_, 1, 0, 4, 1);
    layout->addWidget(weightList_, 1, 1, 4, 1);
    layout->addWidget(normalization_, 1, 2);
    layout->addWidget(style, 2, 2);
    layout->addWidget(note_, 3, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 3, 5, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    UpdateStyle();
}

void CMixer::UpdateStyle() {
    const bool add = addMode_->isChecked();
    normalization_->setEnabled(add);
    note_->setEnabled(!add);
}

void CMixer::EditWeight(int row) {
    if (row < 0) return;
    CommitWeight();
    editedRow_ = row;
    weightEdit_->setGeometry(weightList_->visualItemRect(weightList_->item(row)));
    weightEdit_->setText(weightList_->item(row)->text());
    weightEdit_->show();
    weightEdit_->setFocus();
    weightEdit_->selectAll();
}

void CMixer::CommitWeight() {
    if (editedRow_ < 0) return;
    const double weight = LeadingReal(weightEdit_->text().toStdString());
    weightList_->item(editedRow_)->setText(WeightText(weight));
    editedRow_ = -1;
    weightEdit_->hide();
}

bool CMixer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == weightEdit_ && event->type() == QEvent::FocusOut) CommitWeight();
    return QDialog::eventFilter(watched, event);
}

std::vector<double> CMixer::Weights() const {
    std::vector<double> weights;
    for (int row = 0; row < weightList_->count(); ++row)
        weights.push_back(LeadingReal(weightList_->item(row)->text().toStdString()));
    return weights;
}

edits::MixMode CMixer::Mode() const {
    return addMode_->isChecked() ? edits::MixMode::Add : edits::MixMode::Mix;
}

void CMixer::accept() {
    CommitWeight();
    if (Mode() == edits::MixMode::Add && normalization_->isChecked() &&
        !edits::WeightsNormalised(Weights())) {
        prompter_.Message(this, QString::fromLatin1(edits::kWeightsSumMessage));
        return;
    }
    QDialog::accept();
}

}  // namespace kestrune::app
