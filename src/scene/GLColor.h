#pragma once

#include "Component.h"

#include <QObject>

#include <array>
#include <functional>

// Red, green, blue, alpha as OpenGL takes them.
using TColorVector = std::array<float, 4>;

// A colour that tells its owner when it changes. When the owner is a scene
// object, that object's structure is marked changed first. In a layout it is
// stored whole as [r, g, b, a] (or [r, g, b] with alpha 1) and read without
// notification, or as a list of its own properties.
class TGLColor : public QObject, public TLayoutValue
{
    Q_OBJECT
    Q_PROPERTY(float Red READ Red WRITE SetRed)
    Q_PROPERTY(float Green READ Green WRITE SetGreen)
    Q_PROPERTY(float Blue READ Blue WRITE SetBlue)
    Q_PROPERTY(float Alpha READ Alpha WRITE SetAlpha)

public:
    TGLColor(QObject* owner, const TColorVector& value);

    float Red() const { return FColor[0]; }
    float Green() const { return FColor[1]; }
    float Blue() const { return FColor[2]; }
    float Alpha() const { return FColor[3]; }
    void SetRed(float value) { SetComponent(0, value); }
    void SetGreen(float value) { SetComponent(1, value); }
    void SetBlue(float value) { SetComponent(2, value); }
    void SetAlpha(float value) { SetComponent(3, value); }

    const TColorVector& Color() const { return FColor; }
    const float* Data() const { return FColor.data(); }
    // Always notifies, even when the colour is the same.
    void SetColor(const TColorVector& value);
    // Without notification.
    void SetRaw(const TColorVector& value) { FColor = value; }

    void NotifyChanged();
    std::function<void()> OnNotifyChange;

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

private:
    void SetComponent(int index, float value);

    TColorVector FColor;
};
