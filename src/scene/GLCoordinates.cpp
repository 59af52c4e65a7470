#include "GLCoordinates.h"

#include "Exceptions.h"
#include "LayoutReader.h"

#include <QJsonArray>

TGLCoordinates::TGLCoordinates(QObject* owner, const TVector& value, TGLCoordinatesStyle style)
    : QObject(owner), FCoords(value), FStyle(style)
{
}

void TGLCoordinates::SetComponent(int index, float value)
{
    float* const components[] = {&FCoords.X, &FCoords.Y, &FCoords.Z, &FCoords.W};
    if (index < 0 || index > 3)
        return;
    *components[index] = value;
    NotifyChanged();
}

void TGLCoordinates::SetPoint(float x, float y, float z)
{
    if (FStyle == csVector)
        throw EAssertionFailed(QStringLiteral("SetPoint on direction (csVector) coordinates"));
    FCoords = {x, y, z, 1};
    NotifyChanged();
}

void TGLCoordinates::SetVector(float x, float y, float z)
{
    if (FStyle == csPoint)
        throw EAssertionFailed(QStringLiteral("SetVector on point (csPoint) coordinates"));
    FCoords = {x, y, z, 0};
    NotifyChanged();
}

void TGLCoordinates::SetAsVector(const TVector& value)
{
    FCoords = value;
    if (FStyle == csPoint)
        FCoords.W = 1;
    else if (FStyle == csVector)
        FCoords.W = 0;
    NotifyChanged();
}

float TGLCoordinates::VectorLength() const
{
    return ::VectorLength(FCoords);
}

void TGLCoordinates::Normalize()
{
    FCoords = VectorNormalize(FCoords);
}

void TGLCoordinates::NotifyChanged()
{
    if (auto* owner = dynamic_cast<TGLCoordinatesOwner*>(parent()))
        owner->CoordinateChanged(this);
    if (OnNotifyChange)
        OnNotifyChange();
}

void TGLCoordinates::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    const QJsonArray numbers = value.toArray();
    if (!value.isArray() || numbers.size() < 3 || numbers.size() > 4)
        reader.Fail(QStringLiteral("needs three or four numbers"));
    float components[4] = {0, 0, 0, FStyle == csPoint ? 1.0f : FCoords.W};
    if (FStyle == csVector)
        components[3] = 0;
    for (qsizetype i = 0; i < numbers.size(); ++i)
    {
        if (!numbers[i].isDouble())
            reader.Fail(QStringLiteral("needs three or four numbers"));
        components[i] = reader.SingleValue(numbers[i]);
    }
    SetRaw({components[0], components[1], components[2], components[3]});
}
