#include "SmdWriter.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace Fighter
{

namespace
{

constexpr int FrameDecimals = 6;
constexpr int MeshDecimals = 6;
// The skin has no picture of its own: the actors colour it.
constexpr const char* MaterialName = "null.bmp";

std::string Index(const int value)
{
    const std::string digits = std::to_string(value);
    return std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits;
}

void AppendNumbers(std::string& out, const TVec3& v, const int decimals)
{
    out += ' ' + FormatNumber(v.X, decimals) + ' ' + FormatNumber(v.Y, decimals) + ' ' + FormatNumber(v.Z, decimals);
}

void WriteNodes(std::string& out)
{
    out += "version 1\nnodes\n";
    for (int bone = 0; bone < BoneCount; ++bone)
        out += Index(bone) + " \"" + std::string(StickBones[bone].Name) + "\" " + Index(StickBones[bone].Parent) + '\n';
    out += "end\n";
}

void WriteFrames(std::string& out, const std::vector<TPose>& frames)
{
    out += "skeleton\n";
    for (std::size_t frame = 0; frame < frames.size(); ++frame)
    {
        out += "time " + std::to_string(frame) + '\n';
        for (int bone = 0; bone < BoneCount; ++bone)
        {
            out += Index(bone);
            AppendNumbers(out, frames[frame][bone].Position, FrameDecimals);
            AppendNumbers(out, frames[frame][bone].Angles, FrameDecimals);
            out += '\n';
        }
    }
    out += "end\n";
}

void WriteTriangles(std::string& out, const std::vector<TSkinTriangle>& triangles)
{
    out += "triangles\n";
    for (const TSkinTriangle& triangle : triangles)
    {
        out += MaterialName;
        out += '\n';
        for (const TSkinVertex& vertex : triangle)
        {
            out += Index(vertex.Bone);
            AppendNumbers(out, vertex.Position, MeshDecimals);
            AppendNumbers(out, vertex.Normal, MeshDecimals);
            out += ' ' + FormatNumber(vertex.S, MeshDecimals) + ' ' + FormatNumber(vertex.T, MeshDecimals) + '\n';
        }
    }
    out += "end\n";
}

} // namespace

std::string FormatNumber(const double value, const int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(value * scale) / scale;
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, rounded == 0 ? 0.0 : rounded, std::chars_format::fixed, decimals);
    if (error != std::errc())
        throw std::runtime_error("number too large for the model file: " + std::to_string(value));
    return std::string(buffer, end);
}

std::string SmdModel(const TPose& bindPose, const std::vector<TSkinTriangle>& triangles)
{
    std::string out;
    WriteNodes(out);
    WriteFrames(out, {bindPose});
    WriteTriangles(out, triangles);
    return out;
}

std::string SmdAnimation(const std::vector<TPose>& frames)
{
    std::string out;
    WriteNodes(out);
    WriteFrames(out, frames);
    return out;
}

} // namespace Fighter
