#pragma once
// The 2D simplex noise over a vector of lanes, for the noise sources only. Each source that
// includes this gives its own lane type (the element types and a table lookup); every lane does
// the operations of the single-precision formulation in its order, whatever the width, so all
// widths and peers agree bit for bit. Everything here has internal linkage: a source built for
// a wider instruction set never lends its code to another.

#include <cstdint>

namespace simplex_noise_lanes {

// Perlin's improved-noise permutation, twice in a row so that an index up to 510 needs no wrap.
inline constexpr uint8_t kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

struct PermTable {
    uint8_t p[512];
    constexpr PermTable() : p{} {
        for (int i = 0; i < 512; ++i) p[i] = kPermutation[i & 255];
    }
};
inline constexpr PermTable kPerm;

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
inline constexpr CornerHashTable kCornerHash;

inline constexpr float kF2 = 0.36602539f;  // (sqrt(3) - 1) / 2 computed in single precision
static_assert(__builtin_bit_cast(uint32_t, kF2) == 0x3ebb67aeu);
inline constexpr float kG2 = 0.211324865405f;  // (3 - sqrt(3)) / 6
inline constexpr float kG2Twice = 2.0f * kG2;
// Lattice coordinates are pinned to +-2^29 so that the conversion and the cell sums stay defined.
inline constexpr float kPin = 536870912.0f;

// octave_noise_2d_row eight columns at a time, on CPUs with AVX2 only (octave_noise_2d_row
// chooses).
void octave_noise_2d_row_avx2(const float* xs, int count, float y, const float* factors, int octaves, float* out);

}  // namespace simplex_noise_lanes

namespace {

// L gives F, I and U (float, int32 and uint32 vectors of one width) and U corner_hashes(I cell),
// the kCornerHash entries of the lanes' cells. The vector operators are lane-wise IEEE
// operations; the sources are built without FP contraction, so none of them fuses.
template <class L>
struct SimplexLanes {
    using F = typename L::F;
    using I = typename L::I;
    using U = typename L::U;

    // Every lane v, -0 and NaN kept (v + 0 would turn -0 into +0).
    static inline __attribute__((always_inline)) F splat(float v) { return v - F{}; }

    // The reference fast floor (whole numbers and 0 map one lower, which the vanishing corner
    // terms hide), with the pinning as a clamp: a NaN lane fails both comparisons and pins below.
    static inline __attribute__((always_inline)) I fast_floor(F v) {
        using simplex_noise_lanes::kPin;
        v = v > -kPin ? v : splat(-kPin);
        v = v < kPin ? v : splat(kPin);
        const I positive = v > 0.0f;
        return __builtin_convertvector(v, I) + ~positive;  // positive ? i : i - 1
    }

    // The gradients select and negate by bit operations rather than branches (the hashes are
    // random): h & 4 swaps x and y, h & 1 negates the first term, h & 2 the second. Flipping the
    // sign bit is exactly the negation.
    static inline __attribute__((always_inline)) F grad(U hash, F x, F y) {
        const I swap = (hash & 4u) == 4u;
        const I swapped = swap & (I(x) ^ I(y));
        const I u = I(x) ^ swapped, v = I(y) ^ swapped;
        const I flip_u = I(hash << 31), flip_v = I((hash >> 1) << 31);
        return F(u ^ flip_u) + F(I(2.0f * F(v)) ^ flip_v);
    }

    // A corner's term; +0 where it is out of reach (t < 0).
    static inline __attribute__((always_inline)) F corner(U hash, F x, F y) {
        F t = (0.5f - x * x) - y * y;
        const I reached = t >= 0.0f;
        t = t * t;
        return F(reached & I((t * t) * grad(hash, x, y)));
    }

    static inline __attribute__((always_inline)) F noise(F x, F y) {
        using namespace simplex_noise_lanes;
        const F s = (x + y) * kF2;
        const I i = fast_floor(x + s);
        const I j = fast_floor(y + s);

        const F t = __builtin_convertvector(i + j, F) * kG2;
        const F x0 = x - (__builtin_convertvector(i, F) - t);
        const F y0 = y - (__builtin_convertvector(j, F) - t);

        // Middle corner: (1, 0) below the diagonal, else (0, 1).
        const I one = I(splat(1.0f));
        const I below = x0 > y0;
        const F x1 = (x0 - F(below & one)) + kG2;
        const F y1 = (y0 - F(~below & one)) + kG2;
        const F x2 = (x0 - 1.0f) + kG2Twice;
        const F y2 = (y0 - 1.0f) + kG2Twice;

        const U corners = L::corner_hashes(((j & 255) << 8) | (i & 255));
        const U middle = U((below & I(corners >> 8)) | (~below & I(corners >> 16)));
        const F n0 = corner(corners, x0, y0);
        const F n1 = corner(middle, x1, y1);
        const F n2 = corner(corners >> 24, x2, y2);
        return 40.0f * ((n0 + n1) + n2);
    }

    // octave_noise_2d_row over whole vectors; a last partial one is padded with zeros.
    static void row(const float* xs, int count, float y, const float* factors, int octaves, float* out) {
        constexpr int kLanes = int(sizeof(F) / sizeof(float));
        for (int k = 0; k < count; k += kLanes) {
            const int lanes = count - k < kLanes ? count - k : kLanes;
            F x{}, sum{};
            __builtin_memcpy(&x, xs + k, sizeof(float) * unsigned(lanes));
            for (int i = 0; i < octaves; ++i) {
                const float f = factors[i];
                sum = sum + noise(x * f, splat(y * f));
            }
            __builtin_memcpy(out + k, &sum, sizeof(float) * unsigned(lanes));
        }
    }
};

}  // namespace
