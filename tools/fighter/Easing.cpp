#include "Easing.h"

#include <algorithm>

namespace Fighter
{

double Ease(const TEase ease, const double t)
{
    const double s = std::clamp(t, 0.0, 1.0);
    switch (ease)
    {
    case eaInOut:
        return s * s * (3 - 2 * s);
    case eaIn:
        return s * s;
    case eaOut:
        return 1 - (1 - s) * (1 - s);
    case eaLinear:
        break;
    }
    return s;
}

} // namespace Fighter
