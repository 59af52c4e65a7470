#pragma once

#include <QObject>

#include <cstdint>

// Enumerations of the meshes, named as layouts store them.
namespace MeshTypes
{
Q_NAMESPACE

enum TMeshNormalsOrientation
{
    mnoDefault,
    mnoInvert,
};
Q_ENUM_NS(TMeshNormalsOrientation)

enum TMeshAutoCentering
{
    macCenterX = 1 << 0,
    macCenterY = 1 << 1,
    macCenterZ = 1 << 2,
    macUseBarycenter = 1 << 3,
};
Q_DECLARE_FLAGS(TMeshAutoCenterings, TMeshAutoCentering)
Q_FLAG_NS(TMeshAutoCenterings)
} // namespace MeshTypes
using namespace MeshTypes;
Q_DECLARE_OPERATORS_FOR_FLAGS(MeshTypes::TMeshAutoCenterings)

// How a mesh object's vertices make triangles.
enum TMeshObjectMode : std::uint8_t
{
    momTriangles,
    momTriangleStrip,
    momFaceGroups,
};

// How a face group's indices make primitives.
enum TFaceGroupMeshMode : std::uint8_t
{
    fgmmTriangles,
    fgmmTriangleStrip,
    fgmmFlatTriangles,
    fgmmTriangleFan,
    fgmmQuads,
};

enum TMeshObjectRenderingOption : unsigned
{
    moroGroupByMaterial = 1u << 0,
};
