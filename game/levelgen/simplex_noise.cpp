#include "game/levelgen/simplex_noise.h"

#include "game/levelgen/simplex_noise_lanes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace {

using simplex_noise_lanes::kPerm;

// The reference fast floor: whole numbers and 0 map one lower, which the vanishing corner terms
// hide. Values far beyond any level's coordinates (and NaN) are pinned first, so that the
// conversion stays defined.
inline int fast_floor(float v) {
    using simplex_noise_lanes::kPin;
    if (!(v > -kPin && v < kPin)) v = v > 0.0f ? kPin : -kPin;
    int i = static_cast<int>(v);
    return v > 0.0f ? i : i - 1;
}

// The gradient negates by flipping the sign bit rather than by a branch: the hashes are random,
// so a branch would mispredict about every other time at high octaves.
inline float flip_sign(float v, unsigned flip) {
    return std::bit_cast<float>(std::bit_cast<uint32_t>(v) ^ (flip << 31));
}

inline float grad1(int hash, float x) {
    int h = hash & 15;
    float g = flip_sign(1.0f + static_cast<float>(h & 7), unsigned(h >> 3) & 1u);
    return g * x;
}

// Four lanes (SSE2, part of every x86-64); a single value is one lane of it. SSE2 has no
// gather: the cells' hashes are looked up lane by lane.
struct Lanes4 {
    typedef float F __attribute__((vector_size(16)));
    typedef int32_t I __attribute__((vector_size(16)));
    typedef uint32_t U __attribute__((vector_size(16)));
    static U corner_hashes(I cell) {
        const auto& h = simplex_noise_lanes::kCornerHash.h;
        return U{h[cell[0]], h[cell[1]], h[cell[2]], h[cell[3]]};
    }
};
using Noise4 = SimplexLanes<Lanes4>;

// Eight lanes where the CPU has AVX2, from a source of its own built for it.
bool use_eight_lanes() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

}  // namespace

float simplex_noise_1d(float x) {
    int i0 = fast_floor(x);
    int i1 = i0 + 1;
    float x0 = x - static_cast<float>(i0);
    float x1 = x0 - 1.0f;

    float t0 = 1.0f - x0 * x0;
    t0 *= t0;
    float n0 = t0 * t0 * grad1(kPerm.p[i0 & 255], x0);

    float t1 = 1.0f - x1 * x1;
    t1 *= t1;
    float n1 = t1 * t1 * grad1(kPerm.p[i1 & 255], x1);

    return 0.25f * (n0 + n1);
}

float simplex_noise_2d(float x, float y) { return Noise4::noise(Noise4::splat(x), Noise4::splat(y))[0]; }

void octave_noise_2d_row(const float* xs, int count, float y, const float* factors, int octaves, float* out) {
    if (use_eight_lanes()) simplex_noise_lanes::octave_noise_2d_row_avx2(xs, count, y, factors, octaves, out);
    else Noise4::row(xs, count, y, factors, octaves, out);
}

float octave_factor(int octave) { return static_cast<float>(std::pow(2.0, octave)); }

float octave_noise_1d(int octaves, float x) {
    float sum = 0.0f;
    for (int i = 0; i < octaves; ++i) sum += simplex_noise_1d(octave_factor(i) * x);
    return sum;
}
