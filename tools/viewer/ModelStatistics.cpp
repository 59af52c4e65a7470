#include "ModelStatistics.h"

#include "Exceptions.h"
#include "File3DS.h"
#include "GLActor.h"
#include "VectorFile.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace
{
QString VectorText(const TAffineVector& v)
{
    return QStringLiteral("(%1, %2, %3)").arg(v.X, 0, 'g', 5).arg(v.Y, 0, 'g', 5).arg(v.Z, 0, 'g', 5);
}

TModelStatistics::TFaceGroupUse FaceGroupUseOf(const TMeshObject& object)
{
    TModelStatistics::TFaceGroupUse use;
    use.ObjectName = object.Name;
    const TFaceGroups& groups = object.FaceGroups();
    use.FaceGroups = groups.Count();
    for (int i = 0; i < groups.Count(); ++i)
        use.Materials.append(groups[i].MaterialName);
    return use;
}

void AppendFaceGroups(QString& text, const TModelStatistics::TFaceGroupUse& use)
{
    const QString name = use.ObjectName.isEmpty() ? QStringLiteral("(unnamed)") : use.ObjectName;
    text += QStringLiteral("  %1: %2 face groups\n").arg(name).arg(use.FaceGroups);
    for (const QString& material : use.Materials)
        text += QStringLiteral("    %1\n").arg(material.isEmpty() ? QStringLiteral("(object's material)") : material);
}
} // namespace

TModelStatistics MeasureModel(const TGLActor& actor, const QString& fileName, const double loadMilliseconds)
{
    TModelStatistics statistics;
    const TMeshObjectList& objects = actor.MeshObjects();
    statistics.Objects = objects.Count();
    for (int i = 0; i < objects.Count(); ++i)
    {
        statistics.Vertices += objects[i].Vertices.Count();
        statistics.FaceGroupUses.push_back(FaceGroupUseOf(objects[i]));
    }
    statistics.Faces = objects.TriangleCount();
    if (ExtractFileExtension(fileName).toLower() == QLatin1String("3ds"))
        statistics.SmoothingGroups = Count3DSSmoothingGroups(fileName);
    // The root list counts itself.
    statistics.Bones = actor.Skeleton().RootBones().CountBones() - 1;
    statistics.Frames = actor.FrameTotal();
    statistics.Animations = actor.Animations()->Count();
    if (statistics.Vertices > 0)
        objects.GetExtents(statistics.ExtentsMin, statistics.ExtentsMax);
    statistics.LoadMilliseconds = loadMilliseconds;
    return statistics;
}

std::optional<int> Count3DSSmoothingGroups(const QString& fileName)
{
    try
    {
        TFile3DS file;
        file.LoadFromFile(fileName);
        std::uint32_t seen = 0;
        bool any = false;
        for (int i = 0; i < file.MeshCount(); ++i)
        {
            const T3DSMesh& mesh = file.Mesh(i);
            any = any || mesh.HasSmoothingGroups;
            for (const std::uint32_t groups : mesh.SmoothingGroups)
                seen |= groups;
        }
        if (!any)
            return std::nullopt;
        return std::popcount(seen);
    }
    catch (const Exception&)
    {
        return std::nullopt;
    }
}

QString TModelStatistics::Text() const
{
    QString text;
    text += QStringLiteral("Objects: %1\nVertices: %2\nFaces: %3\n").arg(Objects).arg(Vertices).arg(Faces);
    if (SmoothingGroups)
        text += QStringLiteral("Smoothing groups: %1\n").arg(*SmoothingGroups);
    text += QStringLiteral("Bones: %1\nFrames: %2\nAnimations: %3\n").arg(Bones).arg(Frames).arg(Animations);
    const TAffineVector size{ExtentsMax.X - ExtentsMin.X, ExtentsMax.Y - ExtentsMin.Y, ExtentsMax.Z - ExtentsMin.Z};
    text += QStringLiteral("Extents: %1 to %2\nSize: %3\n")
                .arg(VectorText(ExtentsMin), VectorText(ExtentsMax), VectorText(size));
    text += QStringLiteral("Load time: %1 ms\n").arg(LoadMilliseconds, 0, 'f', 1);
    text += QStringLiteral("Face groups and materials:\n");
    for (const TFaceGroupUse& use : FaceGroupUses)
        AppendFaceGroups(text, use);
    return text;
}
