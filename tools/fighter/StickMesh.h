#pragma once

#include "FighterMath.h"

#include <array>
#include <vector>

// The stick figure's skin in the bind pose: limbs as slim capsules whose
// round ends make the joints, a ball for the head and for each fist. Normals
// are those of the smooth surfaces; every vertex follows one bone.
namespace Fighter
{

struct TSkinVertex
{
    int Bone = 0;
    TVec3 Position, Normal;
    double S = 0, T = 0;
};

using TSkinTriangle = std::array<TSkinVertex, 3>;

std::vector<TSkinTriangle> BuildStickMesh();

} // namespace Fighter
