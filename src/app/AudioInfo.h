#pragma once

#include "app/RegistryDialog.h"
#include "store/Registry.h"

class QComboBox;
class QLineEdit;

namespace kestrune::app {

/**
 * "オーディオ情報": the audio material registry. The opener hands it a
 * listing (AudioRegistry::AllMaterials() or OneMaterial(id)), runs it and
 * reads SelectedId() afterwards.
 */
class CAudioInfo final : public RegistryDialog {
    Q_OBJECT

  public:
    CAudioInfo(store::Database& db, Prompter& prompter, const store::Statement& listing,
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

  private:
    /** The fields as a record; the file type is written as `fileType`. */
    store::AudioMaterial FromFields(qint64 id, const QString& fileType) const;

    store::AudioRegistry registry_;
    QLineEdit* pathEdit_ = nullptr;
    QLineEdit* lengthEdit_ = nullptr;
    QComboBox* fileTypeCombo_ = nullptr;
    QLineEdit* channelEdit_ = nullptr;
    QLineEdit* bitsEdit_ = nullptr;
    QComboBox* sexCombo_ = nullptr;
    QLineEdit* contentEdit_ = nullptr;
};

}  // namespace kestrune::app
