#include "VectorLists.h"

#include "Exceptions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr float Infinity = std::numeric_limits<float>::infinity();

template <class L> void CheckLerpCounts(const L& a, const L& b)
{
    if (a.Count() != b.Count())
        throw EAssertionFailed(QStringLiteral("Lerp of lists of unequal counts (%1 and %2)").arg(a.Count()).arg(b.Count()));
}

float LerpValue(float a, float b, float t)
{
    return a + t * (b - a);
}

TAffineVector NormalizeAffine(const TAffineVector& v)
{
    const float length = std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z);
    if (length == 0)
        return v;
    const float f = 1.0f / length;
    return {v.X * f, v.Y * f, v.Z * f};
}
} // namespace

// ---------------------------------------------------------- affine vectors

void TAffineVectorList::Translate(const TAffineVector& delta)
{
    for (TAffineVector& v : FItems)
        v = {v.X + delta.X, v.Y + delta.Y, v.Z + delta.Z};
}

void TAffineVectorList::Scale(float factor)
{
    for (TAffineVector& v : FItems)
        v = {v.X * factor, v.Y * factor, v.Z * factor};
}

void TAffineVectorList::Scale(const TAffineVector& factors)
{
    for (TAffineVector& v : FItems)
        v = {v.X * factors.X, v.Y * factors.Y, v.Z * factors.Z};
}

void TAffineVectorList::Normalize()
{
    for (TAffineVector& v : FItems)
        v = NormalizeAffine(v);
}

TAffineVector TAffineVectorList::Sum() const
{
    TAffineVector sum;
    for (const TAffineVector& v : FItems)
        sum = {sum.X + v.X, sum.Y + v.Y, sum.Z + v.Z};
    return sum;
}

void TAffineVectorList::GetExtents(TAffineVector& min, TAffineVector& max) const
{
    min = {Infinity, Infinity, Infinity};
    max = {-Infinity, -Infinity, -Infinity};
    for (const TAffineVector& v : FItems)
    {
        min = {std::min(min.X, v.X), std::min(min.Y, v.Y), std::min(min.Z, v.Z)};
        max = {std::max(max.X, v.X), std::max(max.Y, v.Y), std::max(max.Z, v.Z)};
    }
}

void TAffineVectorList::Lerp(const TAffineVectorList& a, const TAffineVectorList& b, float t)
{
    CheckLerpCounts(a, b);
    SetCount(a.Count());
    for (int i = 0; i < a.Count(); ++i)
        (*this)[i] = {LerpValue(a[i].X, b[i].X, t), LerpValue(a[i].Y, b[i].Y, t), LerpValue(a[i].Z, b[i].Z, t)};
}

void TAffineVectorList::Combine(const TAffineVectorList& other, float factor)
{
    const int count = std::min(Count(), other.Count());
    for (int i = 0; i < count; ++i)
    {
        TAffineVector& v = (*this)[i];
        v = {v.X + factor * other[i].X, v.Y + factor * other[i].Y, v.Z + factor * other[i].Z};
    }
}

void TAffineVectorList::AngleLerp(const TAffineVectorList& a, const TAffineVectorList& b, float t)
{
    CheckLerpCounts(a, b);
    if (t == 0)
        Assign(a);
    else if (t == 1)
        Assign(b);
    else
    {
        SetCount(a.Count());
        for (int i = 0; i < a.Count(); ++i)
            (*this)[i] = InterpolateAngles(a[i], b[i], t);
    }
}

// ------------------------------------------------------------------ vectors

void TVectorList::Translate(const TAffineVector& delta)
{
    for (TVector& v : FItems)
        v = {v.X + delta.X, v.Y + delta.Y, v.Z + delta.Z, v.W};
}

void TVectorList::Scale(float factor)
{
    for (TVector& v : FItems)
        v = {v.X * factor, v.Y * factor, v.Z * factor, v.W * factor};
}

void TVectorList::Normalize()
{
    for (TVector& v : FItems)
    {
        const TAffineVector n = NormalizeAffine(v.Affine());
        v = {n.X, n.Y, n.Z, v.W};
    }
}

TVector TVectorList::Sum() const
{
    TVector sum;
    for (const TVector& v : FItems)
        sum = {sum.X + v.X, sum.Y + v.Y, sum.Z + v.Z, sum.W + v.W};
    return sum;
}

void TVectorList::GetExtents(TVector& min, TVector& max) const
{
    min = {Infinity, Infinity, Infinity, Infinity};
    max = {-Infinity, -Infinity, -Infinity, -Infinity};
    for (const TVector& v : FItems)
    {
        min = {std::min(min.X, v.X), std::min(min.Y, v.Y), std::min(min.Z, v.Z), std::min(min.W, v.W)};
        max = {std::max(max.X, v.X), std::max(max.Y, v.Y), std::max(max.Z, v.Z), std::max(max.W, v.W)};
    }
}

void TVectorList::Lerp(const TVectorList& a, const TVectorList& b, float t)
{
    CheckLerpCounts(a, b);
    SetCount(a.Count());
    for (int i = 0; i < a.Count(); ++i)
        (*this)[i] = {LerpValue(a[i].X, b[i].X, t), LerpValue(a[i].Y, b[i].Y, t), LerpValue(a[i].Z, b[i].Z, t),
                      LerpValue(a[i].W, b[i].W, t)};
}

// ------------------------------------------------------------ texture points

void TTexPointList::Translate(const TTexPoint& delta)
{
    for (TTexPoint& p : FItems)
        p = {p.S + delta.S, p.T + delta.T};
}

void TTexPointList::Scale(float factor)
{
    for (TTexPoint& p : FItems)
        p = {p.S * factor, p.T * factor};
}

void TTexPointList::Normalize()
{
    for (TTexPoint& p : FItems)
    {
        const float length = std::sqrt(p.S * p.S + p.T * p.T);
        if (length != 0)
            p = {p.S / length, p.T / length};
    }
}

TTexPoint TTexPointList::Sum() const
{
    TTexPoint sum;
    for (const TTexPoint& p : FItems)
        sum = {sum.S + p.S, sum.T + p.T};
    return sum;
}

void TTexPointList::GetExtents(TTexPoint& min, TTexPoint& max) const
{
    min = {Infinity, Infinity};
    max = {-Infinity, -Infinity};
    for (const TTexPoint& p : FItems)
    {
        min = {std::min(min.S, p.S), std::min(min.T, p.T)};
        max = {std::max(max.S, p.S), std::max(max.T, p.T)};
    }
}

void TTexPointList::Lerp(const TTexPointList& a, const TTexPointList& b, float t)
{
    CheckLerpCounts(a, b);
    SetCount(a.Count());
    for (int i = 0; i < a.Count(); ++i)
        (*this)[i] = {LerpValue(a[i].S, b[i].S, t), LerpValue(a[i].T, b[i].T, t)};
}

// ------------------------------------------------------------------ integers

void TIntegerList::Offset(std::int32_t delta)
{
    for (std::int32_t& v : FItems)
        v += delta;
}

std::int64_t TIntegerList::Sum() const
{
    std::int64_t sum = 0;
    for (const std::int32_t v : FItems)
        sum += v;
    return sum;
}

void TIntegerList::GetExtents(std::int32_t& min, std::int32_t& max) const
{
    min = std::numeric_limits<std::int32_t>::max();
    max = std::numeric_limits<std::int32_t>::min();
    for (const std::int32_t v : FItems)
    {
        min = std::min(min, v);
        max = std::max(max, v);
    }
}

// ------------------------------------------------------------------- singles

void TSingleList::Offset(float delta)
{
    for (float& v : FItems)
        v += delta;
}

void TSingleList::Scale(float factor)
{
    for (float& v : FItems)
        v *= factor;
}

float TSingleList::Sum() const
{
    float sum = 0;
    for (const float v : FItems)
        sum += v;
    return sum;
}

void TSingleList::GetExtents(float& min, float& max) const
{
    min = Infinity;
    max = -Infinity;
    for (const float v : FItems)
    {
        min = std::min(min, v);
        max = std::max(max, v);
    }
}

void TSingleList::Lerp(const TSingleList& a, const TSingleList& b, float t)
{
    CheckLerpCounts(a, b);
    SetCount(a.Count());
    for (int i = 0; i < a.Count(); ++i)
        (*this)[i] = LerpValue(a[i], b[i], t);
}

std::int64_t TByteList::Sum() const
{
    std::int64_t sum = 0;
    for (const std::uint8_t v : FItems)
        sum += v;
    return sum;
}

// --------------------------------------------------------------- quaternions

void TQuaternionList::Normalize()
{
    for (TQuaternion& q : FItems)
        q = QuaternionNormalize(q);
}

void TQuaternionList::Lerp(const TQuaternionList& a, const TQuaternionList& b, float t)
{
    CheckLerpCounts(a, b);
    SetCount(a.Count());
    for (int i = 0; i < a.Count(); ++i)
        (*this)[i] = QuaternionSlerp(a[i], b[i], t);
}

void TQuaternionList::Combine(const TQuaternionList& other, float factor)
{
    const int count = std::min(Count(), other.Count());
    for (int i = 0; i < count; ++i)
        (*this)[i] = QuaternionMultiply((*this)[i], QuaternionSlerp(IdentityQuaternion, other[i], factor));
}
