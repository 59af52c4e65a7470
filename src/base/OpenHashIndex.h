#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

// Keys to the value first added under each, for loaders that share equal
// vertices and look up every corner of a mesh. The keys sit in one dense
// array in the order they came; the table over them holds entry numbers and
// hash tags only, so a probe rarely leaves one cache line. Power-of-two
// capacity, linear probing, at most half full. THash gives 64 well-mixed bits;
// one hasher serves the index's life, so a keyed hasher draws its key once.
template <class TKey, class THash> class TOpenHashIndex
{
public:
    explicit TOpenHashIndex(THash hash = THash{}) : FHash(std::move(hash)) {}

    int Count() const { return static_cast<int>(FEntries.size()); }
    bool Empty() const { return FEntries.empty(); }

    // Room for `count` keys without growing.
    void Reserve(int count)
    {
        const size_t wanted = std::bit_ceil(std::max<size_t>(MinCapacity, 2 * static_cast<size_t>(std::max(count, 0))));
        FEntries.reserve(wanted / 2);
        if (wanted > FSlots.size())
            Rehash(wanted);
    }
    // Forgets every key and keeps the room.
    void Clear()
    {
        FEntries.clear();
        std::fill(FSlots.begin(), FSlots.end(), TSlot{});
    }
    // Forgets every key and frees the room.
    void Release()
    {
        std::vector<TEntry>().swap(FEntries);
        std::vector<TSlot>().swap(FSlots);
    }

    // The value stored under the key, or -1.
    int Find(const TKey& key) const
    {
        if (FSlots.empty())
            return -1;
        const std::uint64_t hash = FHash(key);
        for (size_t i = SlotOf(hash);; i = (i + 1) & Mask())
        {
            const TSlot& slot = FSlots[i];
            if (slot.Entry < 0)
                return -1;
            if (slot.Tag == TagOf(hash) && FEntries[static_cast<size_t>(slot.Entry)].Key == key)
                return FEntries[static_cast<size_t>(slot.Entry)].Value;
        }
    }

    // The value stored under the key and false; with none, `value` is stored
    // and returned with true.
    std::pair<int, bool> TryAdd(const TKey& key, int value)
    {
        if (2 * (FEntries.size() + 1) > FSlots.size())
            Rehash(std::max<size_t>(MinCapacity, 2 * FSlots.size()));
        const std::uint64_t hash = FHash(key);
        size_t i = SlotOf(hash);
        for (; FSlots[i].Entry >= 0; i = (i + 1) & Mask())
        {
            const TSlot& slot = FSlots[i];
            if (slot.Tag == TagOf(hash) && FEntries[static_cast<size_t>(slot.Entry)].Key == key)
                return {FEntries[static_cast<size_t>(slot.Entry)].Value, false};
        }
        FSlots[i] = {TagOf(hash), static_cast<std::int32_t>(FEntries.size())};
        FEntries.push_back({key, value});
        return {value, true};
    }

private:
    static constexpr size_t MinCapacity = 16;

    struct TSlot
    {
        std::uint32_t Tag = 0;
        std::int32_t Entry = -1;
    };
    struct TEntry
    {
        TKey Key;
        int Value;
    };

    size_t Mask() const { return FSlots.size() - 1; }
    // The top bits of a Fibonacci product: every bit of the hash counts.
    size_t SlotOf(std::uint64_t hash) const
    {
        return static_cast<size_t>((hash * 0x9E3779B97F4A7C15ull) >> (64 - std::countr_zero(FSlots.size())));
    }
    static std::uint32_t TagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash); }

    void Rehash(size_t capacity)
    {
        FSlots.assign(capacity, TSlot{});
        for (size_t e = 0; e < FEntries.size(); ++e)
        {
            const std::uint64_t hash = FHash(FEntries[e].Key);
            size_t i = SlotOf(hash);
            while (FSlots[i].Entry >= 0)
                i = (i + 1) & Mask();
            FSlots[i] = {TagOf(hash), static_cast<std::int32_t>(e)};
        }
    }

    [[no_unique_address]] THash FHash;
    std::vector<TSlot> FSlots;
    std::vector<TEntry> FEntries;
};
