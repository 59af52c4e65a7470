#include "Geometry.h"

TTransform TTransform::TurnZ(const double radians, const TVec3 origin)
{
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {{c, s, 0}, {-s, c, 0}, {0, 0, 1}, origin};
}

TTransform TTransform::Scaling(const double factor)
{
    return {{factor, 0, 0}, {0, factor, 0}, {0, 0, factor}, {}};
}

TTransform TTransform::Rotation(const TVec3 axis, const double radians)
{
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const auto image = [&](const TVec3 v) {
        // Rodrigues: the part along the axis stays, the rest turns.
        return v * c + Cross(axis, v) * s + axis * (Dot(axis, v) * (1 - c));
    };
    return {image({1, 0, 0}), image({0, 1, 0}), image({0, 0, 1}), {}};
}

TTransform TTransform::After(const TTransform& first) const
{
    const auto turn = [&](const TVec3 v) { return AxisX * v.X + AxisY * v.Y + AxisZ * v.Z; };
    return {turn(first.AxisX), turn(first.AxisY), turn(first.AxisZ), Apply(first.Origin)};
}
