#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "game/levelgen/simplex_noise.h"

namespace {

// An independent double-precision rendering of the reference formulation (true floor, corners
// listed explicitly), to catch a wrong hash, gradient or skew in the single-precision code.
const int kPerm[256] = {
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

int perm(long i) { return kPerm[((i % 256) + 256) % 256]; }

// In T's precision: double for the tolerance checks, float for the bit-exact one (t^4 as the
// square of the square, as the single-precision code does it).
template <typename T>
T corner2(T x, T y, int hash) {
    T t = T(0.5) - x * x - y * y;
    if (t < 0) return 0;
    int h = hash & 7;
    T u = h < 4 ? x : y, v = h < 4 ? y : x;
    T g = ((h & 1) ? -u : u) + ((h & 2) ? -2 * v : 2 * v);
    t *= t;
    return t * t * g;
}

template <typename T>
T reference_2d_in(T x, T y) {
    const T F2 = (std::sqrt(T(3)) - 1) / 2, G2 = (3 - std::sqrt(T(3))) / 6;
    T s = (x + y) * F2;
    long i = long(std::floor(x + s)), j = long(std::floor(y + s));
    T t = T(i + j) * G2;
    T x0 = x - (T(i) - t), y0 = y - (T(j) - t);
    int i1 = x0 > y0 ? 1 : 0, j1 = 1 - i1;
    T sum = corner2(x0, y0, perm(i + perm(j)));
    sum += corner2(x0 - i1 + G2, y0 - j1 + G2, perm(i + i1 + perm(j + j1)));
    sum += corner2(x0 - 1 + 2 * G2, y0 - 1 + 2 * G2, perm(i + 1 + perm(j + 1)));
    return 40 * sum;
}

double reference_2d(double x, double y) { return reference_2d_in<double>(x, y); }

double reference_1d(double x) {
    long i0 = long(std::floor(x));
    double x0 = x - i0, x1 = x0 - 1;
    auto corner = [](double d, int hash) {
        int h = hash & 15;
        double g = 1 + (h & 7);
        if (h & 8) g = -g;
        double t = 1 - d * d;
        return t * t * t * t * g * d;
    };
    return 0.25 * (corner(x0, perm(i0)) + corner(x1, perm(i0 + 1)));
}

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

}  // namespace

TEST(SimplexNoise, ZeroAtTheOriginAndForNoOctaves) {
    EXPECT_EQ(simplex_noise_2d(0.0f, 0.0f), 0.0f);
    for (int n = -3; n <= 12; ++n) EXPECT_EQ(octave_noise_1d(n, 0.0f), 0.0f) << n;
    for (float x : {0.3f, -7.25f, 1234.5f}) {
        EXPECT_EQ(octave_noise_1d(0, x), 0.0f);
        EXPECT_EQ(octave_noise_1d(-5, x), 0.0f);
    }
}

TEST(SimplexNoise, FollowsTheReferenceFormulation) {
    // Whole numbers too: there the fast floor is one lower than the true floor, and the result
    // must still agree (the corner terms vanish).
    const float xs[] = {-300.5f, -17.0f, -2.25f, -1.0f, -0.5f, 0.0f, 0.125f, 0.7f, 1.0f, 3.3f, 42.0f, 255.9f, 700.1f};
    double largest = 0;
    for (float x : xs) {
        for (float y : xs) {
            double ref = reference_2d(x, y);
            EXPECT_NEAR(simplex_noise_2d(x, y), ref, 2e-4) << x << ", " << y;
            largest = std::max(largest, std::fabs(ref));
        }
        EXPECT_NEAR(simplex_noise_1d(x), reference_1d(x), 2e-5) << x;
    }
    EXPECT_GT(largest, 0.2);  // the comparison saw real values, not only zeros
    for (int i = 0; i < 2000; ++i) {
        float x = -50.0f + 0.0731f * i, y = 20.0f - 0.0377f * i;
        ASSERT_NEAR(simplex_noise_2d(x, y), reference_2d(x, y), 2e-4) << x << ", " << y;
        ASSERT_LE(std::fabs(simplex_noise_2d(x, y)), 1.0f);
    }
}

TEST(SimplexNoise, SinglePrecisionSkewGivesTheSameBits) {
    // The skew factor's last bit decides the cell next to a cell edge: compare bit for bit a few
    // steps either side of edges x + s = k (positive, where the fast floor is the true floor).
    const double f2 = (std::sqrt(3.0) - 1) / 2;
    for (int k = 1; k < 600; ++k) {
        const float y = 0.5f + 1.37f * float(k);
        float x = float((k - y * f2) / (1 + f2));
        for (int n = 0; n < 4; ++n) x = std::nextafter(x, 0.0f);
        for (int n = 0; n < 8; ++n, x = std::nextafter(x, 1e9f))
            ASSERT_EQ(bits(simplex_noise_2d(x, y)), bits(reference_2d_in<float>(x, y))) << x << ", " << y;
    }
}

TEST(SimplexNoise, OctavesAddTheScaledOneDimensionalNoise) {
    const float x = 0.8125f;
    float expected = 0.0f;
    for (int i = 0; i < 5; ++i) {
        expected += simplex_noise_1d(float(std::pow(2.0, i)) * x);
        EXPECT_EQ(bits(octave_noise_1d(i + 1, x)), bits(expected)) << i;
    }
}

TEST(SimplexNoise, RepeatedCallsGiveTheSameBits) {
    for (int i = 0; i < 200; ++i) {
        float x = 13.37f * i - 900.0f, y = -7.77f * i + 55.5f;
        EXPECT_EQ(bits(simplex_noise_2d(x, y)), bits(simplex_noise_2d(x, y)));
        EXPECT_EQ(bits(octave_noise_1d(6, x)), bits(octave_noise_1d(6, x)));
    }
}

TEST(SimplexNoise, TableIndexesUseTheLowEightBitsOnly) {
    // The 1D lattice repeats every 256; positions exactly representable keep the same offsets.
    for (float x : {0.25f, 3.5f, 100.75f}) {
        EXPECT_EQ(bits(simplex_noise_1d(x + 256.0f)), bits(simplex_noise_1d(x)));
        EXPECT_EQ(bits(simplex_noise_1d(x - 512.0f)), bits(simplex_noise_1d(x)));
    }
}

TEST(SimplexNoise, HugeAndNonFiniteInputsStayDefined) {
    // Far outside any level's coordinates the lattice conversion is pinned instead of undefined
    // (the sanitizer build checks); the 2D corners then lie out of reach and add nothing.
    for (float v : {3e9f, -3e9f, 1e30f, -1e30f}) {
        EXPECT_EQ(simplex_noise_2d(v, v), 0.0f);
        (void)simplex_noise_1d(v);
    }
    (void)simplex_noise_2d(NAN, 1.0f);
    (void)simplex_noise_1d(INFINITY);
    (void)octave_noise_1d(3, NAN);
}

TEST(SimplexNoise, RowsSumTheOctavesOfEachColumnAlone) {
    // Every column of a row carries its own lattice cell, hashes and sign, and a row gives the
    // bits of single calls whatever vector width computes it: widths that leave partial groups
    // of four and of eight, up to the deepest octave count, and inputs that are pinned or not
    // numbers at all among ordinary ones.
    std::vector<float> factors;
    for (int i = 0; i < 17; ++i) factors.push_back(float(std::pow(2.0, i)));
    std::vector<float> xs;
    for (int k = 0; k < 17; ++k) xs.push_back(k % 3 ? 37.1f * k - 150.0f : -0.3f * k);
    for (float v : {-0.0f, 1e-40f, NAN, INFINITY, -3e9f, 536870912.0f}) xs.push_back(v);
    for (int count : {1, 3, 4, 7, 8, 9, 11, 16, 17, 23})
        for (int octaves : {0, 1, 5, 16})
            for (float y : {-2.71f, -0.0f, 1e-40f}) {
                std::vector<float> out(std::size_t(count), 99.0f);
                const float* x = xs.data() + (xs.size() - std::size_t(count));  // the special values included
                octave_noise_2d_row(x, count, y, factors.data(), octaves, out.data());
                for (int k = 0; k < count; ++k) {
                    float sum = 0.0f;
                    for (int i = 0; i < octaves; ++i) sum += simplex_noise_2d(x[k] * factors[i], y * factors[i]);
                    ASSERT_EQ(bits(out[k]), bits(sum)) << count << " " << octaves << " " << k << " " << y;
                }
            }
}
