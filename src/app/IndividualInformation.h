#pragma once

#include "app/RegistryDialog.h"
#include "store/Registry.h"

class QComboBox;
class QLineEdit;

namespace kestrune::app {

/**
 * "被験者の情報": the experimenter's subject registry. The main window, the
 * test launcher and the single-factor experiment open it with
 * SubjectRegistry::AllSubjects() and read SelectedId() afterwards to pick a
 * subject.
 */
class CIndividualInformation final : public RegistryDialog {
    Q_OBJECT

  public:
    CIndividualInformation(store::Database& db, Prompter& prompter, const store::Statement& listing,
                           QWidget* parent = nullptr);

  protected:
    void ClearFields() override;
    QString ListText() const override;
    store::DbResult<std::vector<store::ListEntry>> ListRecords(
        const store::Statement& listing) override;
    store::DbResult<std::vector<store::ListEntry>> SearchRecords(const QString& part) override;
    store::DbResult<bool> ShowRecord(qint64 id) override;
    store::DbResult<qint64> AddRecord() override;
    store::DbResult<store::Done> RemoveRecord(qint64 id) override;
    store::DbResult<bool> UpdateRecord(qint64 id) override;
    QString ReservedRecord(qint64 id) const override;

  private:
    store::Subject FromFields(qint64 id) const;

    store::SubjectRegistry registry_;
    QLineEdit* nameEdit_ = nullptr;
    QComboBox* sexCombo_ = nullptr;
    QLineEdit* birthYearEdit_ = nullptr;
    QComboBox* handuseCombo_ = nullptr;
    QLineEdit* educationEdit_ = nullptr;
    QLineEdit* descriptionEdit_ = nullptr;
    /** The dominant-side index of the record shown. The entry form stores
     *  "知らない" (3), which this list does not offer; such a value shows as
     *  no choice and is written back unchanged unless the user picks one. */
    int shownHanduse_ = 0;
};

}  // namespace kestrune::app
