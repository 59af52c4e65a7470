#include "GLMD2VectorFile.h"

#include "FaceGroups.h"
#include "GLBaseMesh.h"
#include "MD2.h"
#include "MeshObject.h"

#include <QFileInfo>

namespace
{
TAffineVector ToAffine(const TMD2Vector& v)
{
    return {v.X, v.Y, v.Z};
}

// Fills one target's arrays; inverted normals point into the model.
void CopyFrame(const TMD2MorphFrame& frame, bool invertNormals, TBaseMeshObject& target)
{
    target.Name = frame.Name;
    target.Vertices.Clear();
    target.Normals.Clear();
    for (const TMD2Vector& position : frame.Positions)
        target.Vertices.Add(ToAffine(position));
    const float sign = invertNormals ? -1.0f : 1.0f;
    for (const TMD2Vector& normal : frame.Normals)
        target.Normals.Add({sign * normal.X, sign * normal.Y, sign * normal.Z});
}

QByteArray ReadWholeStream(QIODevice& stream, const QString& fileName)
{
    // A file too large for the reader is refused before its bytes are read.
    if (stream.size() > MD2MaxFileSize)
        throw EMD2Error(QStringLiteral("The md2 file \"%1\" is too large: %2 bytes, more than %3")
                            .arg(fileName)
                            .arg(stream.size())
                            .arg(MD2MaxFileSize));
    return stream.readAll();
}
} // namespace

void TGLMD2VectorFile::LoadFromStream(QIODevice& stream)
{
    const QByteArray bytes = ReadWholeStream(stream, ResourceName());
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<size_t>(bytes.size()));
    const TMD2MorphMesh morph = MakeMD2MorphMesh(ReadMD2(data, ResourceName()));
    const bool invertNormals = NormalsOrientation() == mnoInvert;

    auto& object = Owner().MeshObjects().Add<TMorphableMeshObject>();
    object.SetMode(momFaceGroups);
    CopyFrame(morph.Frames.front(), invertNormals, object);
    object.Name = QFileInfo(ResourceName()).completeBaseName();
    for (const TMD2TexPoint& point : morph.TexCoords)
        object.TexCoords.Add({point.S, point.T, 0});
    auto& group = object.FaceGroups().Add<TFGVertexIndexList>();
    for (const std::int32_t index : morph.TriangleIndices)
        group.Add(index);
    for (const TMD2MorphFrame& frame : morph.Frames)
        CopyFrame(frame, invertNormals, object.MorphTargets.Add());
}
