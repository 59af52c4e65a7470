#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The value below which `fraction` of the measurements lie; 0 for none.
inline double Percentile(std::vector<double> values, const double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t index = std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()));
    return values[index];
}
