#pragma once

#include <cstdint>
#include <random>

// Loaders index a file's lines and vertices by hash. With fixed hash
// constants a crafted file could put every key in one probe chain and make a
// load quadratic; a seed drawn once per process keeps the chains short
// whatever the file holds. Indices keep their keys in insertion order, so
// nothing a loader produces depends on the seed.
inline std::uint64_t ProcessHashSeed()
{
    static const std::uint64_t seed = []
    {
        std::random_device device;
        return (std::uint64_t(device()) << 32 | device()) | 1;
    }();
    return seed;
}

// Two words mixed under a secret: the high and low halves of their 128-bit
// product, each word first xor-ed with its own half of the key.
class TSeededMix
{
public:
    TSeededMix() : TSeededMix(ProcessHashSeed()) {}
    explicit TSeededMix(const std::uint64_t seed)
        : FKeyA(seed ^ 0xA0761D6478BD642Full), FKeyB(seed * 0xE7037ED1A0B428DBull ^ 0x8EBC6AF09C88C6E3ull)
    {
    }

    std::uint64_t operator()(const std::uint64_t a, const std::uint64_t b) const
    {
        const unsigned __int128 product = static_cast<unsigned __int128>(a ^ FKeyA) * (b ^ FKeyB);
        return std::uint64_t(product) ^ std::uint64_t(product >> 64);
    }

private:
    std::uint64_t FKeyA;
    std::uint64_t FKeyB;
};
