#pragma once

#include "GLMaterialLibrary.h"
#include "SceneObjects.h"

#include <QPointer>

namespace SkyBoxTypes
{
Q_NAMESPACE

enum TSkyBoxStyle
{
    sbsFull,
    sbsTopHalf,
    sbsBottomHalf,
    sbTopTwoThirds,
    sbsTopHalfClamped,
};
Q_ENUM_NS(TSkyBoxStyle)
} // namespace SkyBoxTypes
using namespace SkyBoxTypes;

// Six textured faces drawn round the camera behind everything else: no depth
// test, no depth writes, at half the far distance so that they never clip.
// Its materials are looked up by name in a library at every frame.
class TGLSkyBox : public TGLImmaterialSceneObject
{
    Q_OBJECT
    Q_PROPERTY(TGLMaterialLibrary* MaterialLibrary READ MaterialLibrary WRITE SetMaterialLibrary)
    Q_PROPERTY(QString MatNameTop READ MatNameTop WRITE SetMatNameTop)
    Q_PROPERTY(QString MatNameBottom READ MatNameBottom WRITE SetMatNameBottom)
    Q_PROPERTY(QString MatNameLeft READ MatNameLeft WRITE SetMatNameLeft)
    Q_PROPERTY(QString MatNameRight READ MatNameRight WRITE SetMatNameRight)
    Q_PROPERTY(QString MatNameFront READ MatNameFront WRITE SetMatNameFront)
    Q_PROPERTY(QString MatNameBack READ MatNameBack WRITE SetMatNameBack)
    Q_PROPERTY(QString MatNameClouds READ MatNameClouds WRITE SetMatNameClouds)
    Q_PROPERTY(float CloudsPlaneOffset READ CloudsPlaneOffset WRITE SetCloudsPlaneOffset)
    Q_PROPERTY(float CloudsPlaneSize READ CloudsPlaneSize WRITE SetCloudsPlaneSize)
    Q_PROPERTY(SkyBoxTypes::TSkyBoxStyle Style READ Style WRITE SetStyle)

public:
    explicit TGLSkyBox(QObject* AOwner);

    TGLMaterialLibrary* MaterialLibrary() const { return FMaterialLibrary; }
    void SetMaterialLibrary(TGLMaterialLibrary* value);
    QString MatNameTop() const { return FMatNameTop; }
    void SetMatNameTop(const QString& value) { SetName(FMatNameTop, value); }
    QString MatNameBottom() const { return FMatNameBottom; }
    void SetMatNameBottom(const QString& value) { SetName(FMatNameBottom, value); }
    QString MatNameLeft() const { return FMatNameLeft; }
    void SetMatNameLeft(const QString& value) { SetName(FMatNameLeft, value); }
    QString MatNameRight() const { return FMatNameRight; }
    void SetMatNameRight(const QString& value) { SetName(FMatNameRight, value); }
    QString MatNameFront() const { return FMatNameFront; }
    void SetMatNameFront(const QString& value) { SetName(FMatNameFront, value); }
    QString MatNameBack() const { return FMatNameBack; }
    void SetMatNameBack(const QString& value) { SetName(FMatNameBack, value); }
    QString MatNameClouds() const { return FMatNameClouds; }
    void SetMatNameClouds(const QString& value) { SetName(FMatNameClouds, value); }
    float CloudsPlaneOffset() const { return FCloudsPlaneOffset; }
    void SetCloudsPlaneOffset(float value);
    float CloudsPlaneSize() const { return FCloudsPlaneSize; }
    void SetCloudsPlaneSize(float value);
    TSkyBoxStyle Style() const { return FStyle; }
    void SetStyle(TSkyBoxStyle value) { FStyle = value; }

    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;

private:
    void SetName(QString& field, const QString& value);
    TMatrix BoxMatrix(const TRenderContextInfo& info, float size);
    void ApplyStyle() const;
    void DrawFaces(TRenderContextInfo& info);
    void DrawClouds(TRenderContextInfo& info);

    QPointer<TGLMaterialLibrary> FMaterialLibrary;
    QString FMatNameTop, FMatNameBottom, FMatNameLeft, FMatNameRight, FMatNameFront, FMatNameBack, FMatNameClouds;
    float FCloudsPlaneOffset = 0.2f;
    float FCloudsPlaneSize = 32;
    TSkyBoxStyle FStyle = sbsFull;
};

// Registers the sky box by class name.
void RegisterSkyBoxClasses();
