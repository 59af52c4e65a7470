#include "GLColor.h"

#include "SceneObjects.h"
#include "LayoutReader.h"

#include <QJsonArray>

TGLColor::TGLColor(QObject* owner, const TColorVector& value) : QObject(owner), FColor(value) {}

void TGLColor::SetComponent(int index, float value)
{
    float& component = FColor[static_cast<size_t>(index)];
    if (component == value)
        return;
    component = value;
    NotifyChanged();
}

void TGLColor::SetColor(const TColorVector& value)
{
    FColor = value;
    NotifyChanged();
}

void TGLColor::NotifyChanged()
{
    // A scene object's structure flag alone does not repaint an object that
    // keeps no display list, so the object is told as well.
    if (auto* sceneObject = qobject_cast<TGLBaseSceneObject*>(parent()))
    {
        sceneObject->MarkStructureChanged();
        sceneObject->NotifyChanged();
    }
    if (OnNotifyChange)
        OnNotifyChange();
}

void TGLColor::ReadLayoutValue(const QJsonValue& value, TLayoutReader& reader)
{
    const QJsonArray items = value.toArray();
    if (value.isArray() && !items.isEmpty() && items.first().isObject())
    {
        reader.ApplyProperties(this, value);
        return;
    }
    if (!value.isArray() || items.size() < 3 || items.size() > 4)
        reader.Fail(QStringLiteral("needs three or four numbers"));
    TColorVector color{0, 0, 0, 1};
    for (qsizetype i = 0; i < items.size(); ++i)
    {
        if (!items[i].isDouble())
            reader.Fail(QStringLiteral("needs three or four numbers"));
        color[static_cast<size_t>(i)] = reader.SingleValue(items[i]);
    }
    SetRaw(color);
}
