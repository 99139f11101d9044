#include "game/levelgen/simplex_noise.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

// Perlin's improved-noise permutation, twice in a row so that an index up to 510 needs no wrap.
constexpr uint8_t kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,
    103, 30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,
    0,   26,  197, 62,  94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149,
    56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166,
    77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,  55,  46,
    245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187,
    208, 89,  18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186,
    3,   64,  52,  217, 226, 250, 124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212,
    207, 206, 59,  227, 47,  16,  58,  17,  182, 189, 28,  42,  223, 183, 170, 213, 119, 248,
    152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,   129, 22,  39,  253,
    19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107,
    49,  192, 214, 31,  181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,
    150, 254, 138, 236, 205, 93,  222, 114, 67,  29,  24,  72,  243, 141, 128, 195, 78,  66,
    215, 61,  156, 180};

struct PermTable {
    uint8_t p[512];
    constexpr PermTable() : p{} {
        for (int i = 0; i < 512; ++i) p[i] = kPermutation[i & 255];
    }
};
constexpr PermTable kPerm;

constexpr float kF2 = 0.36602539f;  // (sqrt(3) - 1) / 2 computed in single precision
static_assert(std::bit_cast<uint32_t>(kF2) == 0x3ebb67aeu);
constexpr float kG2 = 0.211324865405f;  // (3 - sqrt(3)) / 6
constexpr float kG2Twice = 2.0f * kG2;

// The reference fast floor: whole numbers and 0 map one lower, which the vanishing corner terms
// hide. Values far beyond any level's coordinates (and NaN) are pinned first, so that the
// conversion and the cell sums below stay defined.
inline int fast_floor(float v) {
    if (!(v > -536870912.0f && v < 536870912.0f)) v = v > 0.0f ? 536870912.0f : -536870912.0f;
    int i = static_cast<int>(v);
    return v > 0.0f ? i : i - 1;
}

// The gradients select and negate by bit operations rather than branches: the hashes are
// random, so branches would mispredict about every other time at high octaves. Flipping the
// sign bit is exactly the negation, so the results are those of the branching form.
inline float flip_sign(float v, unsigned flip) {
    return std::bit_cast<float>(std::bit_cast<uint32_t>(v) ^ (flip << 31));
}

inline float grad1(int hash, float x) {
    int h = hash & 15;
    float g = flip_sign(1.0f + static_cast<float>(h & 7), unsigned(h >> 3) & 1u);
    return g * x;
}

inline float grad2(int hash, float x, float y) {
    int h = hash & 7;
    const float xy[2] = {x, y};
    unsigned swap = unsigned(h >> 2) & 1u;  // h >= 4: u = y, v = x
    float u = xy[swap], v = xy[swap ^ 1u];
    return flip_sign(u, unsigned(h) & 1u) + flip_sign(2.0f * v, unsigned(h >> 1) & 1u);
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

float simplex_noise_2d(float x, float y) {
    float s = (x + y) * kF2;
    int i = fast_floor(x + s);
    int j = fast_floor(y + s);

    float t = static_cast<float>(i + j) * kG2;
    float x0 = x - (static_cast<float>(i) - t);
    float y0 = y - (static_cast<float>(j) - t);

    // Middle corner: (1, 0) below the diagonal, else (0, 1).
    const int i1 = x0 > y0 ? 1 : 0;
    const int j1 = 1 - i1;

    float x1 = x0 - static_cast<float>(i1) + kG2;
    float y1 = y0 - static_cast<float>(j1) + kG2;
    float x2 = x0 - 1.0f + kG2Twice;
    float y2 = y0 - 1.0f + kG2Twice;

    int ii = i & 255;
    int jj = j & 255;
    int g0 = kPerm.p[ii + kPerm.p[jj]];
    int g1 = kPerm.p[ii + i1 + kPerm.p[jj + j1]];
    int g2 = kPerm.p[ii + 1 + kPerm.p[jj + 1]];

    // A corner out of reach (t < 0) adds nothing.
    float n0 = 0.0f, n1 = 0.0f, n2 = 0.0f;
    float t0 = 0.5f - x0 * x0 - y0 * y0;
    if (t0 >= 0.0f) {
        t0 *= t0;
        n0 = t0 * t0 * grad2(g0, x0, y0);
    }
    float t1 = 0.5f - x1 * x1 - y1 * y1;
    if (t1 >= 0.0f) {
        t1 *= t1;
        n1 = t1 * t1 * grad2(g1, x1, y1);
    }
    float t2 = 0.5f - x2 * x2 - y2 * y2;
    if (t2 >= 0.0f) {
        t2 *= t2;
        n2 = t2 * t2 * grad2(g2, x2, y2);
    }
    return 40.0f * (n0 + n1 + n2);
}

float octave_factor(int octave) { return static_cast<float>(std::pow(2.0, octave)); }

float octave_noise_1d(int octaves, float x) {
    float sum = 0.0f;
    for (int i = 0; i < octaves; ++i) sum += simplex_noise_1d(octave_factor(i) * x);
    return sum;
}
