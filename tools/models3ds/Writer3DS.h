#pragma once

// Writes 3DS model files: a chunk tree, little-endian, each chunk's length
// patched in when the chunk is closed.
#include "MeshPart.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TChunkWriter
{
public:
    void Begin(uint16_t tag);
    void End();
    void U8(uint8_t value);
    void U16(uint16_t value);
    void U32(uint32_t value);
    void F32(float value);
    void String(const std::string& text);

    // The bytes written so far; complete once every chunk is closed.
    const std::vector<uint8_t>& Bytes() const { return FBytes; }
    bool Closed() const { return FOpen.empty(); }

private:
    std::vector<uint8_t> FBytes;
    std::vector<size_t> FOpen;
};

// The one material every object of a file is drawn with, for readers that
// want one; the game draws its meshes with their scene object's own colours.
struct T3DSMaterialSpec
{
    std::string Name;
    uint8_t Red = 0, Green = 0, Blue = 0;
};

// A whole model file. An object needing more than the format's 16-bit counts
// of vertices or faces, or a name longer than the format's 10 characters,
// raises std::invalid_argument naming the object.
std::vector<uint8_t> Encode3DS(const std::vector<TMeshPart>& parts, const T3DSMaterialSpec& material);

// Encodes and writes the file, creating its folder; a failure to write raises
// std::runtime_error naming the file.
void Save3DS(const std::filesystem::path& fileName, const std::vector<TMeshPart>& parts,
             const T3DSMaterialSpec& material);
