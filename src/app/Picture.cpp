#include "app/Picture.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include "app/Prompter.h"

namespace kestrune::app {

CPicture::CPicture(Prompter* prompter, QWidget* messageParent)
    : prompter_(prompter), messageParent_(messageParent) {}

CPicture::~CPicture() {
    FreePictureData();
}

bool CPicture::Load(const QString& path) {
    // The old picture goes first: a failed load leaves no picture, so a
    // caller that draws after a failure sees nothing rather than a stale
    // image, and falls back as it must.
    FreePictureData();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    const bool decoded = !bytes.isEmpty() && LoadPictureData(bytes);
    byteSize_ = file.size();
    if (!decoded) {
        width_ = 0;
        height_ = 0;
    }
    return decoded;
}

bool CPicture::LoadPictureData(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) return false;
    picture_ = std::move(image);
    width_ = picture_.width();
    height_ = picture_.height();
    byteSize_ = bytes.size();
    return true;
}

bool CPicture::Show(QPainter* painter, const QRect& rect) {
    if (painter == nullptr || picture_.isNull()) return false;
    if (!painter->isActive()) {
        Message(QStringLiteral("Can not allocate enough memory\t"));
        return false;
    }
    painter->drawImage(QRect(rect.left(), rect.top(), rect.width(), rect.height()), picture_);
    return true;
}

void CPicture::FreePictureData() {
    picture_ = QImage();
    height_ = 0;
    byteSize_ = 0;
    width_ = 0;
}

void CPicture::Message(const QString& text) {
    if (prompter_ != nullptr)
        prompter_->Message(messageParent_, text, QStringLiteral("CPicture Error"));
}

CPictureFrame::CPictureFrame(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
}

bool CPictureFrame::SetPath(const QString& path) {
    path_ = path;
    update();
    return Decode();
}

CPictureFrame::FileStamp CPictureFrame::StampOf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

bool CPictureFrame::Decode() {
    stamp_ = StampOf(path_);
    if (path_.isEmpty()) {
        picture_.FreePictureData();
        return false;
    }
    ++decodes_;
    return picture_.Load(path_);
}

void CPictureFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (path_.isEmpty()) return;
    if (StampOf(path_) != stamp_) Decode();
    QPainter painter(this);
    picture_.Show(&painter, contentsRect());
}

}  // namespace kestrune::app
