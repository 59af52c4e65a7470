#pragma once

#include "Component.h"
#include "Exceptions.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

// What decoding one stored picture may cost. Stored pictures are decoded
// before any rendering context exists, so the largest side is fixed rather
// than asked of the driver.
struct TJpegLimits
{
    // A picture wider or taller than this is refused before decoding.
    int MaxSide = 8192;
    // libjpeg's own working memory. A progressive picture keeps every
    // coefficient until its last scan: 2 bytes for each sample of up to three
    // full-size components, plus a little for tables and row buffers.
    long MaxMemory = 3L * 8192 * 8192 * 2 + (16L << 20);
    // Every scan of a progressive picture passes over the whole picture again;
    // real files have ten or so.
    int MaxScans = 100;
};

// Decodes a complete JPEG file into a 24-bit picture. `pictureName` names the
// picture in the failure's text.
QImage DecodeJpeg(const QByteArray& jpeg, const QString& pictureName, const TJpegLimits& limits = {});
// The same without throwing: a null picture, and in `failure` the words that
// follow the picture's name in a failure's text ("is too large: ...",
// "cannot be decoded: ..."), so that each caller names the picture its way.
QImage TryDecodeJpeg(const QByteArray& jpeg, QString& failure, const TJpegLimits& limits = {});
// The words for a picture refused for its size before it is decoded.
QString TooLargeFailure(qint64 width, qint64 height, int maxSide);
// The largest picture file read into memory: five bytes for every pixel of
// the largest picture allowed, more than any file of such a picture needs
// (four bytes a pixel and the run-length packets of a TGA file).
qint64 MaxPictureFileSize(const TJpegLimits& limits = {});

// A texture image kept with the layout: the JPEG file as stored and the picture
// decoded from it. In a layout it is given as the name of a file beside the
// layout, holding either a plain JPEG file or the stored form (one byte n, n
// bytes of the picture class name, a 32-bit little-endian byte count, the JPEG
// file).
class TGLPersistentImage : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    explicit TGLPersistentImage(QObject* owner);

    // Decodes first, so that a failure leaves the image as it was.
    void LoadJpeg(const QByteArray& jpeg, const QString& pictureName);
    void LoadStoredData(const QByteArray& data, const QString& pictureName);
    // The picture of a texture file (see LoadTextureFile), kept without JPEG
    // bytes and named by `fileName`. Throws ETextureLoadError and keeps the
    // image as it was when the file cannot be loaded.
    void LoadFromFile(const QString& fileName);
    // Any picture, kept without JPEG bytes (pictures made by the program).
    void SetPicture(const QImage& picture);
    void Clear();
    void Assign(const TGLPersistentImage& source);

    const QByteArray& JpegData() const { return FJpegData; }
    const QImage& Picture() const { return FPicture; }
    const QString& PictureName() const { return FPictureName; }
    int Width() const { return FPicture.width(); }
    int Height() const { return FPicture.height(); }
    bool Empty() const { return FPicture.isNull(); }

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

    // Called after every change of the picture.
    std::function<void()> OnNotifyChange;

private:
    void Changed();

    QByteArray FJpegData;
    QImage FPicture;
    QString FPictureName;
};
