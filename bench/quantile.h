#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The value a fraction `q` of the way up the sorted values: 0.5 is the median
// (the lower middle one of an even count), 0.9 the 90th percentile.
template <typename T> T quantile(std::vector<T> values, double q)
{
    if (values.empty())
        return T();
    const auto at = values.begin() + std::ptrdiff_t(q * double(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}
