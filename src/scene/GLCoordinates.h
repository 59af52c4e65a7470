#pragma once

#include "Component.h"
#include "VectorGeometry.h"

#include <QObject>

#include <functional>

class TGLCoordinates;

namespace CoordinatesTypes
{
Q_NAMESPACE
enum TGLCoordinatesStyle
{
    csPoint,
    csVector,
    csUnknown,
};
Q_ENUM_NS(TGLCoordinatesStyle)
} // namespace CoordinatesTypes
using namespace CoordinatesTypes;

// An owner told of every change of its coordinates objects.
class TGLCoordinatesOwner
{
public:
    virtual ~TGLCoordinatesOwner() = default;
    virtual void CoordinateChanged(TGLCoordinates* sender) = 0;
};

// One vector that tells its owner when it changes. A point keeps W = 1 and a
// direction W = 0 when the whole vector is assigned. In a layout it is stored
// as [x, y, z] or [x, y, z, w] and read raw, without notification.
class TGLCoordinates : public QObject, public TLayoutValue
{
    Q_OBJECT
    Q_PROPERTY(float X READ X WRITE SetX)
    Q_PROPERTY(float Y READ Y WRITE SetY)
    Q_PROPERTY(float Z READ Z WRITE SetZ)
    Q_PROPERTY(float W READ W WRITE SetW)

public:
    TGLCoordinates(QObject* owner, const TVector& value, TGLCoordinatesStyle style);

    float X() const { return FCoords.X; }
    float Y() const { return FCoords.Y; }
    float Z() const { return FCoords.Z; }
    float W() const { return FCoords.W; }
    void SetX(float value) { SetComponent(0, value); }
    void SetY(float value) { SetComponent(1, value); }
    void SetZ(float value) { SetComponent(2, value); }
    void SetW(float value) { SetComponent(3, value); }

    TGLCoordinatesStyle Style() const { return FStyle; }
    const TVector& AsVector() const { return FCoords; }
    TAffineVector AsAffineVector() const { return FCoords.Affine(); }

    // Index 0 X, 1 Y, 2 Z, 3 W; notifies.
    void SetComponent(int index, float value);
    // Not for directions: EAssertionFailed.
    void SetPoint(float x, float y, float z);
    // Not for points: EAssertionFailed.
    void SetVector(float x, float y, float z);
    // All four, then W as the style wants it; notifies.
    void SetAsVector(const TVector& value);
    // Without notification.
    void SetRaw(const TVector& value) { FCoords = value; }
    float VectorLength() const;
    void Normalize();

    void NotifyChanged();
    std::function<void()> OnNotifyChange;

    void ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader) override;

private:
    TVector FCoords;
    const TGLCoordinatesStyle FStyle;
};
