#include "LimbSolver.h"

#include <algorithm>
#include <cmath>

namespace Fighter
{

namespace
{

// The part of `v` square to the unit vector `axis`, made unit; `fallback`
// stands in when `v` runs along the axis.
TVec3 SquareTo(const TVec3& v, const TVec3& axis, const TVec3& fallback)
{
    const TVec3 square = v - axis * Dot(v, axis);
    if (Length(square) > 1e-6)
        return Normalized(square);
    return Normalized(fallback - axis * Dot(fallback, axis));
}

// Both segments turn about the same axis, square to the plane they bend in,
// so the middle joint's rotation is one hinge angle that never flips sides.
TRotation SegmentRotation(const TVec3& direction, const TVec3& hinge)
{
    const TVec3 z = -direction;
    return {{Cross(hinge, z), hinge, z}};
}

} // namespace

TLimbSolution SolveLimb(const TVec3& root, const TVec3& target, const double upperLength, const double lowerLength,
                        const TVec3& pole, const TVec3& front)
{
    const TVec3 toTarget = target - root;
    const TVec3 axis = Length(toTarget) > 1e-9 ? Normalized(toTarget) : TVec3{0, 0, -1};
    // Never quite straight, so the bend keeps its side from frame to frame.
    const double reach =
        std::clamp(Length(toTarget), std::abs(upperLength - lowerLength) + 1e-3, (upperLength + lowerLength) * 0.99999);
    const double along = (upperLength * upperLength - lowerLength * lowerLength + reach * reach) / (2 * reach);
    const double out = std::sqrt(std::max(0.0, upperLength * upperLength - along * along));
    const TVec3 bend = SquareTo(pole, axis, {1, 0, 0});
    const TVec3 joint = root + axis * along + bend * out;
    const TVec3 end = root + axis * reach;
    const TVec3 upper = Normalized(joint - root);
    TVec3 hinge = Normalized(Cross(axis, bend));
    if (Dot(Cross(hinge, -axis), front) < 0)
        hinge = -hinge;
    return {SegmentRotation(upper, hinge), SegmentRotation(Normalized(end - joint), hinge), joint, end};
}

} // namespace Fighter
