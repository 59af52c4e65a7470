#include "ExamineGLSM.h"

#include "Exceptions.h"
#include "FaceGroups.h"
#include "GLBaseMesh.h"
#include "GLGLSMVectorFile.h"
#include "SkeletonMeshObject.h"

#include <algorithm>

namespace
{
QString ClassOf(const TMeshObject& object)
{
    if (dynamic_cast<const TSkeletonMeshObject*>(&object))
        return QStringLiteral("skinned");
    if (dynamic_cast<const TMorphableMeshObject*>(&object))
        return QStringLiteral("morphable");
    return QStringLiteral("static");
}

QJsonArray DescribeGroups(const TMeshObject& object)
{
    QJsonArray groups;
    const TFaceGroups& faceGroups = object.FaceGroups();
    for (int g = 0; g < faceGroups.Count(); ++g)
        groups.append(QJsonObject{{QStringLiteral("material"), faceGroups[g].MaterialName},
                                  {QStringLiteral("triangles"), faceGroups[g].TriangleCount()}});
    return groups;
}

// Only plain triangle lists are judged: their indices are the triangles.
void CheckTriangles(const TMeshObject& object, TInspection& inspection)
{
    QList<int> degenerate;
    QString firstReason;
    int number = 0;
    const TFaceGroups& groups = object.FaceGroups();
    for (int g = 0; g < groups.Count(); ++g)
    {
        const auto* const group = dynamic_cast<const TFGVertexIndexList*>(&groups[g]);
        if (group == nullptr || group->Mode() != fgmmTriangles)
            continue;
        const TIntegerList& indices = group->VertexIndices;
        for (int i = 0; i + 2 < indices.Count(); i += 3, ++number)
        {
            const std::array<int, 3> corners{indices[i], indices[i + 1], indices[i + 2]};
            // A group cut short by a fault may hold indices not yet checked.
            if (std::any_of(corners.begin(), corners.end(),
                            [&](const int index) { return index < 0 || index >= object.Vertices.Count(); }))
                continue;
            const auto at = [&](const int index) {
                const TAffineVector& v = object.Vertices[index];
                return TCorner{v.X, v.Y, v.Z};
            };
            const QString reason = DegenerateReason(corners, {at(corners[0]), at(corners[1]), at(corners[2])});
            if (reason.isEmpty())
                continue;
            if (degenerate.isEmpty())
                firstReason = reason;
            degenerate.append(number);
        }
    }
    if (!degenerate.isEmpty())
        inspection.Warn(QStringLiteral("object \"%1\": %2 degenerate triangles (the first %3): triangles %4")
                            .arg(object.Name)
                            .arg(degenerate.size())
                            .arg(firstReason, ListSome(degenerate)));
}

QJsonObject DescribeObject(const TMeshObject& object)
{
    QJsonObject entry{{QStringLiteral("name"), object.Name},
                      {QStringLiteral("class"), ClassOf(object)},
                      {QStringLiteral("vertices"), object.Vertices.Count()},
                      {QStringLiteral("normals"), object.Normals.Count()},
                      {QStringLiteral("textureCoordinates"), object.TexCoords.Count()},
                      {QStringLiteral("triangles"), object.TriangleCount()},
                      {QStringLiteral("faceGroups"), DescribeGroups(object)}};
    if (const auto* const morphable = dynamic_cast<const TMorphableMeshObject*>(&object))
        entry.insert(QStringLiteral("frames"), morphable->MorphTargets.Count());
    if (const auto* const skinned = dynamic_cast<const TSkeletonMeshObject*>(&object))
    {
        entry.insert(QStringLiteral("boneSlots"), skinned->BoneSlots());
        entry.insert(QStringLiteral("weightedVertices"), skinned->BoneWeightsCount());
    }
    return entry;
}
} // namespace

TInspection InspectGLSM(const QByteArray& bytes, const QString& fileName)
{
    TInspection inspection(fileName, QStringLiteral("glsm"));
    TGLFreeForm mesh(nullptr);
    try
    {
        ReadGLSM(bytes, fileName, mesh.MeshObjects());
    }
    catch (const Exception& e)
    {
        // The objects read before the fault stay, as in a load: they are shown.
        inspection.Fail(e.Message());
    }
    QJsonArray objects;
    for (int i = 0; i < mesh.MeshObjects().Count(); ++i)
    {
        objects.append(DescribeObject(mesh.MeshObjects()[i]));
        CheckTriangles(mesh.MeshObjects()[i], inspection);
    }
    inspection.Facts().insert(QStringLiteral("objects"), objects);
    return inspection;
}
