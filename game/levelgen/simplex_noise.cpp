#include "game/levelgen/simplex_noise.h"

#include <emmintrin.h>

#include <algorithm>
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

// The gradient hashes of a cell's four corners, one byte each: (0, 0), (1, 0), (0, 1) and
// (1, 1) from the cell at [jj * 256 + ii]. The hash of corner (ii, jj) is p[ii + p[jj]], and the
// doubled table makes it repeat every 256 both ways. Only the low three bits choose a gradient.
struct CornerHashTable {
    uint32_t h[256 * 256];
    static constexpr uint32_t hash(int ii, int jj) { return kPerm.p[(ii & 255) + kPerm.p[jj & 255]] & 7u; }
    constexpr CornerHashTable() : h{} {
        for (int jj = 0; jj < 256; ++jj)
            for (int ii = 0; ii < 256; ++ii)
                h[jj * 256 + ii] =
                    hash(ii, jj) | hash(ii + 1, jj) << 8 | hash(ii, jj + 1) << 16 | hash(ii + 1, jj + 1) << 24;
    }
};
constexpr CornerHashTable kCornerHash;

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

// The 2D noise four lanes at once (SSE2, part of every x86-64); a single value is one lane of
// it. Every lane does the operations of the single-precision formulation in its order, so lanes
// and peers agree bit for bit. Corners out of reach are computed anyway and masked to the +0 a
// missing corner adds.
using F4 = __m128;
using I4 = __m128i;

inline F4 select4(F4 mask, F4 a, F4 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// fast_floor with the pinning as a clamp: max() answers its second operand for NaN, so NaN
// pins below as there.
inline I4 fast_floor4(F4 v) {
    v = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-536870912.0f)), _mm_set1_ps(536870912.0f));
    const I4 positive = _mm_castps_si128(_mm_cmpgt_ps(v, _mm_setzero_ps()));
    // positive ? i : i - 1
    return _mm_add_epi32(_mm_cvttps_epi32(v), _mm_xor_si128(positive, _mm_set1_epi32(-1)));
}

// h & 4 swaps x and y; h & 1 negates the first term, h & 2 the second.
inline F4 grad2_4(I4 hash, F4 x, F4 y) {
    const I4 four = _mm_set1_epi32(4);
    const F4 swap = _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(hash, four), four));
    const F4 swapped = _mm_and_ps(swap, _mm_xor_ps(x, y));
    const F4 u = _mm_xor_ps(x, swapped), v = _mm_xor_ps(y, swapped);
    const F4 flip_u = _mm_castsi128_ps(_mm_slli_epi32(hash, 31));
    const F4 flip_v = _mm_castsi128_ps(_mm_slli_epi32(_mm_srli_epi32(hash, 1), 31));
    return _mm_add_ps(_mm_xor_ps(u, flip_u), _mm_xor_ps(_mm_mul_ps(_mm_set1_ps(2.0f), v), flip_v));
}

// A corner's term; 0 where it is out of reach (t < 0).
inline F4 corner4(I4 hash, F4 x, F4 y) {
    F4 t = _mm_sub_ps(_mm_sub_ps(_mm_set1_ps(0.5f), _mm_mul_ps(x, x)), _mm_mul_ps(y, y));
    const F4 reached = _mm_cmpge_ps(t, _mm_setzero_ps());
    t = _mm_mul_ps(t, t);
    return _mm_and_ps(reached, _mm_mul_ps(_mm_mul_ps(t, t), grad2_4(hash, x, y)));
}

inline __attribute__((always_inline)) F4 simplex_noise_2d_4(F4 x, F4 y) {
    const F4 one = _mm_set1_ps(1.0f), g2 = _mm_set1_ps(kG2);
    const F4 s = _mm_mul_ps(_mm_add_ps(x, y), _mm_set1_ps(kF2));
    const I4 i = fast_floor4(_mm_add_ps(x, s));
    const I4 j = fast_floor4(_mm_add_ps(y, s));

    const F4 t = _mm_mul_ps(_mm_cvtepi32_ps(_mm_add_epi32(i, j)), g2);
    const F4 x0 = _mm_sub_ps(x, _mm_sub_ps(_mm_cvtepi32_ps(i), t));
    const F4 y0 = _mm_sub_ps(y, _mm_sub_ps(_mm_cvtepi32_ps(j), t));

    // Middle corner: (1, 0) below the diagonal, else (0, 1).
    const F4 below = _mm_cmpgt_ps(x0, y0);
    const F4 x1 = _mm_add_ps(_mm_sub_ps(x0, _mm_and_ps(below, one)), g2);
    const F4 y1 = _mm_add_ps(_mm_sub_ps(y0, _mm_andnot_ps(below, one)), g2);
    const F4 x2 = _mm_add_ps(_mm_sub_ps(x0, one), _mm_set1_ps(kG2Twice));
    const F4 y2 = _mm_add_ps(_mm_sub_ps(y0, one), _mm_set1_ps(kG2Twice));

    // SSE2 has no gather: the cells' hashes are looked up lane by lane.
    const I4 byte = _mm_set1_epi32(255);
    const I4 cell = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(j, byte), 8), _mm_and_si128(i, byte));
    alignas(16) int32_t cells[4];
    _mm_store_si128(reinterpret_cast<I4*>(cells), cell);
    const I4 corners = _mm_setr_epi32(int(kCornerHash.h[cells[0]]), int(kCornerHash.h[cells[1]]),
                                      int(kCornerHash.h[cells[2]]), int(kCornerHash.h[cells[3]]));
    const I4 middle = _mm_castps_si128(select4(below, _mm_castsi128_ps(_mm_srli_epi32(corners, 8)),
                                               _mm_castsi128_ps(_mm_srli_epi32(corners, 16))));
    const F4 n0 = corner4(corners, x0, y0);
    const F4 n1 = corner4(middle, x1, y1);
    const F4 n2 = corner4(_mm_srli_epi32(corners, 24), x2, y2);
    return _mm_mul_ps(_mm_set1_ps(40.0f), _mm_add_ps(_mm_add_ps(n0, n1), n2));
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

float simplex_noise_2d(float x, float y) { return _mm_cvtss_f32(simplex_noise_2d_4(_mm_set1_ps(x), _mm_set1_ps(y))); }

void octave_noise_2d_row(const float* xs, int count, float y, const float* factors, int octaves, float* out) {
    for (int k = 0; k < count; k += 4) {
        const int lanes = std::min(count - k, 4);
        alignas(16) float x4[4] = {}, sum4[4];
        std::copy(xs + k, xs + k + lanes, x4);
        const F4 x = _mm_load_ps(x4);
        F4 sum = _mm_setzero_ps();
        for (int i = 0; i < octaves; ++i) {
            const float f = factors[i];
            sum = _mm_add_ps(sum, simplex_noise_2d_4(_mm_mul_ps(x, _mm_set1_ps(f)), _mm_set1_ps(y * f)));
        }
        _mm_store_ps(sum4, sum);
        std::copy(sum4, sum4 + lanes, out + k);
    }
}

float octave_factor(int octave) { return static_cast<float>(std::pow(2.0, octave)); }

float octave_noise_1d(int octaves, float x) {
    float sum = 0.0f;
    for (int i = 0; i < octaves; ++i) sum += simplex_noise_1d(octave_factor(i) * x);
    return sum;
}
