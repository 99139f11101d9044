#pragma once
#include <limits>
#include <type_traits>

// A floating value as an integer for every input: truncated towards zero as a cast is, held to
// the integer type's range, NaN as 0. A plain conversion of NaN or of a value beyond the range
// is undefined, and a value a peer sent, or one computed from it, can be anything.
template <class Int, class Float>
constexpr Int saturate_cast(Float v) {
    static_assert(std::is_integral_v<Int> && !std::is_same_v<Int, bool> && std::is_floating_point_v<Float>);
    using Limits = std::numeric_limits<Int>;
    if (!(v == v)) return 0;
    // One past the largest value is a power of two, and so exact in every floating type; so is
    // the lowest value.
    constexpr Float above = Float(Limits::max() / 2 + 1) * Float(2);
    if (v >= above) return Limits::max();
    if (v <= Float(Limits::min())) return Limits::min();
    return Int(v);
}
