#include "app/RegistryDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Prompter.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

namespace {

constexpr int kKeyRole = Qt::UserRole;  ///< the record's key (absent on the placeholder)
constexpr int kPlaceholderRole = Qt::UserRole + 1;  ///< true on the placeholder row

const QString kNewCaption = QStringLiteral("New");
const QString kSaveCaption = QStringLiteral("Save");

QPushButton* MakeButton(const QString& caption, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Return in a field must not press "New" or "削除" behind the user's back.
    button->setAutoDefault(false);
    return button;
}

/** The record key a row stands for, or 0 for the placeholder. */
qint64 KeyOf(const QTreeWidgetItem* row) {
    const QVariant key = row->data(0, kKeyRole);
    return key.isValid() ? key.toLongLong() : 0;
}

void SetEntry(QTreeWidgetItem* row, qint64 id, const QString& text) {
    row->setText(0, QString::number(id));
    row->setText(1, text);
    row->setData(0, kKeyRole, id);
    row->setData(0, kPlaceholderRole, QVariant());
}

}  // namespace

RegistryDialog::RegistryDialog(Prompter& prompter, const Texts& texts, QWidget* parent)
    : QDialog(parent), prompter_(prompter), texts_(texts) {
    setWindowTitle(texts_.title);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("ID"), texts_.textColumn});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(0, 70);
    list_->setMinimumWidth(320);

    searchEdit_ = new QLineEdit(this);
    searchEdit_->setObjectName(QStringLiteral("searchEdit"));
    searchButton_ = MakeButton(QStringLiteral("検索"), QStringLiteral("searchButton"), this);
    auto* searchLabel = new QLabel(texts_.searchLabel, this);
    searchLabel->setBuddy(searchEdit_);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchEdit_, 1);
    searchRow->addWidget(searchButton_);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(list_, 1);
    listColumn->addLayout(searchRow);

    idEdit_ = new QLineEdit(this);
    idEdit_->setObjectName(QStringLiteral("idEdit"));
    idEdit_->setReadOnly(true);
    auto* fields = new QGroupBox(this);
    fields->setMinimumWidth(380);  // room for a whole path or sentence
    fieldForm_ = new QFormLayout(fields);
    fieldForm_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    fieldForm_->addRow(QStringLiteral("ID"), idEdit_);

    auto* body = new QHBoxLayout;
    body->addLayout(listColumn, 3);
    body->addWidget(fields, 2);

    newButton_ = MakeButton(kNewCaption, QStringLiteral("newButton"), this);
    deleteButton_ = MakeButton(QStringLiteral("削除"), QStringLiteral("deleteButton"), this);
    updateButton_ = MakeButton(QStringLiteral("更新"), QStringLiteral("updateButton"), this);
    okButton_ = MakeButton(QStringLiteral("確認"), QStringLiteral("okButton"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newButton_);
    buttons->addWidget(deleteButton_);
    buttons->addWidget(updateButton_);
    buttons->addStretch(1);
    buttons->addWidget(okButton_);

    auto* top = new QVBoxLayout(this);
    top->addLayout(body, 1);
    top->addLayout(buttons);
    resize(820, 440);

    connect(list_, &QTreeWidget::itemSelectionChanged, this, &RegistryDialog::OnSelectionChanged);
    connect(newButton_, &QPushButton::clicked, this, &RegistryDialog::OnNew);
    connect(deleteButton_, &QPushButton::clicked, this, &RegistryDialog::OnDelete);
    connect(updateButton_, &QPushButton::clicked, this, &RegistryDialog::OnUpdate);
    connect(searchButton_, &QPushButton::clicked, this, &RegistryDialog::OnSearch);
    connect(searchEdit_, &QLineEdit::returnPressed, this, &RegistryDialog::OnSearch);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

QString RegistryDialog::SelectedId() const {
    return idEdit_->text();
}

QLineEdit* RegistryDialog::AddEditField(const QString& label, const QString& objectName) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    fieldForm_->addRow(label, edit);
    // textEdited, not textChanged: showing a record must not count as an edit.
    connect(edit, &QLineEdit::textEdited, this, &RegistryDialog::OnFieldEdited);
    return edit;
}

QComboBox* RegistryDialog::AddComboField(const QString& label, const QString& objectName,
                                         const QStringList& items) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(objectName);
    combo->addItems(items);
    fieldForm_->addRow(label, combo);
    // activated, not currentIndexChanged: only the user's choice counts.
    connect(combo, &QComboBox::activated, this, &RegistryDialog::OnFieldEdited);
    return combo;
}

int RegistryDialog::IntOf(const QLineEdit* edit) {
    return LeadingInt(edit->text().toStdString());
}

void RegistryDialog::Populate(const store::Statement& listing) {
    const auto rows = ListRecords(listing);
    if (!rows.Ok()) {
        ShowError(*rows.error);
        return;
    }
    const QSignalBlocker quiet(list_);
    for (const auto& entry : rows.value) SetEntry(new QTreeWidgetItem(list_), entry.id, entry.text);
}

void RegistryDialog::OnSelectionChanged() {
    updateButton_->setEnabled(false);
    if (saving_) return;
    QTreeWidgetItem* row = SelectedRow();
    if (row == nullptr) {
        deleteButton_->setEnabled(false);
        idEdit_->clear();
        ClearFields();
        return;
    }
    deleteButton_->setEnabled(true);
    const qint64 id = KeyOf(row);
    const auto shown = ShowRecord(id);
    if (!shown.Ok()) {
        ShowError(*shown.error);
        return;
    }
    if (!shown.value) {
        // Deleted elsewhere since the list was filled: nothing to show.
        idEdit_->clear();
        ClearFields();
        return;
    }
    idEdit_->setText(QString::number(id));
}

void RegistryDialog::OnFieldEdited() {
    if (!saving_) updateButton_->setEnabled(true);
}

void RegistryDialog::OnNew() {
    if (saving_) {
        SaveNewRecord();
    } else {
        EnterNewRecord();
    }
}

void RegistryDialog::EnterNewRecord() {
    saving_ = true;
    newButton_->setText(kSaveCaption);
    deleteButton_->setEnabled(false);
    updateButton_->setEnabled(false);
    auto* placeholder =
        new QTreeWidgetItem(list_, {QStringLiteral("New ID"), texts_.placeholderText});
    placeholder->setData(0, kPlaceholderRole, true);
    idEdit_->clear();
    ClearFields();
}

void RegistryDialog::SaveNewRecord() {
    saving_ = false;
    newButton_->setText(kNewCaption);
    const QString text = ListText();
    const auto added = AddRecord();
    QTreeWidgetItem* row = PlaceholderRow();
    if (!added.Ok()) {
        ShowError(*added.error);
        {
            const QSignalBlocker quiet(list_);
            delete row;
        }
        if (list_->topLevelItemCount() > 0) SelectRow(list_->topLevelItem(0));
        return;
    }
    idEdit_->setText(QString::number(added.value));
    // A search while entering replaces the list, placeholder included.
    if (row == nullptr) row = new QTreeWidgetItem(list_);
    SetEntry(row, added.value, text);
    SelectRow(row);
}

void RegistryDialog::OnDelete() {
    if (const QTreeWidgetItem* row = SelectedRow(); row != nullptr && KeyOf(row) != 0) {
        if (const QString reserved = ReservedRecord(KeyOf(row)); !reserved.isEmpty()) {
            prompter_.Message(this, reserved);
            return;
        }
    }
    if (!prompter_.Confirm(this, QStringLiteral("Are you sure to delete the selected record?"))) {
        return;
    }
    QTreeWidgetItem* row = SelectedRow();
    if (row == nullptr || KeyOf(row) == 0) {
        prompter_.Message(this, QStringLiteral("No record is selected to delete!"));
        deleteButton_->setEnabled(false);
        return;
    }
    const auto removed = RemoveRecord(KeyOf(row));
    if (!removed.Ok()) {
        ShowError(*removed.error);
        return;
    }
    const int index = list_->indexOfTopLevelItem(row);
    {
        const QSignalBlocker quiet(list_);
        delete row;
    }
    if (list_->topLevelItemCount() > 0) {
        SelectRow(list_->topLevelItem(std::max(index - 1, 0)));
    } else {
        OnSelectionChanged();  // nothing is selected any more
    }
    list_->setFocus();
}

void RegistryDialog::OnUpdate() {
    if (const QTreeWidgetItem* row = SelectedRow(); row != nullptr && KeyOf(row) != 0) {
        if (const QString reserved = ReservedRecord(KeyOf(row)); !reserved.isEmpty()) {
            prompter_.Message(this, reserved);
            return;
        }
    }
    if (!prompter_.Confirm(this, QStringLiteral("Are you sure to update the selected record?"))) {
        return;
    }
    const QString noRecord = QStringLiteral("No record is selected to update!");
    QTreeWidgetItem* row = SelectedRow();
    if (row == nullptr || KeyOf(row) == 0) {
        prompter_.Message(this, noRecord);
        return;
    }
    const QString text = ListText();
    const auto updated = UpdateRecord(KeyOf(row));
    if (!updated.Ok()) {
        ShowError(*updated.error);
        return;
    }
    if (!updated.value) {  // deleted elsewhere since it was selected
        prompter_.Message(this, noRecord);
        return;
    }
    updateButton_->setEnabled(false);
    row->setText(1, text);
    SelectRow(row);
}

void RegistryDialog::OnSearch() {
    const auto found = SearchRecords(searchEdit_->text());
    if (!found.Ok()) {
        ShowError(*found.error);
        return;
    }
    if (found.value.empty()) {
        prompter_.Message(this, texts_.notFound);
        return;
    }
    ReplaceRows(found.value);
}

QTreeWidgetItem* RegistryDialog::SelectedRow() const {
    const auto rows = list_->selectedItems();
    return rows.isEmpty() ? nullptr : rows.front();
}

QTreeWidgetItem* RegistryDialog::PlaceholderRow() const {
    for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        if (row->data(0, kPlaceholderRole).toBool()) return row;
    }
    return nullptr;
}

void RegistryDialog::SelectRow(QTreeWidgetItem* row) {
    {
        // One selection step, shown once below, even when the row already was
        // the selected one.
        const QSignalBlocker quiet(list_);
        list_->clearSelection();
        list_->setCurrentItem(row);
        row->setSelected(true);
    }
    list_->scrollToItem(row);
    list_->setFocus();
    OnSelectionChanged();
}

void RegistryDialog::ReplaceRows(const std::vector<store::ListEntry>& entries) {
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        for (const auto& entry : entries) {
            SetEntry(new QTreeWidgetItem(list_), entry.id, entry.text);
        }
    }
    OnSelectionChanged();
}

void RegistryDialog::ShowError(const store::DbError& error) {
    prompter_.Message(this, error.Text());
}

}  // namespace kestrune::app
