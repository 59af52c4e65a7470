#pragma once

#include "Component.h"
#include "Exceptions.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

// Decodes a complete JPEG file into a 24-bit picture. `pictureName` names the
// picture in the failure's text.
QImage DecodeJpeg(const QByteArray& jpeg, const QString& pictureName);

// A texture image kept with the layout: the JPEG file as stored and the picture
// decoded from it. In a layout it is given as the name of a file beside the
// layout, holding either a plain JPEG file or the stored form (one byte n, n
// bytes of the picture class name, a 32-bit little-endian byte count, the JPEG
// file).
class TGLPersistentImage : public QObject, public TLayoutValue
{
    Q_OBJECT

public:
    // Sides beyond this are refused rather than allocated.
    static constexpr int MaxSide = 16384;

    explicit TGLPersistentImage(QObject* owner);

    // Decodes first, so that a failure leaves the image as it was.
    void LoadJpeg(const QByteArray& jpeg, const QString& pictureName);
    void LoadStoredData(const QByteArray& data, const QString& pictureName);
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
