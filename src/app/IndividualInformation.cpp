#include "app/IndividualInformation.h"

#include <QComboBox>
#include <QLineEdit>

#include <string>

#include "core/registry/Mappings.h"
#include "store/Schema.h"

namespace kestrune::app {

CIndividualInformation::CIndividualInformation(store::Database& db, Prompter& prompter,
                                               const store::Statement& listing, QWidget* parent)
    : RegistryDialog(prompter,
                     {QStringLiteral("被験者の情報"), QStringLiteral("Name"),
                      QStringLiteral("New Name"), QStringLiteral("名前検索"),
                      QStringLiteral("There is no result matching your searched name!")},
                     parent),
      registry_(db) {
    nameEdit_ = AddEditField(QStringLiteral("名前"), QStringLiteral("nameEdit"));
    sexCombo_ =
        AddComboField(QStringLiteral("性別"), QStringLiteral("sexCombo"),
                      {QStringLiteral("知らない"), QStringLiteral("男"), QStringLiteral("女")});
    birthYearEdit_ = AddEditField(QStringLiteral("生年"), QStringLiteral("birthYearEdit"));
    handuseCombo_ = AddComboField(
        QStringLiteral("利き側"), QStringLiteral("handuseCombo"),
        {QStringLiteral("右利き者"), QStringLiteral("左利き者"), QStringLiteral("全部で")});
    educationEdit_ = AddEditField(QStringLiteral("学齢"), QStringLiteral("educationEdit"));
    descriptionEdit_ = AddEditField(QStringLiteral("他者"), QStringLiteral("descriptionEdit"));
    Populate(listing);
}

void CIndividualInformation::ClearFields() {
    for (QLineEdit* edit : {nameEdit_, birthYearEdit_, educationEdit_, descriptionEdit_}) {
        edit->clear();
    }
    sexCombo_->setCurrentIndex(0);
    handuseCombo_->setCurrentIndex(0);
    shownHanduse_ = 0;
}

QString CIndividualInformation::ListText() const {
    return nameEdit_->text();
}

store::DbResult<std::vector<store::ListEntry>> CIndividualInformation::ListRecords(
    const store::Statement& listing) {
    return registry_.List(listing);
}

store::DbResult<std::vector<store::ListEntry>> CIndividualInformation::SearchRecords(
    const QString& part) {
    return registry_.Search(part);
}

store::DbResult<bool> CIndividualInformation::ShowRecord(qint64 id) {
    const auto loaded = registry_.Load(id);
    if (!loaded.Ok()) return {false, loaded.error};
    if (!loaded.value) return {false, std::nullopt};
    const store::Subject& subject = *loaded.value;
    nameEdit_->setText(subject.name);
    sexCombo_->setCurrentIndex(SexIndexForCode(std::string(1, subject.sex)));
    birthYearEdit_->setText(QString::number(subject.birthYear));
    shownHanduse_ = subject.handuse;
    const bool offered = subject.handuse >= 0 && subject.handuse < handuseCombo_->count();
    handuseCombo_->setCurrentIndex(offered ? subject.handuse : -1);
    educationEdit_->setText(QString::number(subject.education));
    descriptionEdit_->setText(subject.description);
    return {true, std::nullopt};
}

store::Subject CIndividualInformation::FromFields(qint64 id) const {
    store::Subject subject;
    subject.id = id;
    subject.name = nameEdit_->text();
    subject.sex = SexCodeForIndex(sexCombo_->currentIndex());
    subject.birthYear = IntOf(birthYearEdit_);
    const int chosen = handuseCombo_->currentIndex();
    subject.handuse = chosen >= 0 ? chosen : shownHanduse_;
    subject.education = IntOf(educationEdit_);
    subject.description = descriptionEdit_->text();
    return subject;
}

store::DbResult<qint64> CIndividualInformation::AddRecord() {
    return registry_.Add(FromFields(0));
}

store::DbResult<store::Done> CIndividualInformation::RemoveRecord(qint64 id) {
    return registry_.Remove(id);
}

store::DbResult<bool> CIndividualInformation::UpdateRecord(qint64 id) {
    return registry_.Update(FromFields(id));
}

QString CIndividualInformation::ReservedRecord(qint64 id) const {
    if (id != store::kPracticeSubjectId) return {};
    return QStringLiteral("The practice subject PRACTICE (ID 1) can not be changed or deleted!");
}

}  // namespace kestrune::app
