#include "HashSeed.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

constexpr int SlotBits = 12;

std::uint64_t SlotOf(const std::uint64_t hash) { return hash >> (64 - SlotBits); }

// Keys that all land in one slot under `mix`, found the way someone crafting
// a file would look for them.
std::vector<std::uint64_t> KeysSharingASlot(const TSeededMix& mix, const size_t wanted)
{
    std::vector<std::uint64_t> keys;
    const std::uint64_t target = SlotOf(mix(0, 7));
    for (std::uint64_t key = 0; keys.size() < wanted; ++key)
        if (SlotOf(mix(key, 7)) == target)
            keys.push_back(key);
    return keys;
}

} // namespace

TEST(HashSeed, KeysCollidingUnderOneSeedSpreadUnderAnother)
{
    const TSeededMix crafted(0x0123456789ABCDEFull);
    const std::vector<std::uint64_t> keys = KeysSharingASlot(crafted, 64);

    const TSeededMix other(0xFEDCBA9876543210ull);
    std::set<std::uint64_t> slots;
    for (const std::uint64_t key : keys)
        slots.insert(SlotOf(other(key, 7)));
    // 64 keys in 4,096 slots: about one shared slot is expected by chance.
    EXPECT_GE(slots.size(), 56u);
}
