#pragma once

#include "SceneObjects.h"

namespace CubeTypes
{
Q_NAMESPACE

enum TCubePart
{
    cpTop = 1 << 0,
    cpBottom = 1 << 1,
    cpFront = 1 << 2,
    cpBack = 1 << 3,
    cpLeft = 1 << 4,
    cpRight = 1 << 5,
};
Q_DECLARE_FLAGS(TCubeParts, TCubePart)
Q_FLAG_NS(TCubeParts)

enum TNormalDirection
{
    ndInside,
    ndOutside,
};
Q_ENUM_NS(TNormalDirection)
} // namespace CubeTypes
using namespace CubeTypes;
Q_DECLARE_OPERATORS_FOR_FLAGS(CubeTypes::TCubeParts)

// One vertex of the cube's geometry: texture coordinate then position.
struct TCubeVertex
{
    float S, T;
    float X, Y, Z;
};

// A box with its material, drawn directly every frame; the whole texture is
// mapped once onto each face.
class TGLCube : public TGLSceneObject
{
    Q_OBJECT
    Q_PROPERTY(float CubeWidth READ CubeWidth WRITE SetCubeWidth)
    Q_PROPERTY(float CubeHeight READ CubeHeight WRITE SetCubeHeight)
    Q_PROPERTY(float CubeDepth READ CubeDepth WRITE SetCubeDepth)
    Q_PROPERTY(CubeTypes::TCubeParts Parts READ Parts WRITE SetParts)
    Q_PROPERTY(CubeTypes::TNormalDirection NormalDirection READ NormalDirection WRITE SetNormalDirection)

public:
    explicit TGLCube(QObject* AOwner);

    float CubeWidth() const { return FCubeWidth; }
    void SetCubeWidth(float value);
    float CubeHeight() const { return FCubeHeight; }
    void SetCubeHeight(float value);
    float CubeDepth() const { return FCubeDepth; }
    void SetCubeDepth(float value);
    TCubeParts Parts() const { return FParts; }
    void SetParts(TCubeParts value);
    TNormalDirection NormalDirection() const { return FNormalDirection; }
    void SetNormalDirection(TNormalDirection value);

    TVector HalfExtents() const override;
    void EmitGeometry(TRenderContextInfo& info) override;

    // The quads as emitted: for each part present, its normal then four
    // vertices, in drawing order.
    struct TFace
    {
        TVector Normal;
        TCubeVertex Corners[4];
    };
    int BuildFaces(TFace (&faces)[6]) const;

private:
    void SetSize(float& field, float value);

    float FCubeWidth = 1;
    float FCubeHeight = 1;
    float FCubeDepth = 1;
    TCubeParts FParts = TCubeParts(cpTop | cpBottom | cpFront | cpBack | cpLeft | cpRight);
    TNormalDirection FNormalDirection = ndOutside;
};

// Registers the cube by class name.
void RegisterCubeClasses();
