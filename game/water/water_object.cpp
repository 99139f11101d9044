#include "game/water/water_object.h"

#include <SDL/SDL.h>
#include <immintrin.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <string>

#include <unistd.h>

#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "game/config/ini_field.h"
#include "game/config/settings.h"
#include "game/base/drawing_services.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/base/game_session.h"
#include "game/base/terrain_pixels.h"

namespace sph {

namespace {

constexpr float kTimeStep = 0.04f;
constexpr float kGravity = 9.81f;
// Below these sizes a pass is over before a team of threads would have started: a thread of
// the force pass gets at least kParallelParticles particles (1024 run on one thread).
constexpr int kParallelParticles = 2048;
constexpr int64_t kParallelPixels = 1 << 16;
// The force pass tries the choice it does not hold (team or one thread) again after this many
// steps, and waits twice as long after each try that lost, up to kProbeStepsMax.
constexpr int kProbeSteps = 64;
constexpr int kProbeStepsMax = 4096;

// The solid materials; every other pixel (air, water, earth, rock, ladder) lets water through.
bool blocks_water(const ColorRGBA& c) {
    return c == color_destructible || c == color_explosive || c == color_indestructible || c == color_staticwater;
}

// The pairs of the lanes set in `lanes` (the places at `run_i` and their offsets and d^2 as the
// vector test left them), from the last lane to the first, filed at end_pair with the partner's
// velocity. Scalar, so that both vector widths share it.
inline void take_lanes(unsigned lanes, const int32_t* run_i, const float* dx, const float* dy, const float* d2,
                       const ParticleArrays& p, PairStore& store, std::size_t& end_pair) {
    while (lanes != 0) {
        const unsigned lane = 31u - unsigned(__builtin_clz(lanes));
        lanes ^= 1u << lane;
        const uint32_t j = uint32_t(run_i[lane]);
        store.j[end_pair] = j;
        store.q[end_pair] = d2[lane];
        store.nx[end_pair] = dx[lane];
        store.ny[end_pair] = dy[lane];
        store.vj_x[end_pair] = p.vx[j];
        store.vj_y[end_pair] = p.vy[j];
        ++end_pair;
    }
}

// For each set of lanes (a bit per lane), the lanes in the order the pairs are taken, from the
// last to the first: what a permutation needs to move them to the front.
struct LaneOrders {
    alignas(32) int32_t lanes[256][8] = {};
    constexpr LaneOrders() {
        for (unsigned set = 0; set < 256; ++set) {
            int taken = 0;
            for (int lane = 7; lane >= 0; --lane)
                if (set & (1u << lane)) lanes[set][taken++] = lane;
        }
    }
};
constexpr LaneOrders kLastLaneFirst;

// Each byte with a zero bit put after each of its bits, as a Morton code interleaves them.
struct SpreadByte {
    uint16_t bits[256] = {};
    constexpr SpreadByte() {
        for (unsigned v = 0; v < 256; ++v)
            for (unsigned b = 0; b < 8; ++b) bits[v] = uint16_t(bits[v] | ((v >> b) & 1u) << (2 * b));
    }
};
constexpr SpreadByte kSpreadByte;

// The x and y of eight pairs stored as eight (x, y), in their order.
__attribute__((always_inline, target("avx2"))) inline void store_pairs(float* at, __m256 x, __m256 y) {
    const __m256 low = _mm256_unpacklo_ps(x, y), high = _mm256_unpackhi_ps(x, y);
    _mm256_storeu_ps(at, _mm256_permute2f128_ps(low, high, 0x20));
    _mm256_storeu_ps(at + 8, _mm256_permute2f128_ps(low, high, 0x31));
}

// The motion's bounce off an edge (see move_particle), eight lanes at a time.
__attribute__((always_inline, target("avx2"))) inline void bounce_wide(__m256& at, __m256& speed, __m256 edge,
                                                                       __m256 inside) {
    const __m256 zero = _mm256_setzero_ps(), back = _mm256_set1_ps(-0.5f);
    __m256 c = _mm256_cmp_ps(at, zero, _CMP_LE_OQ);
    at = _mm256_blendv_ps(at, _mm256_set1_ps(1.0f), c);
    speed = _mm256_blendv_ps(speed, _mm256_mul_ps(speed, back), c);
    c = _mm256_cmp_ps(at, edge, _CMP_GE_OQ);
    at = _mm256_blendv_ps(at, inside, c);
    speed = _mm256_blendv_ps(speed, _mm256_mul_ps(speed, back), c);
}

// Bits 0..11 of each lane spread to the even bits, as the tree's Morton code places them.
__attribute__((always_inline, target("avx2"))) inline __m256i spread_wide(__m256i v) {
    v = _mm256_and_si256(_mm256_or_si256(v, _mm256_slli_epi32(v, 8)), _mm256_set1_epi32(0x00FF00FF));
    v = _mm256_and_si256(_mm256_or_si256(v, _mm256_slli_epi32(v, 4)), _mm256_set1_epi32(0x0F0F0F0F));
    v = _mm256_and_si256(_mm256_or_si256(v, _mm256_slli_epi32(v, 2)), _mm256_set1_epi32(0x33333333));
    return _mm256_and_si256(_mm256_or_si256(v, _mm256_slli_epi32(v, 1)), _mm256_set1_epi32(0x55555555));
}

// All ones in the lanes that hold a finite number.
__attribute__((always_inline, target("avx2"))) inline __m256 finite_wide(__m256 v) {
    return _mm256_cmp_ps(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), v), _mm256_set1_ps(std::numeric_limits<float>::max()),
                         _CMP_LE_OQ);
}

// The pressure of a particle from its pairs' density terms, w^3 and w^4 of each pair side by side:
// both sums are made at once, each in its lane, in the pairs' order.
__attribute__((always_inline)) inline float pair_pressure(const float* terms, std::size_t first_pair,
                                                          std::size_t end_pair) {
    __m128 sums = _mm_setzero_ps();
#pragma GCC unroll 4
    for (std::size_t k = first_pair; k < end_pair; ++k) sums = _mm_add_ps(sums, _mm_loadu_ps(terms + 2 * k));
    const float density = _mm_cvtss_f32(sums), near_density = _mm_cvtss_f32(_mm_shuffle_ps(sums, sums, 1));
    return (0.01f * density) * 2.0f * (0.01f * near_density);
}

// What adding the pairs' forces reads and writes. A force under way is one (x, y) in `forces`.
struct Forces {
    const PairStore* stores;
    const uint32_t *store_of, *first, *count;
    float* forces;
    float *fx, *fy;
};

// In index order, so that each particle has had its lower partners' shares, in their order,
// before it adds gravity and its own pairs' viscosity, then their pressure. A partner gets the
// pair's viscosity, then its pressure, and no other pair of the particle touches it (a
// particle's partners differ): so each partner takes its two in one go, as the particle takes
// the viscosity. The x and y of a force or a pair's term take the same operation in two lanes;
// what the other lanes hold is never stored.
__attribute__((always_inline)) inline void add_forces(const Forces& f, std::size_t n) {
    const __m128 gravity = _mm_setr_ps(-0.0f, kGravity, -0.0f, -0.0f);
    for (std::size_t i = 0; i < n; ++i) {
        const PairStore& s = f.stores[f.store_of[i]];
        const std::size_t first = f.first[i], end = first + f.count[i];
        const uint32_t* __restrict j = s.j.data();
        const float* __restrict vis = s.vis.data();
        const float* __restrict pres = s.pres.data();
        double* __restrict forces = reinterpret_cast<double*>(f.forces);
        // A pair that does not approach holds a viscosity of +0, which changes no sum: a force
        // starts each step at +0, and a sum of floats that starts at +0 is never -0. Adding -0
        // changes no x.
        __m128 fi = _mm_add_ps(_mm_castpd_ps(_mm_load_sd(forces + i)), gravity);
        for (std::size_t k = first; k < end; ++k) {
            const __m128 v = _mm_loadu_ps(vis + 2 * k);
            fi = _mm_sub_ps(fi, v);
            double* at = forces + j[k];
            __m128 fj = _mm_castpd_ps(_mm_load_sd(at));
            fj = _mm_add_ps(_mm_add_ps(fj, v), _mm_loadu_ps(pres + 2 * k));
            _mm_store_sd(at, _mm_castps_pd(fj));
        }
#pragma GCC unroll 4
        for (std::size_t k = first; k < end; ++k) fi = _mm_sub_ps(fi, _mm_loadu_ps(pres + 2 * k));
        f.fx[i] = _mm_cvtss_f32(fi);
        f.fy[i] = _mm_cvtss_f32(_mm_shuffle_ps(fi, fi, 1));
    }
}

// The same where the processor has AVX, whose operations read the pairs' terms themselves.
__attribute__((target("avx2"))) void add_forces_wide(const Forces& f, std::size_t n) { add_forces(f, n); }

}  // namespace

void restart_with_passive_omp_wait(char** argv) {
    if (std::getenv("OMP_WAIT_POLICY") || setenv("OMP_WAIT_POLICY", "passive", 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Not restarted: the program runs on with the runtime's default policy.
}

// --- settings ---

WaterSettings WaterSettings::load() {
    WaterSettings s;
#define SPH_READ_WATER_SETTING(type, member, key, fallback, least, most) \
    read_field(s.member, kServerIni, "physics", key, fallback);
    SPH_WATER_SETTINGS(SPH_READ_WATER_SETTING)
#undef SPH_READ_WATER_SETTING
    if (int replaced = s.sanitize()) {
        log_message(LogLevel::Warning,
                    "Replaced " + std::to_string(replaced) + " unusable water setting(s) by the defaults.",
                    "class sph::WaterSettings");
    }
    return s;
}

int WaterSettings::sanitize() {
    const WaterSettings defaults;
    int replaced = 0;
#define SPH_SANITIZE_WATER_SETTING(type, member, key, fallback, least, most) \
    if (!(std::isfinite(double(member)) && member >= least && member <= most)) member = defaults.member, ++replaced;
    SPH_WATER_SETTINGS(SPH_SANITIZE_WATER_SETTING)
#undef SPH_SANITIZE_WATER_SETTING
    return replaced;
}

// --- particle arrays ---

void ParticleArrays::reserve(std::size_t n) {
    for (auto* v : {&cell_x, &cell_y}) v->reserve(n);
    for (auto* v : {&x, &y, &prev_x, &prev_y, &vx, &vy, &fx, &fy}) v->reserve(n);
}

void ParticleArrays::resize(std::size_t n) {
    for (auto* v : {&cell_x, &cell_y}) v->resize(n, -1);
    for (auto* v : {&x, &y, &prev_x, &prev_y, &vx, &vy, &fx, &fy}) v->resize(n, 0.0f);
}

void PairStore::make_room(std::size_t n) {
    const std::size_t wanted = size + n + 8;
    if (wanted <= j.size()) return;
    const std::size_t grown = std::max(wanted, 2 * j.size());
    j.resize(grown);
    for (auto* v : {&q, &nx, &ny, &vj_x, &vj_y}) v->resize(grown);
    density.resize(2 * grown);
    vis.resize(2 * grown);
    pres.resize(2 * grown);
}

// --- construction ---

WaterObject::WaterObject(GameSession* game_, unsigned int entity_id_, QGLevel* level)
    : WaterObject(game_, entity_id_, level, WaterSettings::load()) {}

WaterObject::WaterObject(GameSession* game_, unsigned int entity_id_, QGLevel* level, WaterSettings settings)
    : QGObject(game_, entity_id_, true), settings_(settings) {
    settings_.sanitize();
    SDL_Surface* terrain = level ? level->surface() : (game ? game->terrain().surface() : nullptr);
    if (terrain) {
        width_ = std::max(terrain->w, 0);
        height_ = std::max(terrain->h, 0);
    }
    const float g = settings_.grid_size;
    grid_w_ = int(float(width_) / g);
    grid_h_ = int(float(height_) / g);
    // Water level is a share of the height; the level brings its parameters into range.
    float water_level = level ? level->parameters.water_level : 0.0f;
    if (!std::isfinite(water_level)) water_level = 0.0f;
    const double top = (1.0 - double(water_level)) * 0.3 * double(height_);
    top_line_ = int(std::clamp(top, 0.0, double(height_)));
    const unsigned q = unsigned(settings_.quadtree_size);
    occupancy_tree_.set_size(int(unsigned(width_) / q), int(unsigned(height_) / q));

    server_ = game && game->is_server;
    if (game) {
        Callback<float, float, float, float, float> coverage;
        if (server_) coverage = Callback<float, float, float, float, float>(this, &WaterObject::coverage);
        terrain_link_ = game->terrain().attach_water(this, std::move(coverage));
    }
    if (server_) setup_server(terrain);
}

WaterObject::~WaterObject() {
    if (!game) return;
    if (game->level && game->level->water == static_cast<LevelWater*>(this)) game->level->water = nullptr;
}

void WaterObject::setup_server(SDL_Surface* terrain) {
    const std::size_t cells = std::size_t(grid_w_) * std::size_t(grid_h_);
    heads_.assign(cells, -1);
    static_flags_.assign(cells, 0);
    blasts_.assign(cells, Blast{});
    marked_.assign(std::max<std::size_t>(std::size_t(tree_side()) * tree_side() / 64, 1), 0);
    particles.reserve(std::size_t(settings_.max_particles));
    time_step_ = previous_time_step_ = kTimeStep;
    if (terrain && width_ > 0 && height_ > 0) {
        SurfaceLock lock(terrain);
        build_solid_mask(terrain);
        seed_particles(terrain);
        find_static_water(terrain);
    }
    publish_occupancy();
}

void WaterObject::build_solid_mask(SDL_Surface* terrain) {
    row_words_ = (std::size_t(width_) + 63) / 64;
    solid_.assign(row_words_ * std::size_t(height_), ~uint64_t(0));
    const TerrainPixels pixels(terrain);
    const int w = width_, h = height_;
    const std::size_t stride = row_words_;
    uint64_t* mask = solid_.data();
    // Each row owns its words, so no two threads write the same one.
#pragma omp parallel for schedule(static) if (int64_t(w) * h >= kParallelPixels)
    for (int y = 0; y < h; ++y) {
        uint64_t* row = mask + std::size_t(y) * stride;
        for (int x = 0; x < w; ++x)
            if (!blocks_water(pixels.get(x, y))) row[x >> 6] &= ~(uint64_t(1) << (x & 63));
    }
}

void WaterObject::seed_particles(SDL_Surface* terrain) {
    const TerrainPixels pixels(terrain);
    // A staggered lattice of half the interaction radius.
    const float s = settings_.particle_size * 0.5f;
    const float w = float(width_), h = float(height_);
    bool staggered = false;
    for (float y = 0.0f; y < h && int(particles.size()) < settings_.max_particles; y += s) {
        for (float x = 0.0f; x < w && int(particles.size()) < settings_.max_particles; x += s) {
            const float px = staggered && x + s < w ? x + s : x;
            if (pixels.get(int(px), int(y)) == color_water) add_particle(px, y);
        }
        staggered = !staggered;
    }
    const Placing at = placing();
    for (std::size_t i = 0; i < particles.size(); ++i) mark_cell(at, particles.x[i], particles.y[i], false);
}

void WaterObject::find_static_water(SDL_Surface* terrain) {
    const TerrainPixels pixels(terrain);
    auto is_static = [&](int x, int y) { return pixels.get(x, y) == color_staticwater; };
    const float g = settings_.grid_size;
    std::vector<int32_t> samples(static_flags_.size(), 0);
    std::vector<ivec2d> found;
    for (int64_t y = int64_t(g) + top_line_; y < height_; y += 2) {
        const int yi = int(y);
        for (int x = 0; x < width_; x += 2) {
            if (is_static(x, yi)) {
                int cx, cy;
                if (cell_of(float(x), float(yi), cx, cy)) ++samples[cell_index(cx, cy)];
                continue;
            }
            // Neighbours two pixels away; one that would leave the level is the pixel itself.
            const bool l = x - 2 >= 0 && is_static(x - 2, yi);
            const bool r = x + 2 < width_ && is_static(x + 2, yi);
            const bool u = yi - 2 >= 0 && is_static(x, yi - 2);
            const bool d = yi + 2 < height_ && is_static(x, yi + 2);
            if (l || r || u || d) found.push_back({x, yi});
        }
    }
    // Each point went to the front of the list.
    sources_.assign(found.rbegin(), found.rend());
    // A cell is static water when 30 % of its lattice samples are.
    const float threshold = g * g * 0.25f * 0.3f;
    for (std::size_t c = 0; c < samples.size(); ++c) static_flags_[c] = float(samples[c]) >= threshold ? 1 : 0;
}

// --- the step ---

void WaterObject::update(float) {
    if (!server_) return;
    previous_time_step_ = time_step_;
    time_step_ = kTimeStep;
    run_sources();
    // Particles are never taken away: a level that has none has had none, and its occupancy
    // stays the empty one published at the start.
    if (particles.size() == 0) {
        clear_blasts();
        return;
    }
    // One team for the parallel passes, of threads that get at least kParallelParticles each,
    // while it is faster than one thread: on a machine whose cores are all busy the team waits for
    // its slowest thread, and a step can take many times as long as on one.
    const int n = int(particles.size());
    const int threads = force_threads(n);
    const auto start = std::chrono::steady_clock::now();
    compute_forces(threads);
    integrate(threads);
    time_force_pass(
        threads, n,
        double(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count()));
    publish_occupancy();
}

void WaterObject::run_sources() {
    for (const ivec2d& p : sources_) {
        if (int(particles.size()) >= settings_.max_particles) return;
        int cx, cy;
        if (!cell_of(float(p.x), float(p.y), cx, cy) || blocks(p.x, p.y)) continue;
        if (heads_[cell_index(cx, cy)] != -1) continue;
        add_particle(float(p.x), float(p.y));
    }
}

bool WaterObject::add_particle(float x, float y) {
    if (!server_ || int(particles.size()) >= settings_.max_particles) return false;
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    const std::size_t i = particles.size();
    particles.resize(i + 1);
    particles.x[i] = x;
    particles.y[i] = y;
    particles.prev_x[i] = x;
    particles.prev_y[i] = y - previous_time_step_ * kGravity;
    int cx, cy;
    if (cell_of(x, y, cx, cy)) link(int32_t(i), cx, cy);
    return true;
}

int WaterObject::force_threads(int n) {
    const int team = std::clamp(n / kParallelParticles, 1, std::max(omp_get_max_threads(), 1));
    if (team == 1) return 1;
    // Each choice is timed once before the faster one is kept.
    if (!(pace_.single_ns > 0.0)) return 1;
    if (!(pace_.team_ns > 0.0)) return team;
    const bool team_faster = pace_.team_ns < pace_.single_ns;
    if (++pace_.steps >= pace_.probe_after) {
        pace_.steps = 0;
        pace_.probing = true;
        return team_faster ? 1 : team;
    }
    return team_faster ? team : 1;
}

void WaterObject::time_force_pass(int threads, int n, double ns) {
    if (n / kParallelParticles < 2) return;
    // Nanoseconds per particle, as the count changes from step to step.
    const double per_particle = ns / double(n);
    double& mine = threads > 1 ? pace_.team_ns : pace_.single_ns;
    const double other = threads > 1 ? pace_.single_ns : pace_.team_ns;
    if (pace_.probing) {
        // A try that lost puts the next one further off; one that won is kept from now on.
        pace_.probing = false;
        pace_.probe_after = per_particle < other ? kProbeSteps : std::min(pace_.probe_after * 2, kProbeStepsMax);
        mine = per_particle;
        return;
    }
    mine = mine > 0.0 ? 0.75 * mine + 0.25 * per_particle : per_particle;
}

void WaterObject::compute_forces(int threads) {
    sort_by_cell();
    if (pair_stores_.size() < std::size_t(threads)) pair_stores_.resize(std::size_t(threads));
    for (PairStore& store : pair_stores_) store.size = 0;
    const int placed = int(run_i_.size() - kRunPad);
    if (eight_lanes && __builtin_cpu_supports("avx2")) {
        // Each thread takes one stretch of places: a particle's pairs do not depend on which.
#pragma omp parallel num_threads(threads) if (threads > 1)
        {
            const std::size_t t = std::size_t(omp_get_thread_num()), team = std::size_t(omp_get_num_threads());
            const std::size_t n = std::size_t(placed);
            find_pairs_wide(n * t / team, n * (t + 1) / team, pair_stores_[t]);
        }
    } else {
#pragma omp parallel for schedule(static) num_threads(threads) if (threads > 1)
        for (int k = 0; k < placed; ++k)
            find_pairs(run_i_[kRunPad + std::size_t(k)], pair_stores_[std::size_t(omp_get_thread_num())]);
    }
    add_pair_forces();
}

void WaterObject::sort_by_cell() {
    // A counting sort that fills each cell's run from its end, so that the run descends. Only
    // the rows that hold particles and those next to them are counted: the searches read no
    // other run, nor past where the row after them starts.
    ParticleArrays& p = particles;
    cells_.resize(p.size());
    const auto [first_row, last_row] =
        eight_lanes && __builtin_cpu_supports("avx2") ? index_cells_wide() : index_cells(0, grid_h_, -1);
    const bool any = first_row <= last_row;
    const std::size_t lo = any ? cell_index(0, std::max(first_row - 1, 0)) : 0;
    const std::size_t hi = any ? cell_index(0, std::min(last_row + 2, grid_h_)) : 0;
    run_start_.resize(heads_.size() + 1);
    std::fill(run_start_.begin() + std::ptrdiff_t(lo), run_start_.begin() + std::ptrdiff_t(hi) + 1, 0u);
    const int32_t* __restrict cells = cells_.data();
    for (std::size_t i = 0; i < p.size(); ++i)
        if (const int32_t c = cells[i]; c >= 0) ++run_start_[std::size_t(c)];
    std::partial_sum(run_start_.begin() + std::ptrdiff_t(lo), run_start_.begin() + std::ptrdiff_t(hi) + 1,
                     run_start_.begin() + std::ptrdiff_t(lo));
    const std::size_t places = kRunPad + run_start_[hi];
    run_i_.resize(places);
    for (auto* v : {&run_x_, &run_y_, &run_vx_, &run_vy_}) {
        v->resize(places);
        std::fill_n(v->begin(), kRunPad, NAN);
    }
    std::fill_n(run_i_.begin(), kRunPad, -1);
    pair_store_.resize(p.size());
    pair_first_.resize(p.size());
    pair_count_.resize(p.size());
    // The arrays by their own pointers, so that a store to one does not reload another.
    const float* __restrict x = p.x.data(), * __restrict y = p.y.data();
    const float* __restrict vx = p.vx.data(), * __restrict vy = p.vy.data();
    uint32_t* __restrict start = run_start_.data();
    int32_t* __restrict run_i = run_i_.data() + kRunPad;
    float* __restrict run_x = run_x_.data() + kRunPad, * __restrict run_y = run_y_.data() + kRunPad;
    float* __restrict run_vx = run_vx_.data() + kRunPad, * __restrict run_vy = run_vy_.data() + kRunPad;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (cells[i] < 0) {
            pair_store_[i] = 0, pair_first_[i] = 0, pair_count_[i] = 0;  // outside the grid: no pairs
            continue;
        }
        const std::size_t k = --start[std::size_t(cells[i])];
        run_i[k] = int32_t(i);
        run_x[k] = x[i];
        run_y[k] = y[i];
        run_vx[k] = vx[i];
        run_vy[k] = vy[i];
    }
}

std::pair<int, int> WaterObject::index_cells(std::size_t begin, int first_row, int last_row) {
    const ParticleArrays& p = particles;
    for (std::size_t i = begin; i < p.size(); ++i) {
        cells_[i] = -1;
        if (p.cell_x[i] < 0) continue;
        first_row = std::min(first_row, p.cell_y[i]), last_row = std::max(last_row, p.cell_y[i]);
        cells_[i] = int32_t(cell_index(p.cell_x[i], p.cell_y[i]));
    }
    return {first_row, last_row};
}

__attribute__((target("avx2"))) std::pair<int, int> WaterObject::index_cells_wide() {
    const ParticleArrays& p = particles;
    const std::size_t n = p.size();
    const __m256i none = _mm256_set1_epi32(-1), w = _mm256_set1_epi32(grid_w_);
    // Rows outside the grid are taken as -1: the greatest unsigned row, the least signed one.
    __m256i first = none, last = none;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i cx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.cell_x.data() + i));
        const __m256i placed = _mm256_cmpgt_epi32(cx, none);
        const __m256i cy =
            _mm256_blendv_epi8(none, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p.cell_y.data() + i)), placed);
        first = _mm256_min_epu32(first, cy);
        last = _mm256_max_epi32(last, cy);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(cells_.data() + i),
                            _mm256_blendv_epi8(none, _mm256_add_epi32(_mm256_mullo_epi32(cy, w), cx), placed));
    }
    alignas(32) uint32_t firsts[8];
    alignas(32) int32_t lasts[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(firsts), first);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lasts), last);
    int first_row = grid_h_, last_row = -1;
    for (int lane = 0; lane < 8; ++lane) {
        if (firsts[lane] != ~uint32_t(0)) first_row = std::min(first_row, int(firsts[lane]));
        last_row = std::max(last_row, lasts[lane]);
    }
    return index_cells(i, first_row, last_row);
}

void WaterObject::find_pairs(int i, PairStore& store) {
    const float h = settings_.particle_size;
    const float h2 = h * h;
    const ParticleArrays& p = particles;
    const std::size_t pi = std::size_t(i);
    const int cx = p.cell_x[pi], cy = p.cell_y[pi];
    const float xi = p.x[pi], yi = p.y[pi], vxi = p.vx[pi], vyi = p.vy[pi];
    const std::size_t first_pair = store.size;
    std::size_t end_pair = first_pair;
    // The partners of higher index in the order every sum over them adds: the neighbour cells
    // from the last to the first, each cell's particles in ascending order. A row's cells are
    // one stretch of runs, walked backwards four places at a time: the distances and indexes of
    // four are tested together, and the pairs among them taken from the last place to the first.
    // Every quantity below is made by the float operations one pair at a time would take, four
    // lanes at a time, so with the same bits. Until the records are made, q holds d^2, n the
    // offset (dx, dy) and vis the partner's velocity.
    const int x0 = std::max(cx - 1, 0), x1 = std::min(cx + 1, grid_w_ - 1);
    const int y0 = std::max(cy - 1, 0), y1 = std::min(cy + 1, grid_h_ - 1);
    const __m128 xi4 = _mm_set1_ps(xi), yi4 = _mm_set1_ps(yi), h2_4 = _mm_set1_ps(h2);
    const __m128i i4 = _mm_set1_epi32(i);
    for (int oy = y1; oy >= y0; --oy) {
        const std::ptrdiff_t first = std::ptrdiff_t(run_start_[cell_index(x0, oy)]);
        const std::ptrdiff_t last = std::ptrdiff_t(run_start_[cell_index(x1, oy) + 1]);
        // Room for every place of the stretch.
        if (end_pair + std::size_t(last - first) + 8 > store.j.size())
            store.make_room(end_pair - store.size + std::size_t(last - first));
        for (std::ptrdiff_t end = last; end > first; end -= 4) {
            const std::size_t at = std::size_t(end - 4 + std::ptrdiff_t(kRunPad));
            const __m128 dx4 = _mm_sub_ps(xi4, _mm_loadu_ps(run_x_.data() + at));
            const __m128 dy4 = _mm_sub_ps(yi4, _mm_loadu_ps(run_y_.data() + at));
            const __m128 d2_4 = _mm_add_ps(_mm_mul_ps(dx4, dx4), _mm_mul_ps(dy4, dy4));
            const __m128i j4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run_i_.data() + at));
            const __m128 hit = _mm_and_ps(_mm_cmplt_ps(d2_4, h2_4), _mm_castsi128_ps(_mm_cmpgt_epi32(j4, i4)));
            // Places before the stretch's first belong to other cells.
            unsigned lanes = unsigned(_mm_movemask_ps(hit)) & (0xFu << std::max<std::ptrdiff_t>(4 - (end - first), 0));
            if (lanes == 0) continue;
            alignas(16) float dx[4], dy[4], d2[4];
            _mm_store_ps(dx, dx4);
            _mm_store_ps(dy, dy4);
            _mm_store_ps(d2, d2_4);
            take_lanes(lanes, run_i_.data() + at, dx, dy, d2, p, store, end_pair);
        }
    }
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), h4 = _mm_set1_ps(h);
    for (std::size_t k = first_pair; k < end_pair; k += 4) {
        const __m128 d = _mm_sqrt_ps(_mm_loadu_ps(&store.q[k]));
        const __m128 q = _mm_div_ps(d, h4);
        const __m128 w = _mm_sub_ps(one, q);
        // Two particles at one point are told apart along x rather than by 0 / 0.
        const __m128 apart = _mm_cmpgt_ps(d, zero);
        const __m128 nx =
            _mm_or_ps(_mm_and_ps(apart, _mm_div_ps(_mm_loadu_ps(&store.nx[k]), d)), _mm_andnot_ps(apart, one));
        const __m128 ny = _mm_and_ps(apart, _mm_div_ps(_mm_loadu_ps(&store.ny[k]), d));
        const __m128 u = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(vxi), _mm_loadu_ps(&store.vj_x[k])), nx),
                                    _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(vyi), _mm_loadu_ps(&store.vj_y[k])), ny));
        const __m128 approach = _mm_cmpgt_ps(u, zero);
        const __m128 impulse =
            _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_div_ps(u, _mm_add_ps(u, _mm_set1_ps(10.0f))), w), _mm_set1_ps(100.0f)),
                       _mm_set1_ps(0.5f));
        const __m128 w3 = _mm_mul_ps(_mm_mul_ps(w, w), w);
        _mm_storeu_ps(&store.q[k], q);
        _mm_storeu_ps(&store.nx[k], nx);
        _mm_storeu_ps(&store.ny[k], ny);
        const __m128 vis_x = _mm_and_ps(approach, _mm_mul_ps(impulse, nx));
        const __m128 vis_y = _mm_and_ps(approach, _mm_mul_ps(impulse, ny));
        _mm_storeu_ps(&store.vis[2 * k], _mm_unpacklo_ps(vis_x, vis_y));
        _mm_storeu_ps(&store.vis[2 * k + 4], _mm_unpackhi_ps(vis_x, vis_y));
        const __m128 w4 = _mm_mul_ps(w3, w);
        _mm_storeu_ps(&store.density[2 * k], _mm_unpacklo_ps(w3, w4));
        _mm_storeu_ps(&store.density[2 * k + 4], _mm_unpackhi_ps(w3, w4));
    }
    const float pressure = pair_pressure(store.density.data(), first_pair, end_pair);
    const __m128 pressure4 = _mm_set1_ps(pressure);
    for (std::size_t k = first_pair; k < end_pair; k += 4) {
        const __m128 m =
            _mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_loadu_ps(&store.q[k]), one), _mm_set1_ps(0.5f)), pressure4),
                       _mm_set1_ps(175.0f));
        const __m128 pres_x = _mm_mul_ps(m, _mm_loadu_ps(&store.nx[k]));
        const __m128 pres_y = _mm_mul_ps(m, _mm_loadu_ps(&store.ny[k]));
        _mm_storeu_ps(&store.pres[2 * k], _mm_unpacklo_ps(pres_x, pres_y));
        _mm_storeu_ps(&store.pres[2 * k + 4], _mm_unpackhi_ps(pres_x, pres_y));
    }
    file_pairs(pi, store, first_pair, end_pair);
}

void WaterObject::file_pairs(std::size_t pi, PairStore& store, std::size_t first_pair, std::size_t end_pair) {
    pair_store_[pi] = uint32_t(&store - pair_stores_.data());
    pair_first_[pi] = uint32_t(first_pair);
    pair_count_[pi] = uint32_t(end_pair - first_pair);
    store.size = end_pair;
}

__attribute__((target("avx2,popcnt"))) void WaterObject::find_pairs_wide(std::size_t begin, std::size_t end_place,
                                                                         PairStore& store) {
    const float h = settings_.particle_size;
    const float* run_x = run_x_.data() + kRunPad;
    const float* run_y = run_y_.data() + kRunPad;
    const float* run_vx = run_vx_.data() + kRunPad;
    const float* run_vy = run_vy_.data() + kRunPad;
    const int32_t* run_i = run_i_.data() + kRunPad;
    const __m256 h2_8 = _mm256_set1_ps(h * h);
    // The groups of eight places a cell's particles test, in the order they take their pairs:
    // the first place of the group and the lanes that belong to the row's stretch.
    struct Group {
        std::ptrdiff_t at;
        unsigned lanes;
    };
    std::vector<Group> groups;
    std::size_t capacity = store.j.size(), size = store.size;
    PairRows out(store);
    uint32_t *const store_of = pair_store_.data(), *const first_of = pair_first_.data(),
                    *const count_of = pair_count_.data();
    const uint32_t store_index = uint32_t(&store - pair_stores_.data());
    for (std::size_t k = begin; k < end_place;) {
        // The particles of one cell share their neighbour rows: each row's cells are one stretch
        // of places, walked from its end eight places at a time, from the last row to the first.
        // Places before a stretch's first belong to other cells (or are the pad).
        const std::size_t first_i = std::size_t(run_i[k]);
        const int cx = particles.cell_x[first_i], cy = particles.cell_y[first_i];
        const std::size_t cell_end = std::min<std::size_t>(run_start_[cell_index(cx, cy) + 1], end_place);
        const int x0 = std::max(cx - 1, 0), x1 = std::min(cx + 1, grid_w_ - 1);
        const int y0 = std::max(cy - 1, 0), y1 = std::min(cy + 1, grid_h_ - 1);
        std::ptrdiff_t firsts[3], ends[3];
        const int rows = y1 - y0 + 1;
        std::size_t places = 0;
        for (int r = 0; r < rows; ++r) {
            firsts[r] = std::ptrdiff_t(run_start_[cell_index(x0, y1 - r)]);
            ends[r] = std::ptrdiff_t(run_start_[cell_index(x1, y1 - r) + 1]);
            places += std::size_t(ends[r] - firsts[r]);
        }
        // Each row ends in at most one group that is not full.
        if (groups.size() < places / 8 + 3) groups.resize(2 * (places / 8 + 3));
        Group* groups_end = groups.data();
        for (int r = 0; r < rows; ++r) {
            const std::ptrdiff_t first = firsts[r];
            std::ptrdiff_t end = ends[r];
            for (; end - first >= 8; end -= 8) *groups_end++ = {end - 8, 0xFFu};
            if (end > first) *groups_end++ = {end - 8, 0xFFu << (8 - (end - first))};
        }
        for (; k < cell_end; ++k) {
            const int i = run_i[k];
            const std::size_t first_pair = size;
            std::size_t end_pair = first_pair;
            // Room for every place of the rows.
            if (first_pair + places + 8 > capacity) {
                store.size = size;
                store.make_room(places);
                capacity = store.j.size();
                out = PairRows(store);
            }
            // find_pairs eight places and pairs at a time, with the same operations in every lane;
            // the pairs of a group are moved to the front of the lanes, last place first, and
            // stored whole: the store keeps room for eight past its last pair.
            const __m256 xi8 = _mm256_set1_ps(run_x[k]), yi8 = _mm256_set1_ps(run_y[k]);
            const __m256i i8 = _mm256_set1_epi32(i);
            for (const Group* g = groups.data(); g != groups_end; ++g) {
                const __m256 dx = _mm256_sub_ps(xi8, _mm256_loadu_ps(run_x + g->at));
                const __m256 dy = _mm256_sub_ps(yi8, _mm256_loadu_ps(run_y + g->at));
                const __m256 d2 = _mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy));
                const __m256i j = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run_i + g->at));
                const __m256 hit =
                    _mm256_and_ps(_mm256_cmp_ps(d2, h2_8, _CMP_LT_OQ), _mm256_castsi256_ps(_mm256_cmpgt_epi32(j, i8)));
                const unsigned lanes = unsigned(_mm256_movemask_ps(hit)) & g->lanes;
                if (lanes == 0) continue;
                const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(kLastLaneFirst.lanes[lanes]));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.j + end_pair),
                                    _mm256_permutevar8x32_epi32(j, order));
                _mm256_storeu_ps(out.q + end_pair, _mm256_permutevar8x32_ps(d2, order));
                _mm256_storeu_ps(out.nx + end_pair, _mm256_permutevar8x32_ps(dx, order));
                _mm256_storeu_ps(out.ny + end_pair, _mm256_permutevar8x32_ps(dy, order));
                _mm256_storeu_ps(out.vj_x + end_pair, _mm256_permutevar8x32_ps(_mm256_loadu_ps(run_vx + g->at), order));
                _mm256_storeu_ps(out.vj_y + end_pair, _mm256_permutevar8x32_ps(_mm256_loadu_ps(run_vy + g->at), order));
                end_pair += unsigned(__builtin_popcount(lanes));
            }
            close_pairs_wide(out, run_vx[k], run_vy[k], first_pair, end_pair);
            // As file_pairs notes them, through pointers read once.
            store_of[i] = store_index, first_of[i] = uint32_t(first_pair),
            count_of[i] = uint32_t(end_pair - first_pair);
            size = end_pair;
        }
    }
    store.size = size;
}

// The records of the pairs a search found for particle pi, eight at a time.
__attribute__((always_inline, target("avx2"))) inline void WaterObject::close_pairs_wide(const PairRows& rows,
                                                                                         float vxi, float vyi,
                                                                                         std::size_t first_pair,
                                                                                         std::size_t end_pair) const {
    const float h = settings_.particle_size;
    // By their own pointers, so that a store to one array does not reload another.
    float* __restrict sq = rows.q;
    float* __restrict snx = rows.nx;
    float* __restrict sny = rows.ny;
    float* __restrict svx = rows.vj_x;
    float* __restrict svy = rows.vj_y;
    float* __restrict sdensity = rows.density;
    float* __restrict svis = rows.vis;
    float* __restrict spres = rows.pres;
    const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f), h8 = _mm256_set1_ps(h);
    for (std::size_t k = first_pair; k < end_pair; k += 8) {
        const __m256 d = _mm256_sqrt_ps(_mm256_loadu_ps(sq + k));
        const __m256 q = _mm256_div_ps(d, h8);
        const __m256 w = _mm256_sub_ps(one, q);
        // Two particles at one point are told apart along x rather than by 0 / 0.
        const __m256 apart = _mm256_cmp_ps(d, zero, _CMP_GT_OQ);
        const __m256 nx = _mm256_or_ps(_mm256_and_ps(apart, _mm256_div_ps(_mm256_loadu_ps(snx + k), d)),
                                       _mm256_andnot_ps(apart, one));
        const __m256 ny = _mm256_and_ps(apart, _mm256_div_ps(_mm256_loadu_ps(sny + k), d));
        const __m256 u = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(vxi), _mm256_loadu_ps(svx + k)), nx),
                                       _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(vyi), _mm256_loadu_ps(svy + k)), ny));
        const __m256 approach = _mm256_cmp_ps(u, zero, _CMP_GT_OQ);
        const __m256 impulse =
            _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(_mm256_div_ps(u, _mm256_add_ps(u, _mm256_set1_ps(10.0f))), w),
                                        _mm256_set1_ps(100.0f)),
                          _mm256_set1_ps(0.5f));
        const __m256 w3 = _mm256_mul_ps(_mm256_mul_ps(w, w), w);
        _mm256_storeu_ps(sq + k, q);
        _mm256_storeu_ps(snx + k, nx);
        _mm256_storeu_ps(sny + k, ny);
        store_pairs(svis + 2 * k, _mm256_and_ps(approach, _mm256_mul_ps(impulse, nx)),
                    _mm256_and_ps(approach, _mm256_mul_ps(impulse, ny)));
        store_pairs(sdensity + 2 * k, w3, _mm256_mul_ps(w3, w));
    }
    const float pressure = pair_pressure(sdensity, first_pair, end_pair);
    const __m256 pressure8 = _mm256_set1_ps(pressure);
    for (std::size_t k = first_pair; k < end_pair; k += 8) {
        const __m256 m = _mm256_mul_ps(
            _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(_mm256_loadu_ps(sq + k), one), _mm256_set1_ps(0.5f)), pressure8),
            _mm256_set1_ps(175.0f));
        store_pairs(spres + 2 * k, _mm256_mul_ps(m, _mm256_loadu_ps(snx + k)),
                    _mm256_mul_ps(m, _mm256_loadu_ps(sny + k)));
    }
}

void WaterObject::add_pair_forces() {
    ParticleArrays& p = particles;
    const std::size_t n = p.size();
    forces_.resize(2 * n);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 fx = _mm_loadu_ps(p.fx.data() + i), fy = _mm_loadu_ps(p.fy.data() + i);
        _mm_storeu_ps(forces_.data() + 2 * i, _mm_unpacklo_ps(fx, fy));
        _mm_storeu_ps(forces_.data() + 2 * i + 4, _mm_unpackhi_ps(fx, fy));
    }
    for (; i < n; ++i) forces_[2 * i] = p.fx[i], forces_[2 * i + 1] = p.fy[i];
    const Forces f{pair_stores_.data(), pair_store_.data(), pair_first_.data(), pair_count_.data(),
                   forces_.data(),      p.fx.data(),        p.fy.data()};
    if (__builtin_cpu_supports("avx2")) add_forces_wide(f, n);
    else add_forces(f, n);
}

std::size_t WaterObject::pair_count() const {
    return std::accumulate(pair_count_.begin(), pair_count_.end(), std::size_t(0));
}

struct WaterObject::Motion {
    float ts, w, h;
    const uint64_t* solid;  // null without a mask
    std::size_t row_words;
    bool stirred, team;
    Placing at;
    float* __restrict x, * __restrict y, * __restrict vx, * __restrict vy;
    float* __restrict fx, * __restrict fy, * __restrict prev_x, * __restrict prev_y;
    int32_t* __restrict cell_x, * __restrict cell_y;
};

void WaterObject::integrate(int threads) {
    ParticleArrays& p = particles;
    const std::size_t n = p.size();
    const bool team = threads > 1;
    // Each particle moves on its own; the cells' last particles, which particles share, are set
    // in index order: after the team's pass, or as one thread goes. Only cells that hold a
    // particle (as the sort found them) hold a last one.
    for (std::size_t i = 0; i < n; ++i)
        if (const int32_t c = cells_[i]; c >= 0) heads_[std::size_t(c)] = -1;
    const Motion m{time_step_,
                   float(width_),
                   float(height_),
                   solid_.empty() ? nullptr : solid_.data(),
                   row_words_,
                   blasts_pending_,
                   team,
                   placing(),
                   p.x.data(),
                   p.y.data(),
                   p.vx.data(),
                   p.vy.data(),
                   p.fx.data(),
                   p.fy.data(),
                   p.prev_x.data(),
                   p.prev_y.data(),
                   p.cell_x.data(),
                   p.cell_y.data()};
    const bool wide = eight_lanes && __builtin_cpu_supports("avx2");
#pragma omp parallel num_threads(threads) if (team)
    {
        const std::size_t t = std::size_t(omp_get_thread_num()), count = std::size_t(omp_get_num_threads());
        if (wide) move_particles_wide(m, n * t / count, n * (t + 1) / count);
        else move_particles(m, n * t / count, n * (t + 1) / count);
    }
    for (std::size_t i = 0; team && i < n; ++i)
        if (p.cell_x[i] >= 0) heads_[cell_index(p.cell_x[i], p.cell_y[i])] = int32_t(i);
    clear_blasts();
}

void WaterObject::move_particles(const Motion& m, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) move_particle(m, i);
}

inline void WaterObject::move_particle(const Motion& m, std::size_t i) {
    // A particle at or past an edge of the level is put back inside at half the speed, reversed.
    auto bounce = [](float& at, float& speed, float edge) {
        if (at <= 0.0f) at = 1.0f, speed *= -0.5f;
        if (at >= edge) at = edge - 1.0f, speed *= -0.5f;
    };
    const float ts = m.ts, w = m.w, h = m.h;
    float x = m.x[i], y = m.y[i], vx = m.vx[i], vy = m.vy[i];
    vx += m.fx[i] * ts;
    vy += m.fy[i] * ts;
    m.fx[i] = 0.0f;
    m.fy[i] = 0.0f;
    const float x_was = x, y_was = y;
    m.prev_x[i] = x_was;
    m.prev_y[i] = y_was;
    x += vx * ts;
    y += vy * ts;
    vx = (x - x_was) / ts;
    vy = (y - y_was) / ts;
    bounce(x, vx, w);
    bounce(y, vy, h);
    if (x >= 0.0f && y >= 0.0f && x < w && y < h && m.solid &&
        (m.solid[std::size_t(y) * m.row_words + (std::size_t(x) >> 6)] >> (int(x) & 63)) & 1u) {
        x = x_was;
        y = y_was;
        vx *= -0.5f;
        vy *= -0.5f;
    }
    // A particle that left the numbers goes back to where it was, at rest; one that never
    // had a place takes no part until it has one.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(vx) || !std::isfinite(vy)) {
        x = x_was;
        y = y_was;
        vx = vy = 0.0f;
    }
    m.x[i] = x, m.y[i] = y, m.vx[i] = vx, m.vy[i] = vy;
    m.cell_x[i] = m.cell_y[i] = -1;
    mark_cell(m.at, x, y, m.team);
    int cx, cy;
    if (cell_of(m.at, x, y, cx, cy)) place_particle(m, i, cx, cy);
}

inline void WaterObject::place_particle(const Motion& m, std::size_t i, int cx, int cy) {
    m.cell_x[i] = cx, m.cell_y[i] = cy;
    if (!m.team) heads_[cell_index(cx, cy)] = int32_t(i);
    if (!m.stirred) return;
    const Blast& b = blasts_[cell_index(cx, cy)];
    if (b.radius != 0.0f) {
        const float dx = m.x[i] - b.x, dy = m.y[i] - b.y;
        const float d2 = dx * dx + dy * dy;
        if (d2 > 0.0f && d2 < b.radius * b.radius) {
            const float dist = std::sqrt(d2);
            const float strength = (b.radius - dist) / b.radius;
            m.fx[i] += dx / dist * 2000.0f * strength;
            m.fy[i] += dy / dist * 2000.0f * strength;
        }
    }
}

__attribute__((target("avx2"))) void WaterObject::move_particles_wide(const Motion& m, std::size_t begin,
                                                                      std::size_t end) {
    const __m256 ts = _mm256_set1_ps(m.ts), zero = _mm256_setzero_ps();
    const __m256 back = _mm256_set1_ps(-0.5f);
    const __m256 w = _mm256_set1_ps(m.w), h = _mm256_set1_ps(m.h);
    const __m256 w_in = _mm256_set1_ps(m.w - 1.0f), h_in = _mm256_set1_ps(m.h - 1.0f);
    const __m256 tree_cell = _mm256_set1_ps(m.at.tree_cell), tree_side = _mm256_set1_ps(m.at.tree_side);
    const __m256 grid = _mm256_set1_ps(m.at.grid);
    const __m256 grid_w = _mm256_set1_ps(m.at.grid_w), grid_h = _mm256_set1_ps(m.at.grid_h);
    const __m256i tree_last = _mm256_set1_epi32(int(m.at.side - 1));
    const __m256i cells_w = _mm256_set1_epi32(m.at.cells_w), cells_h = _mm256_set1_epi32(m.at.cells_h);
    const __m256i none = _mm256_set1_epi32(-1), low_bit = _mm256_set1_epi32(1);
    // The mask as 32-bit words: bit b of a 64-bit word is bit b & 31 of its word 2w + b / 32.
    const __m256i half_rows = _mm256_set1_epi32(int(2 * m.row_words));
    const int* solid = reinterpret_cast<const int*>(m.solid);
    std::size_t i = begin;
    for (; i + 8 <= end; i += 8) {
        __m256 x = _mm256_loadu_ps(m.x + i), y = _mm256_loadu_ps(m.y + i);
        __m256 vx = _mm256_add_ps(_mm256_loadu_ps(m.vx + i), _mm256_mul_ps(_mm256_loadu_ps(m.fx + i), ts));
        __m256 vy = _mm256_add_ps(_mm256_loadu_ps(m.vy + i), _mm256_mul_ps(_mm256_loadu_ps(m.fy + i), ts));
        _mm256_storeu_ps(m.fx + i, zero);
        _mm256_storeu_ps(m.fy + i, zero);
        const __m256 x_was = x, y_was = y;
        _mm256_storeu_ps(m.prev_x + i, x_was);
        _mm256_storeu_ps(m.prev_y + i, y_was);
        x = _mm256_add_ps(x, _mm256_mul_ps(vx, ts));
        y = _mm256_add_ps(y, _mm256_mul_ps(vy, ts));
        vx = _mm256_div_ps(_mm256_sub_ps(x, x_was), ts);
        vy = _mm256_div_ps(_mm256_sub_ps(y, y_was), ts);
        bounce_wide(x, vx, w, w_in);
        bounce_wide(y, vy, h, h_in);
        const __m256 placed = _mm256_and_ps(_mm256_cmp_ps(x, zero, _CMP_GE_OQ), _mm256_cmp_ps(y, zero, _CMP_GE_OQ));
        if (solid) {
            const __m256 inside =
                _mm256_and_ps(placed, _mm256_and_ps(_mm256_cmp_ps(x, w, _CMP_LT_OQ), _mm256_cmp_ps(y, h, _CMP_LT_OQ)));
            const __m256i px = _mm256_cvttps_epi32(x), py = _mm256_cvttps_epi32(y);
            const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(py, half_rows), _mm256_srli_epi32(px, 5));
            const __m256i words =
                _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), solid, at, _mm256_castps_si256(inside), 4);
            const __m256i bit =
                _mm256_and_si256(_mm256_srlv_epi32(words, _mm256_and_si256(px, _mm256_set1_epi32(31))), low_bit);
            const __m256 blocked = _mm256_and_ps(inside, _mm256_castsi256_ps(_mm256_cmpeq_epi32(bit, low_bit)));
            x = _mm256_blendv_ps(x, x_was, blocked);
            y = _mm256_blendv_ps(y, y_was, blocked);
            vx = _mm256_blendv_ps(vx, _mm256_mul_ps(vx, back), blocked);
            vy = _mm256_blendv_ps(vy, _mm256_mul_ps(vy, back), blocked);
        }
        const __m256 numbers = _mm256_and_ps(_mm256_and_ps(finite_wide(x), finite_wide(y)),
                                             _mm256_and_ps(finite_wide(vx), finite_wide(vy)));
        x = _mm256_blendv_ps(x_was, x, numbers);
        y = _mm256_blendv_ps(y_was, y, numbers);
        vx = _mm256_blendv_ps(zero, vx, numbers);
        vy = _mm256_blendv_ps(zero, vy, numbers);
        _mm256_storeu_ps(m.x + i, x);
        _mm256_storeu_ps(m.y + i, y);
        _mm256_storeu_ps(m.vx + i, vx);
        _mm256_storeu_ps(m.vy + i, vy);
        // The occupancy cells (as mark_cell finds them) and the grid cells (as cell_of does).
        const __m256 from = _mm256_and_ps(_mm256_cmp_ps(x, zero, _CMP_GE_OQ), _mm256_cmp_ps(y, zero, _CMP_GE_OQ));
        const __m256 tx = _mm256_div_ps(x, tree_cell), ty = _mm256_div_ps(y, tree_cell);
        const unsigned marked = unsigned(_mm256_movemask_ps(_mm256_and_ps(
            from, _mm256_and_ps(_mm256_cmp_ps(tx, tree_side, _CMP_LT_OQ), _mm256_cmp_ps(ty, tree_side, _CMP_LT_OQ)))));
        alignas(32) uint32_t codes[8];
        _mm256_store_si256(
            reinterpret_cast<__m256i*>(codes),
            _mm256_or_si256(spread_wide(_mm256_min_epu32(_mm256_cvttps_epi32(tx), tree_last)),
                            _mm256_slli_epi32(spread_wide(_mm256_min_epu32(_mm256_cvttps_epi32(ty), tree_last)), 1)));
        for (unsigned lanes = marked; lanes != 0; lanes &= lanes - 1) {
            const uint32_t code = codes[__builtin_ctz(lanes)];
            const uint64_t bit = uint64_t(1) << (code & 63);
            if (m.team) std::atomic_ref<uint64_t>(marked_[code >> 6]).fetch_or(bit, std::memory_order_relaxed);
            else marked_[code >> 6] |= bit;
        }
        const __m256 gx = _mm256_div_ps(x, grid), gy = _mm256_div_ps(y, grid);
        const __m256i cx = _mm256_cvttps_epi32(gx), cy = _mm256_cvttps_epi32(gy);
        const __m256i in_grid = _mm256_and_si256(
            _mm256_castps_si256(_mm256_and_ps(
                from, _mm256_and_ps(_mm256_cmp_ps(gx, grid_w, _CMP_LT_OQ), _mm256_cmp_ps(gy, grid_h, _CMP_LT_OQ)))),
            _mm256_and_si256(_mm256_cmpgt_epi32(cells_w, cx), _mm256_cmpgt_epi32(cells_h, cy)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(m.cell_x + i), _mm256_blendv_epi8(none, cx, in_grid));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(m.cell_y + i), _mm256_blendv_epi8(none, cy, in_grid));
        const unsigned filed = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(in_grid)));
        if (m.team && !m.stirred) continue;
        for (unsigned lanes = filed; lanes != 0; lanes &= lanes - 1) {
            const std::size_t k = i + unsigned(__builtin_ctz(lanes));
            place_particle(m, k, m.cell_x[k], m.cell_y[k]);
        }
    }
    move_particles(m, i, end);
}

void WaterObject::clear_blasts() {
    // Past as many cells as the grid has, the list stops and the whole grid is cleared.
    if (blast_cells_.size() >= blasts_.size()) std::fill(blasts_.begin(), blasts_.end(), Blast{});
    else
        for (const std::size_t c : blast_cells_) blasts_[c] = Blast{};
    blast_cells_.clear();
    blasts_pending_ = false;
}

WaterObject::Placing WaterObject::placing() const {
    return {settings_.grid_size, float(grid_w_), float(grid_h_), grid_w_, grid_h_, float(settings_.quadtree_size),
            float(tree_side()),  tree_side()};
}

inline void WaterObject::mark_cell(const Placing& at, float x, float y, bool shared) {
    const float q = at.tree_cell;
    if (!(x >= 0.0f && y >= 0.0f && x / q < at.tree_side && y / q < at.tree_side)) return;
    const uint32_t cx = std::min(uint32_t(x / q), at.side - 1), cy = std::min(uint32_t(y / q), at.side - 1);
    // The tree's Morton code, a byte of each coordinate at a time (a side is at most 4096 cells).
    const uint64_t code = kSpreadByte.bits[cx & 255] | uint64_t(kSpreadByte.bits[cx >> 8]) << 16 |
                          uint64_t(kSpreadByte.bits[cy & 255]) << 1 | uint64_t(kSpreadByte.bits[cy >> 8]) << 17;
    const uint64_t bit = uint64_t(1) << (code & 63);
    if (shared) std::atomic_ref<uint64_t>(marked_[code >> 6]).fetch_or(bit, std::memory_order_relaxed);
    else marked_[code >> 6] |= bit;
}

void WaterObject::publish_occupancy() {
    // A square of the tree is one run of the bitmap: of one value when its bits are all clear or
    // all set. The squares of 64 cells and more are whole words, whose states are gathered a
    // level at a time; below, the run lies within a word.
    const int depth = occupancy_tree_.depth();
    square_states_.clear();
    level_starts_.clear();
    for (int height = 3; height <= depth; ++height) {
        const std::size_t start = square_states_.size();
        level_starts_.push_back(start);
        if (height == 3) {
            for (const uint64_t word : marked_) square_states_.push_back(word == 0 ? 0 : word == ~uint64_t(0) ? 1 : 2);
            continue;
        }
        const std::size_t below = level_starts_[std::size_t(height - 4)];
        for (std::size_t k = below; k < start; k += 4) {
            const uint8_t* quarter = square_states_.data() + k;
            const uint8_t a = quarter[0];
            const bool one = a != 2 && quarter[1] == a && quarter[2] == a && quarter[3] == a;
            square_states_.push_back(one ? a : 2);
        }
    }
    BitWriter out(unsigned(depth), 5);
    write_square(out, 0, depth);
    occupancy_bytes = out.finish();
    std::fill(marked_.begin(), marked_.end(), 0);
    tree_stale_ = true;
}

void WaterObject::write_square(BitWriter& out, uint64_t first, int height) const {
    // A leaf is 0 and its value, a split square 1 and its quarters in order.
    if (height >= 3) {
        const uint8_t state = square_states_[level_starts_[std::size_t(height - 3)] + (first >> (2 * height))];
        if (state != 2) return out.bits(state, 2);
    } else {
        const uint64_t all = (uint64_t(1) << (1 << 2 * height)) - 1, bits = (marked_[first >> 6] >> (first & 63)) & all;
        if (bits == 0 || bits == all) return out.bits(bits != 0 ? 1u : 0u, 2);
    }
    out.bit(1);
    const uint64_t quarter = uint64_t(1) << (2 * (height - 1));
    for (uint64_t k = 0; k < 4; ++k) write_square(out, first + k * quarter, height - 1);
}

// --- queries ---

inline bool WaterObject::cell_of(const Placing& at, float x, float y, int& cx, int& cy) {
    const float g = at.grid;
    // Written so that a value that is not a number fails every test.
    if (!(x >= 0.0f && y >= 0.0f && x / g < at.grid_w && y / g < at.grid_h)) return false;
    cx = int(x / g);
    cy = int(y / g);
    return cx < at.cells_w && cy < at.cells_h;
}

bool WaterObject::cell_of(float x, float y, int& cx, int& cy) const { return cell_of(placing(), x, y, cx, cy); }

void WaterObject::link(int32_t i, int cx, int cy) {
    heads_[cell_index(cx, cy)] = i;
    particles.cell_x[std::size_t(i)] = cx;
    particles.cell_y[std::size_t(i)] = cy;
}

bool WaterObject::blocks(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || solid_.empty()) return false;
    return (solid_[std::size_t(y) * row_words_ + std::size_t(x >> 6)] >> (x & 63)) & 1u;
}

void WaterObject::set_blocked(int x, int y, bool blocked) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || solid_.empty()) return;
    uint64_t& word = solid_[std::size_t(y) * row_words_ + std::size_t(x >> 6)];
    const uint64_t bit = uint64_t(1) << (x & 63);
    word = blocked ? word | bit : word & ~bit;
}

bool WaterObject::static_cell(int cx, int cy) const {
    if (cx < 0 || cy < 0 || cx >= grid_w_ || cy >= grid_h_ || static_flags_.empty()) return false;
    return static_flags_[cell_index(cx, cy)] != 0;
}

int32_t WaterObject::cell_head(int cx, int cy) const {
    if (cx < 0 || cy < 0 || cx >= grid_w_ || cy >= grid_h_ || heads_.empty()) return -1;
    return heads_[cell_index(cx, cy)];
}

template <typename Visit>
void WaterObject::scan_cells(float from, float to, int cells, Visit&& visit) const {
    if (!std::isfinite(from) || !std::isfinite(to) || cells <= 0) return;
    const float g = settings_.grid_size;
    // Steps before the first cell or past the last one would visit nothing: start and stop
    // within a cell of the grid, however far away the scan was asked for.
    const float low = -2.0f * g, high = float(cells + 2) * g;
    from = std::clamp(from, low, high);
    to = std::clamp(to, low, high);
    const int64_t first = int64_t(std::trunc(std::trunc(from / g) * g));
    const int64_t last = int64_t(std::trunc(std::ceil(to / g) * g));
    const int64_t step = int64_t(g);
    for (int64_t c = first; c <= last; c += step) {
        const int cell = int(float(c) / g);
        if (cell >= 0 && cell < cells) visit(cell);
    }
}

float WaterObject::submerged_fraction(float x, float y, float width, float height) const {
    const float area = width * height;
    if (!(area > 0.0f) || !std::isfinite(area) || heads_.empty()) return 0.0f;
    const float g = settings_.grid_size;
    float covered = 0.0f;
    scan_cells(x, x + width, grid_w_, [&](int cx) {
        scan_cells(y, y + height, grid_h_, [&](int cy) {
            const std::size_t c = cell_index(cx, cy);
            if (heads_[c] != -1 || static_flags_[c] != 0) covered += g * g;
        });
    });
    return covered / area;
}

float WaterObject::coverage(float x, float y, float width, float height) {
    return submerged_fraction(x, y, width, height);
}

void WaterObject::add_explosion(const dvec2d& centre, float radius) {
    if (!server_ || blasts_.empty()) return;
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(radius) || !(radius > 0.0f)) return;
    const Blast blast{centre.x, centre.y, radius};
    scan_cells(centre.x - radius, centre.x + radius, grid_w_, [&](int cx) {
        scan_cells(centre.y - radius, centre.y + radius, grid_h_, [&](int cy) {
            blasts_[cell_index(cx, cy)] = blast;
            if (blast_cells_.size() < blasts_.size()) blast_cells_.push_back(cell_index(cx, cy));
            blasts_pending_ = true;
        });
    });
}

void WaterObject::clear_static_cell(int x, int y) {
    if (!server_ || !game || !game->terrain().surface()) return;
    SDL_Surface* terrain = game->terrain().surface();
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || x >= terrain->w || y >= terrain->h) return;
    ColorRGBA c;
    {
        SurfaceLock lock(terrain);
        c = TerrainPixels(terrain).get(x, y);
    }
    // The blast freed static water; ground it carved away is open too.
    if (c == color_staticwater || !blocks_water(c)) set_blocked(x, y, false);
}

// --- replication ---

void WaterObject::sync_fields() {
    sync_field(occupancy_bytes);
    if (mode == Read) fresh_bytes_ = true;
}

void WaterObject::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateWaterObject>(IdRecord{entity_id});
}

const Quadtree<bool>& WaterObject::occupancy() const {
    if (tree_stale_) {
        occupancy_tree_.deserialize(occupancy_bytes, occupancy_tree_.depth());
        tree_stale_ = false;
    }
    return occupancy_tree_;
}

void WaterObject::update_sprite() {
    if (server_ || !fresh_bytes_) return;
    fresh_bytes_ = false;
    if (occupancy_bytes.empty()) return;
    // A stream is taken only whole and for this level's tree; anything else keeps the last one.
    Quadtree<bool> received;
    if (!received.deserialize(occupancy_bytes, occupancy_tree_.depth())) {
        log_message(LogLevel::Warning, "Ignored a malformed water occupancy stream.", log_class_name_of(*this));
        return;
    }
    occupancy_tree_ = std::move(received);
    if (game && game->drawing()) game->drawing()->water_changed(*this);
}

// --- the dispatcher's entry ---

void create_water_object_action(QGEventHandler& handler, const IdRecord& record) {
    GameSession* game = handler.game;
    if (!game || !game->level) {
        log_message(LogLevel::Warning, "Ignored a water object without a level.", log_class_name_of(handler));
        return;
    }
    if (game->level->water) {
        log_message(LogLevel::Warning, "Ignored a second water object for the level.", log_class_name_of(handler));
        return;
    }
    if (auto* water = game->spawn<WaterObject>(record.id, game->level)) game->level->water = water;
}

}  // namespace sph
