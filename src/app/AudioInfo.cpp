#include "app/AudioInfo.h"

#include <QComboBox>
#include <QLineEdit>

#include <string>

#include "core/registry/Mappings.h"

namespace kestrune::app {

CAudioInfo::CAudioInfo(store::Database& db, Prompter& prompter, const store::Statement& listing,
                       QWidget* parent)
    : RegistryDialog(prompter,
                     {QStringLiteral("オーディオ情報"), QStringLiteral("File pathname"),
                      QStringLiteral("New Pathname"), QStringLiteral("ファイル検索"),
                      QStringLiteral("There is no result matching your searched file!")},
                     parent),
      registry_(db) {
    pathEdit_ = AddEditField(QStringLiteral("パスとファイル名"), QStringLiteral("pathEdit"));
    lengthEdit_ = AddEditField(QStringLiteral("長さ(ミリ秒)"), QStringLiteral("lengthEdit"));
    fileTypeCombo_ = AddComboField(QStringLiteral("ファイル種類"), QStringLiteral("fileTypeCombo"),
                                   {QStringLiteral("Unknown"), QStringLiteral("Wav"),
                                    QStringLiteral("Mp3"), QStringLiteral("Others")});
    channelEdit_ = AddEditField(QStringLiteral("チャンネル数"), QStringLiteral("channelEdit"));
    bitsEdit_ = AddEditField(QStringLiteral("量子化ビット数"), QStringLiteral("bitsEdit"));
    sexCombo_ =
        AddComboField(QStringLiteral("アナウンサーの性別"), QStringLiteral("sexCombo"),
                      {QStringLiteral("知らない"), QStringLiteral("男"), QStringLiteral("女")});
    contentEdit_ = AddEditField(QStringLiteral("内容"), QStringLiteral("contentEdit"));
    Populate(listing);
}

void CAudioInfo::ClearFields() {
    for (QLineEdit* edit : {pathEdit_, lengthEdit_, channelEdit_, bitsEdit_, contentEdit_}) {
        edit->clear();
    }
    fileTypeCombo_->setCurrentIndex(0);
    sexCombo_->setCurrentIndex(0);
}

QString CAudioInfo::ListText() const {
    return pathEdit_->text();
}

store::DbResult<std::vector<store::ListEntry>> CAudioInfo::ListRecords(
    const store::Statement& listing) {
    return registry_.List(listing);
}

store::DbResult<std::vector<store::ListEntry>> CAudioInfo::SearchRecords(const QString& part) {
    return registry_.Search(part);
}

store::DbResult<bool> CAudioInfo::ShowRecord(qint64 id) {
    const auto loaded = registry_.Load(id);
    if (!loaded.Ok()) return {false, loaded.error};
    if (!loaded.value) return {false, std::nullopt};
    const store::AudioMaterial& material = *loaded.value;
    pathEdit_->setText(material.pathname);
    lengthEdit_->setText(QString::number(material.lengthMs));
    fileTypeCombo_->setCurrentIndex(FileTypeIndexFor(material.fileType.toStdString()));
    channelEdit_->setText(QString::number(material.channels));
    bitsEdit_->setText(QString::number(material.bits));
    sexCombo_->setCurrentIndex(SexIndexForCode(std::string(1, material.sex)));
    contentEdit_->setText(material.content);
    return {true, std::nullopt};
}

store::AudioMaterial CAudioInfo::FromFields(qint64 id, const QString& fileType) const {
    store::AudioMaterial material;
    material.id = id;
    material.pathname = pathEdit_->text();
    material.lengthMs = IntOf(lengthEdit_);
    material.fileType = fileType;
    material.sex = SexCodeForIndex(sexCombo_->currentIndex());
    material.channels = IntOf(channelEdit_);
    material.bits = IntOf(bitsEdit_);
    material.content = contentEdit_->text();
    return material;
}

store::DbResult<qint64> CAudioInfo::AddRecord() {
    const std::string type = FileTypeForInsert(fileTypeCombo_->currentIndex());
    return registry_.Add(FromFields(0, QString::fromStdString(type)));
}

store::DbResult<store::Done> CAudioInfo::RemoveRecord(qint64 id) {
    return registry_.Remove(id);
}

store::DbResult<bool> CAudioInfo::UpdateRecord(qint64 id) {
    const std::string type = FileTypeForUpdate(fileTypeCombo_->currentIndex());
    return registry_.Update(FromFields(id, QString::fromStdString(type)));
}

}  // namespace kestrune::app
