#pragma once

#include <QByteArray>
#include <QFrame>
#include <QImage>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

namespace kestrune::app {

class Prompter;

/**
 * A picture file (the tests' instruction pictures, the clock face, the
 * headphone picture) loaded into memory and drawn stretched into a
 * rectangle. Qt's image readers decode it; .bmp, .jpg and .png are read
 * whatever the file's name says, by content.
 *
 * Load drops the current picture first: after a failed Load (missing,
 * empty or undecodable file) there is no picture, width and height are 0
 * and ByteSize is the size of the file that was read (0 when it could not
 * be opened). Messages go through the prompter, captioned
 * "CPicture Error"; without one nothing is shown.
 */
class CPicture {
  public:
    explicit CPicture(Prompter* prompter = nullptr, QWidget* messageParent = nullptr);
    virtual ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    /** Reads the file and makes it the current picture; false when the file
     *  cannot be read or holds no image this program can decode. */
    bool Load(const QString& path);

    /** Decodes the bytes of an image file into the current picture; false
     *  (picture unchanged) when they are no image. */
    bool LoadPictureData(const QByteArray& bytes);

    /** Draws the picture stretched over the whole rectangle (the aspect ratio
     *  is not kept). False without a painter or a picture; a painter that
     *  cannot draw gives "Can not allocate enough memory\t" and false. */
    bool Show(QPainter* painter, const QRect& rect);

    /** Drops the picture; the sizes become 0. */
    void FreePictureData();

    bool IsLoaded() const { return !picture_.isNull(); }
    const QImage& Image() const { return picture_; }
    /** Pixel sizes of the picture; 0 when none is loaded. */
    int Width() const { return width_; }
    int Height() const { return height_; }
    /** Size in bytes of the file the picture came from; 0 when none. */
    qint64 ByteSize() const { return byteSize_; }

  private:
    void Message(const QString& text);

    Prompter* prompter_;
    QWidget* messageParent_;
    QImage picture_;
    int height_ = 0;
    qint64 byteSize_ = 0;
    int width_ = 0;
};

/**
 * A framed picture drawn stretched over the whole frame. The file is
 * decoded when it is set and kept: a repaint only draws, unless the file
 * has changed on disk since (another size or modification time), when it
 * is decoded again first, so a replaced picture shows at the next repaint.
 * A file that cannot be drawn leaves the frame empty.
 */
class CPictureFrame final : public QFrame {
    Q_OBJECT

  public:
    explicit CPictureFrame(QWidget* parent = nullptr);

    /** Shows the picture file from now on; false when it cannot be read as
     *  a picture (the frame is then empty). */
    bool SetPath(const QString& path);
    QString Path() const { return path_; }
    /** How many times a picture file has been decoded for this frame. */
    int DecodeCount() const { return decodes_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    /** What tells a changed file: its size and modification time. */
    struct FileStamp {
        qint64 size = -1;
        qint64 modifiedMs = -1;
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const QString& path);
    bool Decode();

    QString path_;
    FileStamp stamp_;
    int decodes_ = 0;
    CPicture picture_;
};

}  // namespace kestrune::app
