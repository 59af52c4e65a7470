#pragma once

#include "Quaternion.h"
#include "VectorGeometry.h"

#include <cstdint>
#include <cstring>
#include <vector>

// A texture coordinate pair.
struct TTexPoint
{
    float S = 0, T = 0;

    friend bool operator==(const TTexPoint&, const TTexPoint&) = default;
};

// A growable list of plain values stored contiguously, as OpenGL takes them.
// Finding compares the stored bytes, so that -0 and 0 differ and a NaN finds
// itself: readers that merge equal vertices must not merge distinct bit
// patterns.
template <class T> class TBaseList
{
public:
    using TItem = T;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Grows with zeroed items or drops the last ones.
    void SetCount(int count) { FItems.resize(static_cast<size_t>(count < 0 ? 0 : count)); }
    void Clear() { FItems.clear(); }
    void Reserve(int capacity) { FItems.reserve(static_cast<size_t>(capacity)); }
    bool Empty() const { return FItems.empty(); }

    T* List() { return FItems.data(); }
    const T* List() const { return FItems.data(); }
    T& operator[](int index) { return FItems[static_cast<size_t>(index)]; }
    const T& operator[](int index) const { return FItems[static_cast<size_t>(index)]; }
    const std::vector<T>& Items() const { return FItems; }
    auto begin() { return FItems.begin(); }
    auto end() { return FItems.end(); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

    // The new item's index.
    int Add(const T& item)
    {
        FItems.push_back(item);
        return Count() - 1;
    }
    void AddList(const TBaseList& other) { FItems.insert(FItems.end(), other.FItems.begin(), other.FItems.end()); }
    void Assign(const TBaseList& other) { FItems = other.FItems; }
    // The index of the first item with the same bytes; -1 when none has.
    int IndexOf(const T& item) const
    {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (std::memcmp(&FItems[i], &item, sizeof(T)) == 0)
                return static_cast<int>(i);
        return -1;
    }
    int FindOrAdd(const T& item)
    {
        const int index = IndexOf(item);
        return index >= 0 ? index : Add(item);
    }

    friend bool operator==(const TBaseList&, const TBaseList&) = default;

protected:
    std::vector<T> FItems;
};

// Three floats per item: vertices, normals, texture coordinates (s, t, 0).
class TAffineVectorList : public TBaseList<TAffineVector>
{
public:
    void Translate(const TAffineVector& delta);
    void Scale(float factor);
    void Scale(const TAffineVector& factors); // component-wise
    // Zero vectors stay zero.
    void Normalize();
    TAffineVector Sum() const;
    // Min starts at +inf and max at -inf: an empty list gives those back.
    void GetExtents(TAffineVector& min, TAffineVector& max) const;
    // Item i := a[i] + t (b[i] - a[i]); throws EAssertionFailed on unequal counts.
    void Lerp(const TAffineVectorList& a, const TAffineVectorList& b, float t);
    // Item i += factor x other[i] over the common count.
    void Combine(const TAffineVectorList& other, float factor);
    // Rotation angle triples interpolated along the shorter arc
    // (InterpolateAngles); t = 0 and t = 1 copy a or b. Unequal counts:
    // EAssertionFailed.
    void AngleLerp(const TAffineVectorList& a, const TAffineVectorList& b, float t);
};

// Four floats per item: colours, homogeneous vectors.
class TVectorList : public TBaseList<TVector>
{
public:
    void Translate(const TAffineVector& delta); // x, y, z only
    void Scale(float factor);                   // all four
    // The x, y, z part; w is kept.
    void Normalize();
    TVector Sum() const;
    void GetExtents(TVector& min, TVector& max) const;
    void Lerp(const TVectorList& a, const TVectorList& b, float t);
};

class TTexPointList : public TBaseList<TTexPoint>
{
public:
    void Translate(const TTexPoint& delta);
    void Scale(float factor);
    void Normalize();
    TTexPoint Sum() const;
    void GetExtents(TTexPoint& min, TTexPoint& max) const;
    void Lerp(const TTexPointList& a, const TTexPointList& b, float t);
};

class TIntegerList : public TBaseList<std::int32_t>
{
public:
    void Offset(std::int32_t delta);
    std::int64_t Sum() const;
    // An empty list gives the type's largest and smallest values.
    void GetExtents(std::int32_t& min, std::int32_t& max) const;
};

class TSingleList : public TBaseList<float>
{
public:
    void Offset(float delta);
    void Scale(float factor);
    float Sum() const;
    void GetExtents(float& min, float& max) const;
    void Lerp(const TSingleList& a, const TSingleList& b, float t);
};

class TByteList : public TBaseList<std::uint8_t>
{
public:
    std::int64_t Sum() const;
};

class TQuaternionList : public TBaseList<TQuaternion>
{
public:
    void Normalize();
    // Spherical interpolation item by item.
    void Lerp(const TQuaternionList& a, const TQuaternionList& b, float t);
    // Item i := item i x (the fraction `factor` of other[i]'s rotation), a
    // Hamilton product; over the common count.
    void Combine(const TQuaternionList& other, float factor);
};
