#pragma once

#include "mesh/MeshObject.h"

#include <vector>

// A mesh object with vertices at x = 0, 1, 2, ...
inline TMeshObject& ObjectWithVertices(TMeshObjectList& list, int count)
{
    TMeshObject& object = list.Add<TMeshObject>();
    for (int i = 0; i < count; ++i)
        object.Vertices.Add({static_cast<float>(i), 0, 0});
    return object;
}

// The same in face-group mode.
inline TMeshObject& GroupedObject(TMeshObjectList& list, int vertexCount)
{
    TMeshObject& object = ObjectWithVertices(list, vertexCount);
    object.SetMode(momFaceGroups);
    return object;
}

inline std::vector<float> Xs(const TAffineVectorList& list)
{
    std::vector<float> xs;
    for (const TAffineVector& v : list)
        xs.push_back(v.X);
    return xs;
}
