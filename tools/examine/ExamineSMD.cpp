#include "ExamineSMD.h"

#include "GLBaseMesh.h"
#include "GLSMDVectorFile.h"
#include "SMD.h"
#include "Skeleton.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// Frames listed one by one in a warning; the rest are counted.
constexpr qsizetype ListedFrames = 5;

QJsonArray ListBones(const TSMDFile& file)
{
    QJsonArray bones;
    for (const TSMDNode& node : file.Nodes)
        bones.append(QJsonObject{{QStringLiteral("id"), node.Id},
                                 {QStringLiteral("name"), node.Name},
                                 {QStringLiteral("parent"), node.ParentId},
                                 {QStringLiteral("line"), node.Line}});
    return bones;
}

// The time a frame's "time" line gives, as written.
QString TimeOf(const TSMDLines& lines, const TSMDFrame& frame)
{
    const TSMDTokens tokens(lines[static_cast<size_t>(frame.Line - 1)]);
    return tokens.Count() >= 2 ? QString::fromUtf8(tokens[1].data(), static_cast<qsizetype>(tokens[1].size()))
                               : QString();
}

QJsonObject DescribeFrames(const TSMDLines& lines, const TSMDFile& file)
{
    QJsonObject frames{{QStringLiteral("count"), static_cast<int>(file.Frames.size())}};
    if (!file.Frames.empty())
    {
        frames.insert(QStringLiteral("firstTime"), TimeOf(lines, file.Frames.front()));
        frames.insert(QStringLiteral("lastTime"), TimeOf(lines, file.Frames.back()));
    }
    return frames;
}

// Runs of one material that other materials interrupt are counted together.
QJsonArray TrianglesPerMaterial(const TSMDFile& file)
{
    QStringList order;
    QList<int> counts;
    for (const TSMDMaterialRun& run : file.Runs)
    {
        qsizetype at = order.indexOf(run.MaterialName);
        if (at < 0)
        {
            at = order.size();
            order.append(run.MaterialName);
            counts.append(0);
        }
        counts[at] += static_cast<int>(run.TriangleCount);
    }
    QJsonArray list;
    for (qsizetype i = 0; i < order.size(); ++i)
        list.append(QJsonObject{{QStringLiteral("material"), order[i]}, {QStringLiteral("triangles"), counts[i]}});
    return list;
}

// A vertex line may list its bone links after the texture coordinates: a
// count, then a bone and a weight per link.
QJsonObject DescribeWeights(const TSMDLines& lines, const TSMDFile& file)
{
    int corners = 0, weighted = 0, maxInfluences = 0;
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& corner : triangle.Corners)
        {
            ++corners;
            const TSMDTokens tokens(lines[static_cast<size_t>(corner.Line - 1)]);
            const std::optional<int32_t> links = tokens.Count() >= 10 ? ParseSMDInteger(tokens[9]) : std::nullopt;
            const int influences = links && *links > 0 ? *links : 1;
            weighted += links && *links > 0 ? 1 : 0;
            maxInfluences = std::max(maxInfluences, influences);
        }
    return {{QStringLiteral("vertexLines"), corners},
            {QStringLiteral("weightedVertexLines"), weighted},
            {QStringLiteral("maxInfluences"), maxInfluences}};
}

// As the reader tells a frame's bone lines from what follows them.
bool IsBoneLine(const std::string_view line)
{
    return !line.empty() && ((line[0] >= '0' && line[0] <= '9') ||
                             (line[0] == ' ' && line.find_first_not_of(" \t\v\f") != std::string_view::npos));
}

QList<int> BonesLeftOut(const TSMDLines& lines, const TSMDFrame& frame, const int boneCount)
{
    std::vector<bool> listed(static_cast<size_t>(boneCount), false);
    for (size_t i = static_cast<size_t>(frame.Line); i < lines.Count() && IsBoneLine(lines[i]); ++i)
    {
        const TSMDTokens tokens(lines[i]);
        const std::optional<int32_t> bone = tokens.Count() > 0 ? ParseSMDInteger(tokens[0]) : std::nullopt;
        if (bone && *bone >= 0 && *bone < boneCount)
            listed[static_cast<size_t>(*bone)] = true;
    }
    QList<int> missing;
    for (int bone = 0; bone < boneCount; ++bone)
        if (!listed[static_cast<size_t>(bone)])
            missing.append(bone);
    return missing;
}

void CheckFramesListEveryBone(const TSMDLines& lines, const TSMDFile& file, TInspection& inspection)
{
    QStringList frames;
    int count = 0;
    for (size_t f = 0; f < file.Frames.size(); ++f)
    {
        const QList<int> missing = BonesLeftOut(lines, file.Frames[f], file.BoneCount);
        if (missing.isEmpty())
            continue;
        if (++count <= ListedFrames)
            frames.append(QStringLiteral("frame %1 (line %2) leaves out bones %3")
                              .arg(f)
                              .arg(file.Frames[f].Line)
                              .arg(ListSome(missing)));
    }
    if (count > ListedFrames)
        frames.append(QStringLiteral("and %1 more frames").arg(count - ListedFrames));
    if (count > 0)
        inspection.Warn(QStringLiteral("%1 of %2 frames leave bones out, which the reader sets to zero position and "
                                       "rotation: %3")
                            .arg(count)
                            .arg(file.Frames.size())
                            .arg(frames.join(QStringLiteral("; "))));
}

TCorner CornerPosition(const TSMDCorner& corner)
{
    return {corner.Position.X, corner.Position.Y, corner.Position.Z};
}

// Corners repeating the same line text are one vertex to the reader.
int VertexOf(const TSMDCorner& corner, const int number)
{
    return corner.SameAs >= 0 ? corner.SameAs : number;
}

void CheckTriangles(const TSMDFile& file, TInspection& inspection)
{
    QList<int> lines;
    QString firstReason;
    for (size_t t = 0; t < file.Triangles.size(); ++t)
    {
        const auto& c = file.Triangles[t].Corners;
        const int first = static_cast<int>(3 * t);
        const QString reason =
            DegenerateReason({VertexOf(c[0], first), VertexOf(c[1], first + 1), VertexOf(c[2], first + 2)},
                             {CornerPosition(c[0]), CornerPosition(c[1]), CornerPosition(c[2])});
        if (reason.isEmpty())
            continue;
        if (lines.isEmpty())
            firstReason = reason;
        lines.append(c[0].Line - 1);
    }
    if (!lines.isEmpty())
        inspection.Warn(QStringLiteral("%1 degenerate triangles (the first %2): the triangles at lines %3")
                            .arg(lines.size())
                            .arg(firstReason, ListSome(lines)));
}

// The diagonal of the box around every corner: no two points of the model
// lie farther apart, so a vertex farther than that from its bone is bound to
// a bone that is not where the model is.
double LargestExtent(const TSMDFile& file)
{
    TCorner low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& corner : triangle.Corners)
        {
            const TCorner p = CornerPosition(corner);
            for (size_t k = 0; k < 3; ++k)
            {
                low[k] = std::min(low[k], p[k]);
                high[k] = std::max(high[k], p[k]);
            }
        }
    if (file.Triangles.empty())
        return 0;
    const double dx = high[0] - low[0], dy = high[1] - low[1], dz = high[2] - low[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Bone positions come from the skeleton the reader builds, posed in the first
// frame as it binds the vertices.
void CheckVerticesNearTheirBones(const TSMDFile& file, TSkeleton& skeleton, TInspection& inspection)
{
    const double extent = LargestExtent(file);
    QList<int> lines;
    for (const TSMDTriangle& triangle : file.Triangles)
        for (const TSMDCorner& corner : triangle.Corners)
        {
            const TSkeletonBone* const bone = skeleton.BoneByID(corner.BoneId);
            if (bone == nullptr)
                continue;
            const auto& origin = bone->GlobalMatrix()[3];
            const double dx = corner.Position.X - origin[0], dy = corner.Position.Y - origin[1],
                         dz = corner.Position.Z - origin[2];
            if (std::sqrt(dx * dx + dy * dy + dz * dz) > extent)
                lines.append(corner.Line);
        }
    if (!lines.isEmpty())
        inspection.Warn(QStringLiteral("%1 vertices lie farther from their bone than the model's largest extent "
                                       "(%2, the diagonal of its box) in the first frame: lines %3")
                            .arg(lines.size())
                            .arg(extent)
                            .arg(ListSome(lines)));
}

// The reader's own load, as the game runs it, for what only the whole load
// checks (the corners' bones) and for the posed skeleton.
void LoadAsTheGameDoes(const QByteArray& bytes, const QString& fileName, const TSMDFile& file,
                       TInspection& inspection)
{
    TGLFreeForm mesh(nullptr);
    TGLSMDVectorFile reader(&mesh);
    reader.SetResourceName(fileName);
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    try
    {
        reader.LoadFromStream(buffer);
    }
    catch (const Exception& e)
    {
        inspection.Fail(e.Message());
        return;
    }
    mesh.Skeleton().RootBones().UpdateGlobalMatrices();
    CheckVerticesNearTheirBones(file, mesh.Skeleton(), inspection);
}
} // namespace

TInspection InspectSMD(const QByteArray& bytes, const QString& fileName)
{
    TInspection inspection(fileName, QStringLiteral("smd"));
    // An animation is read as it would be after its model, but with its own
    // nodes, so that it is checked on its own.
    TSMDContext context;
    context.OwnerHasMeshObjects = true;
    TSMDFile file;
    try
    {
        file = ParseSMD(bytes, fileName, context);
    }
    catch (const ESMDError& e)
    {
        inspection.Fail(e.Message());
        return inspection;
    }
    const TSMDLines lines(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    QJsonObject& facts = inspection.Facts();
    facts.insert(QStringLiteral("kind"), file.IsModel ? QStringLiteral("model") : QStringLiteral("animation"));
    facts.insert(QStringLiteral("bones"), ListBones(file));
    facts.insert(QStringLiteral("frames"), DescribeFrames(lines, file));
    facts.insert(QStringLiteral("triangles"), static_cast<int>(file.Triangles.size()));
    facts.insert(QStringLiteral("materials"), TrianglesPerMaterial(file));
    facts.insert(QStringLiteral("weights"), DescribeWeights(lines, file));
    CheckFramesListEveryBone(lines, file, inspection);
    CheckTriangles(file, inspection);
    if (file.IsModel)
        LoadAsTheGameDoes(bytes, fileName, file, inspection);
    return inspection;
}
