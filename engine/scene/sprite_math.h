#pragma once
#include <climits>
#include <cmath>

// A float truncated towards zero as an int; values beyond the int range give its ends and NaN
// gives 0, where a plain conversion would be undefined.
inline int truncate_to_int(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483648.0f) return INT_MAX;
    if (v <= -2147483648.0f) return INT_MIN;
    return int(v);
}
