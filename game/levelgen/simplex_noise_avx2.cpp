// The octave rows eight lanes at a time. This source alone is built for AVX2 (and not for FMA);
// it is called only where the CPU reports AVX2.
#include <immintrin.h>

#include "game/levelgen/simplex_noise_lanes.h"

namespace {

struct Lanes8 {
    typedef float F __attribute__((vector_size(32)));
    typedef int32_t I __attribute__((vector_size(32)));
    typedef uint32_t U __attribute__((vector_size(32)));
    static U corner_hashes(I cell) {
        const auto* table = reinterpret_cast<const int*>(simplex_noise_lanes::kCornerHash.h);
        return U(_mm256_i32gather_epi32(table, __m256i(cell), 4));
    }
};

}  // namespace

void simplex_noise_lanes::octave_noise_2d_row_avx2(const float* xs, int count, float y, const float* factors,
                                                   int octaves, float* out) {
    SimplexLanes<Lanes8>::row(xs, count, y, factors, octaves, out);
}
