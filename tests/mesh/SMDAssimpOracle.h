// What Assimp reads from an SMD file, in plain values that a test of our own
// reader compares against. It knows nothing of our mesh code, so it stays an
// independent witness.
//
// What Assimp does to SMD data (version 5.2), and how this witness copes:
// - Positions, normals and texture coordinates are the file's own numbers: no
//   change of axes, no bind-pose transform, t not flipped. Post-processing is
//   off; the bones' offset matrices are not applied to anything.
// - Triangles are split into one mesh per material, the meshes in the order
//   the materials are first used, each holding its triangles in file order
//   with the corners in file order. The file's order across materials is
//   lost; AssimpTriangleOrder gives it back for a reader that keeps it.
// - Each material is named "Texture_<n>"; the name written in the file is its
//   diffuse texture path.
// - The animation has one channel per node id from 0 up to the highest id, in
//   id order, named as the node; an id the file skips gets an unnamed node at
//   the top of the tree. A channel has a key only for the frames that list
//   its bone, at the "time" number less the first frame's; rotations are
//   quaternions of the same rotation as the file's angles.
// - A file without triangles is read as an animation on its own.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

struct TOracleBone
{
    std::string Name;
    int Parent; // -1 for a root
};

struct TOracleCorner
{
    std::array<float, 3> Position;
    std::array<float, 3> Normal;
    std::array<float, 2> TexCoord;
    int Bone; // the bone with the largest weight on this corner
};

struct TOracleTriangle
{
    std::string Material;
    std::array<TOracleCorner, 3> Corners;
};

struct TOracleSMD
{
    std::vector<TOracleBone> Bones; // indexed by the file's node id
    int FrameCount = 0;
    // Translation of each bone's global matrix, frame by frame, Bones.size()
    // entries per frame, in the file's own coordinates.
    std::vector<std::array<float, 3>> GlobalPositions;
    // Grouped by material in order of first use, file order within a group.
    std::vector<TOracleTriangle> Triangles;

    std::array<float, 3> GlobalPosition(int frame, int bone) const;
};

// Throws std::runtime_error naming the file when Assimp cannot read it, or
// when it gives back something this witness cannot vouch for (a bone missing
// from a frame, two bones of one name).
TOracleSMD ReadSMDWithAssimp(const std::string& path);

// Where each triangle of a file, given its material in file order, lands in
// Assimp's grouped order: element i is the file index of Triangles[i].
std::vector<std::size_t> AssimpTriangleOrder(const std::vector<std::string>& materialPerTriangle);
