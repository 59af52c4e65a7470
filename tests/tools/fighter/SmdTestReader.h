#pragma once

// A test's own reading of the generated SMD files and its own composition of
// bone matrices, kept apart from the generator's code so that the two check
// each other.

#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace SmdTest
{

using TVec = std::array<double, 3>;
using TRot = std::array<TVec, 3>; // rows: images of the x, y, z axes

struct TNode
{
    std::string Name;
    int Parent = -1;
};

struct TBoneKey
{
    TVec Position, Angles;
};

struct TVertex
{
    int Bone = 0;
    TVec Position;
};

struct TSmdFile
{
    std::vector<TNode> Nodes;
    std::vector<std::vector<TBoneKey>> Frames;
    std::vector<std::array<TVertex, 3>> Triangles;
    bool HasTriangleSection = false;
};

inline std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline TSmdFile ReadSmd(const std::string& path)
{
    const std::vector<std::string> lines = Lines(path);
    TSmdFile file;
    std::size_t i = 2; // "version 1", "nodes"
    for (; lines.at(i) != "end"; ++i)
    {
        std::istringstream in(lines[i]);
        int id;
        TNode node;
        in >> id >> node.Name >> node.Parent;
        node.Name = node.Name.substr(1, node.Name.size() - 2);
        file.Nodes.push_back(node);
    }
    for (i += 2; lines.at(i) != "end"; ++i)
    {
        if (lines[i].rfind("time ", 0) == 0)
        {
            file.Frames.emplace_back();
            continue;
        }
        std::istringstream in(lines[i]);
        int bone;
        TBoneKey key;
        in >> bone >> key.Position[0] >> key.Position[1] >> key.Position[2] >> key.Angles[0] >> key.Angles[1] >>
            key.Angles[2];
        file.Frames.back().push_back(key);
    }
    ++i;
    if (i < lines.size() && lines[i] == "triangles")
    {
        file.HasTriangleSection = true;
        for (++i; lines.at(i) != "end"; i += 4)
        {
            std::array<TVertex, 3> triangle;
            for (int corner = 0; corner < 3; ++corner)
            {
                std::istringstream in(lines.at(i + 1 + corner));
                in >> triangle[corner].Bone >> triangle[corner].Position[0] >> triangle[corner].Position[1] >>
                    triangle[corner].Position[2];
            }
            file.Triangles.push_back(triangle);
        }
    }
    return file;
}

inline TVec Times(const TVec& v, const TRot& m)
{
    TVec out{};
    for (int column = 0; column < 3; ++column)
        out[column] = v[0] * m[0][column] + v[1] * m[1][column] + v[2] * m[2][column];
    return out;
}

inline TRot Times(const TRot& a, const TRot& b)
{
    return {Times(a[0], b), Times(a[1], b), Times(a[2], b)};
}

// The rotation about X, then Y, then Z of a frame's bone, for row vectors.
inline TRot BoneRotation(const TVec& angles)
{
    const double cx = std::cos(angles[0]), sx = std::sin(angles[0]);
    const double cy = std::cos(angles[1]), sy = std::sin(angles[1]);
    const double cz = std::cos(angles[2]), sz = std::sin(angles[2]);
    const TRot rx{{{1, 0, 0}, {0, cx, sx}, {0, -sx, cx}}};
    const TRot ry{{{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}}};
    const TRot rz{{{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}}};
    return Times(Times(rx, ry), rz);
}

struct TGlobal
{
    TRot Rotation;
    TVec Position;
};

// global := local x parent's global; nodes list parents first.
inline std::vector<TGlobal> Globals(const std::vector<TNode>& nodes, const std::vector<TBoneKey>& frame)
{
    std::vector<TGlobal> globals;
    for (std::size_t bone = 0; bone < nodes.size(); ++bone)
    {
        const TRot local = BoneRotation(frame.at(bone).Angles);
        if (nodes[bone].Parent < 0)
        {
            globals.push_back({local, frame[bone].Position});
            continue;
        }
        const TGlobal& parent = globals.at(nodes[bone].Parent);
        TVec position = Times(frame[bone].Position, parent.Rotation);
        for (int axis = 0; axis < 3; ++axis)
            position[axis] += parent.Position[axis];
        globals.push_back({Times(local, parent.Rotation), position});
    }
    return globals;
}

// Where a vertex bound in the `bind` pose lands in the `posed` one.
inline TVec Skin(const TVec& vertex, const TGlobal& bind, const TGlobal& posed)
{
    TVec offset{};
    for (int axis = 0; axis < 3; ++axis)
        offset[axis] = vertex[axis] - bind.Position[axis];
    // The inverse of a rotation is its transpose: project on its rows.
    TVec local{};
    for (int row = 0; row < 3; ++row)
        local[row] =
            offset[0] * bind.Rotation[row][0] + offset[1] * bind.Rotation[row][1] + offset[2] * bind.Rotation[row][2];
    TVec out = Times(local, posed.Rotation);
    for (int axis = 0; axis < 3; ++axis)
        out[axis] += posed.Position[axis];
    return out;
}

} // namespace SmdTest
