#include "GLPickList.h"

#include "SceneObjects.h"

#include <algorithm>

TGLPickList::TGLPickList(TPickSortType sortType) : FSortType(sortType) {}

TGLBaseSceneObject* TGLPickList::operator[](int index) const
{
    return Record(index).AObject;
}

const TPickRecord& TGLPickList::Record(int index) const
{
    return FRecords.at(static_cast<size_t>(index));
}

bool TGLPickList::SortsBefore(const TPickRecord& a, const TPickRecord& b) const
{
    switch (FSortType)
    {
    case psName:
    {
        const QString nameA = a.AObject != nullptr ? a.AObject->objectName() : QString();
        const QString nameB = b.AObject != nullptr ? b.AObject->objectName() : QString();
        return nameA.compare(nameB, Qt::CaseInsensitive) < 0;
    }
    case psMinDepth:
        return a.ZMin < b.ZMin;
    case psMaxDepth:
        return a.ZMax < b.ZMax;
    default:
        return false;
    }
}

void TGLPickList::AddHit(TGLBaseSceneObject* object, std::vector<GLuint> subObjects, float zMin, float zMax)
{
    TPickRecord record{object, std::move(subObjects), zMin, zMax};
    const auto position =
        std::upper_bound(FRecords.begin(), FRecords.end(), record,
                         [this](const TPickRecord& a, const TPickRecord& b) { return SortsBefore(a, b); });
    FRecords.insert(position, std::move(record));
}
