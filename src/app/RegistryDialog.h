#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

#include "store/Database.h"
#include "store/Registry.h"

class QComboBox;
class QFormLayout;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrune::app {

class Prompter;

/**
 * What the subject and the audio material registries share: a two-column
 * list of records (key and one text), the read-only key field, the "New" /
 * "Save" button whose caption is the dialog's mode, delete, update and
 * search with their confirmations, and the upkeep of the list. A subclass
 * adds its record fields with AddEditField and AddComboField and supplies
 * the registry calls.
 *
 * Mode "New" is browsing: selecting a row shows its record, and editing a
 * field enables "更新". Mode "Save" is entering a new record: a placeholder
 * row stands at the end of the list and selecting rows leaves the fields
 * alone until "Save" inserts the record.
 */
class RegistryDialog : public QDialog {
    Q_OBJECT

  public:
    /** The key in the ID field: what an opener reads after the dialog closed. */
    QString SelectedId() const;

  protected:
    /** The texts that differ between the registries. */
    struct Texts {
        QString title;            ///< window title
        QString textColumn;       ///< caption of the list's second column
        QString placeholderText;  ///< second column of the placeholder row
        QString searchLabel;      ///< caption of the search field
        QString notFound;         ///< message when a search finds nothing
    };

    RegistryDialog(Prompter& prompter, const Texts& texts, QWidget* parent);

    /** Adds a record field below the ID field. A user edit of a record field
     *  in mode "New" enables "更新". */
    QLineEdit* AddEditField(const QString& label, const QString& objectName);
    QComboBox* AddComboField(const QString& label, const QString& objectName,
                             const QStringList& items);
    /** Fills the list from the opener's listing; a subclass calls it last in
     *  its constructor, once its fields exist. */
    void Populate(const store::Statement& listing);

    /** Leading decimal integer of an edit's text (0 when there is none). */
    static int IntOf(const QLineEdit* edit);

    // The parts each registry supplies.
    /** Empties every field except the key and sets the combos to their first item. */
    virtual void ClearFields() = 0;
    /** The field the list shows beside the key. */
    virtual QString ListText() const = 0;
    virtual store::DbResult<std::vector<store::ListEntry>> ListRecords(
        const store::Statement& listing) = 0;
    virtual store::DbResult<std::vector<store::ListEntry>> SearchRecords(const QString& part) = 0;
    /** Loads the record into the fields; false when there is no such record. */
    virtual store::DbResult<bool> ShowRecord(qint64 id) = 0;
    /** Inserts the fields as a new record and returns its key. */
    virtual store::DbResult<qint64> AddRecord() = 0;
    virtual store::DbResult<store::Done> RemoveRecord(qint64 id) = 0;
    /** Writes the fields into the record; false when it no longer exists. */
    virtual store::DbResult<bool> UpdateRecord(qint64 id) = 0;
    /** The message refusing any change or deletion of a record that must
     *  stay as it is; "" for the others. */
    virtual QString ReservedRecord(qint64) const { return {}; }

  private:
    void OnSelectionChanged();
    void OnFieldEdited();
    void OnNew();
    void OnDelete();
    void OnUpdate();
    void OnSearch();

    void EnterNewRecord();
    void SaveNewRecord();
    /** The selected row, or null. */
    QTreeWidgetItem* SelectedRow() const;
    /** The placeholder row of mode "Save", or null. */
    QTreeWidgetItem* PlaceholderRow() const;
    /** Makes `row` the one selected and focused row, then shows its record. */
    void SelectRow(QTreeWidgetItem* row);
    void ReplaceRows(const std::vector<store::ListEntry>& entries);
    void ShowError(const store::DbError& error);

    Prompter& prompter_;
    Texts texts_;
    bool saving_ = false;  ///< mode "Save": a new record is being entered

    QTreeWidget* list_ = nullptr;
    QLineEdit* idEdit_ = nullptr;
    QFormLayout* fieldForm_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QPushButton* newButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* updateButton_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

}  // namespace kestrune::app
