#pragma once

#include <GL/gl.h>

#include <QPointer>

#include <vector>

class TGLBaseSceneObject;

enum TPickSortType
{
    psDefault, // in the order of the hits
    psName,
    psMinDepth,
    psMaxDepth,
};

// One object hit by a pick, with the depth range of its hit primitives
// (0 nearest, 1 farthest).
struct TPickRecord
{
    QPointer<TGLBaseSceneObject> AObject;
    std::vector<GLuint> SubObjects;
    float ZMin = 0;
    float ZMax = 0;
};

// The hits of one pick, kept in the order chosen at creation.
class TGLPickList
{
public:
    explicit TGLPickList(TPickSortType sortType);

    TPickSortType SortType() const { return FSortType; }
    int Count() const { return static_cast<int>(FRecords.size()); }
    // The hit object of the index-th record.
    TGLBaseSceneObject* operator[](int index) const;
    const TPickRecord& Record(int index) const;

    void Clear() { FRecords.clear(); }
    void Reserve(int count) { FRecords.reserve(static_cast<size_t>(count)); }
    // Inserts after every record that sorts before or with it, so equal keys
    // keep the order of the hits.
    void AddHit(TGLBaseSceneObject* object, std::vector<GLuint> subObjects, float zMin, float zMax);

private:
    bool SortsBefore(const TPickRecord& a, const TPickRecord& b) const;

    const TPickSortType FSortType;
    std::vector<TPickRecord> FRecords;
};
