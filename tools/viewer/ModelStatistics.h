#pragma once

#include "VectorGeometry.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TGLActor;

// What a model maker checks after an export: counts, materials, the
// skeleton's size and the model's extents.
struct TModelStatistics
{
    struct TFaceGroupUse
    {
        QString ObjectName;
        int FaceGroups = 0;
        // One entry per group, in drawing order; empty for the object's own.
        QStringList Materials;
    };

    int Objects = 0;
    int Vertices = 0;
    int Faces = 0;
    std::vector<TFaceGroupUse> FaceGroupUses;
    // Distinct smoothing groups, for formats that store them.
    std::optional<int> SmoothingGroups;
    int Bones = 0;
    int Frames = 0;
    int Animations = 0;
    TAffineVector ExtentsMin{0, 0, 0};
    TAffineVector ExtentsMax{0, 0, 0};
    double LoadMilliseconds = 0;

    QString Text() const;
};

// Reads the mesh as loaded; `fileName` is consulted for what the mesh does
// not keep (the smoothing groups of a 3DS file).
TModelStatistics MeasureModel(const TGLActor& actor, const QString& fileName, double loadMilliseconds);

// Distinct smoothing-group bits over every mesh of a 3DS file; nothing when
// the file has no smoothing chunk or cannot be read.
std::optional<int> Count3DSSmoothingGroups(const QString& fileName);
