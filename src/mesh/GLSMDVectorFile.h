#pragma once

#include "VectorFile.h"

struct TSMDFile;
class TSkeletonMeshObject;

// Skeletal models and animations in SMD text. A model file brings bones, its
// frames and a skinned mesh object; an animation file appends its frames to
// the skeleton already loaded and, in an actor, becomes one named animation.
class TGLSMDVectorFile : public TVectorFile
{
    Q_OBJECT

public:
    using TVectorFile::TVectorFile;

    unsigned Capabilities() const override { return dfcRead | dfcWrite; }
    // The whole file is checked before anything of it enters the mesh, so a
    // damaged file leaves the mesh as it was.
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;

private:
    TSkeletonMeshObject& MeshObjectToFill(const TSMDFile& file);
    void CheckCornerBones(const TSMDFile& file) const;
    void AddBones(const TSMDFile& file);
    void AddFrames(const TSMDFile& file);
    void AddAnimation(const TSMDFile& file);
    void AddTriangles(const TSMDFile& file, TSkeletonMeshObject& object);
    void RegisterMaterial(const QString& name);
};
