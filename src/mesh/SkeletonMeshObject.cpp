#include "SkeletonMeshObject.h"

#include "GLBaseMesh.h"
#include "Skeleton.h"

TSkeletonMeshObject::TSkeletonMeshObject(TMeshObjectList* owner) : TMorphableMeshObject(owner) {}

TSkeletonMeshObject::~TSkeletonMeshObject() = default;

void TSkeletonMeshObject::SetBoneSlots(int count) { FBoneSlots = count; }
void TSkeletonMeshObject::SetBoneWeightsCapacity(int capacity) { FBoneWeightsCapacity = capacity; }
void TSkeletonMeshObject::Clear() { TMorphableMeshObject::Clear(); }
int TSkeletonMeshObject::FindOrAddVertex(int, const TAffineVector&, const TAffineVector&) { return -1; }
void TSkeletonMeshObject::AppendBoneWeights(const TVertexBoneWeightDynArray&) {}
void TSkeletonMeshObject::PrepareInvertedMeshes() {}
void TSkeletonMeshObject::ApplyCurrentPose(bool) {}
