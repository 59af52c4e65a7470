#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Mono 16-bit PCM WAV files, written byte by byte so that the bytes are the
// same on every host.
namespace WavFile
{

inline void PutLittleEndian(std::vector<char>& out, const std::uint32_t value, const int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void PutTag(std::vector<char>& out, const char (&tag)[5])
{
    out.insert(out.end(), tag, tag + 4);
}

inline std::vector<char> Encode(const std::uint32_t sampleRate, const std::vector<std::int16_t>& samples)
{
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<char> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutLittleEndian(out, 36 + dataBytes, 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLittleEndian(out, 16, 4); // format chunk size
    PutLittleEndian(out, 1, 2);  // PCM
    PutLittleEndian(out, 1, 2);  // mono
    PutLittleEndian(out, sampleRate, 4);
    PutLittleEndian(out, sampleRate * 2, 4); // bytes per second
    PutLittleEndian(out, 2, 2);              // bytes per frame
    PutLittleEndian(out, 16, 2);             // bits per sample
    PutTag(out, "data");
    PutLittleEndian(out, dataBytes, 4);
    for (const std::int16_t sample : samples)
        PutLittleEndian(out, static_cast<std::uint16_t>(sample), 2);
    return out;
}

// Returns false when the file cannot be written.
inline bool Write(const std::string& path, const std::uint32_t sampleRate, const std::vector<std::int16_t>& samples)
{
    const std::vector<char> bytes = Encode(sampleRate, samples);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace WavFile
