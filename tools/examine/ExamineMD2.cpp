#include "ExamineMD2.h"

#include "MD2.h"

namespace
{
QJsonObject DescribeFrames(const TMD2Model& model)
{
    QJsonObject frames{{QStringLiteral("count"), static_cast<int>(model.Frames.size())}};
    if (!model.Frames.empty())
    {
        frames.insert(QStringLiteral("first"), model.Frames.front().Name);
        frames.insert(QStringLiteral("last"), model.Frames.back().Name);
    }
    return frames;
}

// Judged in the first frame, the shape the mesh object is made with.
void CheckTriangles(const TMD2Model& model, TInspection& inspection)
{
    if (model.Frames.empty())
        return;
    const std::vector<TMD2Vector>& positions = model.Frames.front().Positions;
    QList<int> degenerate;
    QString firstReason;
    for (size_t t = 0; t < model.Triangles.size(); ++t)
    {
        const auto& v = model.Triangles[t].VertexIndices;
        const auto corner = [&](const std::uint16_t index) {
            const TMD2Vector& p = positions[index];
            return TCorner{p.X, p.Y, p.Z};
        };
        const QString reason = DegenerateReason({v[0], v[1], v[2]}, {corner(v[0]), corner(v[1]), corner(v[2])});
        if (reason.isEmpty())
            continue;
        if (degenerate.isEmpty())
            firstReason = reason;
        degenerate.append(static_cast<int>(t));
    }
    if (!degenerate.isEmpty())
        inspection.Warn(QStringLiteral("%1 degenerate triangles in the first frame (the first %2): triangles %3")
                            .arg(degenerate.size())
                            .arg(firstReason, ListSome(degenerate)));
}
} // namespace

TInspection InspectMD2(const QByteArray& bytes, const QString& fileName)
{
    TInspection inspection(fileName, QStringLiteral("md2"));
    TMD2Model model;
    try
    {
        model = ReadMD2({reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())},
                        fileName);
        // The mesh is made from the model as the game would make it.
        MakeMD2MorphMesh(model);
    }
    catch (const Exception& e)
    {
        inspection.Fail(e.Message());
        return inspection;
    }
    QJsonArray skins;
    for (const QString& skin : model.Skins)
        skins.append(skin);
    QJsonObject& facts = inspection.Facts();
    facts.insert(QStringLiteral("frames"), DescribeFrames(model));
    facts.insert(QStringLiteral("vertices"), model.Header.VertexCount);
    facts.insert(QStringLiteral("triangles"), static_cast<int>(model.Triangles.size()));
    facts.insert(QStringLiteral("textureCoordinates"), static_cast<int>(model.TexCoords.size()));
    facts.insert(QStringLiteral("skins"), skins);
    CheckTriangles(model, inspection);
    return inspection;
}
