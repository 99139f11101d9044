// Terrain timings: every generator preset at 2048 x 1024 and at 4096 x 4096, Cave at 16
// octaves, a radius-100 explosion, and one 256 x 256 map tile through the palette coder. Run
// from an optimised build:
//   build-release/tests/bench/terrain_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "game/levelgen/level_generator.h"
#include "game/terrain/map_coder.h"
#include "game/terrain/terrain_carver.h"
#include "support/terrain_test_support.h"

using namespace terrain_test;

namespace {

// The generator reads its templates from the working directory: give it the test set once.
struct TemplateFolder {
    TemplateFolder() {
        set_material_colors();
        root = std::filesystem::temp_directory_path() / "brawl_terrain_bench";
        write_template_folders(root.string());
        std::filesystem::current_path(root);
    }
    ~TemplateFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
};
TemplateFolder& templates() {
    static TemplateFolder folder;
    return folder;
}

LevelParameters preset(int gen, int w, int h) {
    LevelParameters p;
    p.gen = uint32_t(gen);
    p.seed = 12345;
    p.size_x = uint32_t(w);
    p.size_y = uint32_t(h);
    p.octaves = gen == 3 ? 8 : 4;  // a lively level; noise presets cost per octave
    return p;
}

const char* const kNames[] = {"Swamp", "Submarine", "Skyscraper", "Mountain", "Cave", "Hills"};

void BM_Generate(benchmark::State& state) {
    templates();
    const int gen = int(state.range(0)), w = int(state.range(1)), h = int(state.range(2));
    state.SetLabel(kNames[gen]);
    SDL_Surface* surface = nullptr;
    for (auto _ : state) {
        surface = generate_level_surface(surface, true, nullptr, preset(gen, w, h));
        benchmark::DoNotOptimize(surface);
    }
    SDL_FreeSurface(surface);
}
BENCHMARK(BM_Generate)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {2048}, {1024}})
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {4096}, {4096}})
    ->Unit(benchmark::kMillisecond);

// The noise presets over the octave range of the host's screen (1 to 10) at 2048 x 1024, and
// the largest Cave the parameters allow.
void BM_GenerateOctaves(benchmark::State& state) {
    templates();
    const int gen = int(state.range(0));
    LevelParameters p = preset(gen, int(state.range(2)), int(state.range(3)));
    p.octaves = int(state.range(1));
    state.SetLabel(kNames[gen]);
    SDL_Surface* surface = nullptr;
    for (auto _ : state) {
        surface = generate_level_surface(surface, true, nullptr, p);
        benchmark::DoNotOptimize(surface);
    }
    SDL_FreeSurface(surface);
}
BENCHMARK(BM_GenerateOctaves)
    ->ArgsProduct({{0, 4, 5}, {1, 10}, {2048}, {1024}})
    ->Args({4, 16, 4096, 4096})
    ->Unit(benchmark::kMillisecond);

// Radius-100 blasts on a Cave level, a new spot each time; the level is regenerated (untimed)
// when every spot has been blasted twice.
void BM_Carve(benchmark::State& state) {
    templates();
    SurfacePtr level(generate_level_surface(nullptr, false, nullptr, preset(4, 2048, 1024)));
    const std::size_t bytes = std::size_t(level->h) * level->pitch;
    std::vector<uint8_t> pristine(static_cast<uint8_t*>(level->pixels), static_cast<uint8_t*>(level->pixels) + bytes);
    int spot = 0;
    for (auto _ : state) {
        const float x = 100.0f + float(spot % 9) * 220.0f, y = 100.0f + float(spot / 9 % 5) * 200.0f;
        ExplosionSummary sum = explode_terrain(level.get(), {x, y, 100.0f}, true);
        benchmark::DoNotOptimize(sum);
        if (++spot == 90) {
            state.PauseTiming();
            std::memcpy(level->pixels, pristine.data(), bytes);
            spot = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_Carve)->Unit(benchmark::kMicrosecond);

// Two tiles of a six-octave Cave level, full of material boundaries: one from the middle (arg
// 1) and the top-left one (arg 0).
ivec2d tile_offset(int busy) { return busy ? ivec2d{768, 512} : ivec2d{0, 0}; }

SurfacePtr tile_level() {
    templates();
    LevelParameters p = preset(4, 2048, 1024);
    p.octaves = 6;
    return SurfacePtr(generate_level_surface(nullptr, false, nullptr, p));
}

void BM_TileEncode(benchmark::State& state) {
    SurfacePtr level = tile_level();
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<unsigned char> bytes =
            encode_map_tile(level.get(), tile_offset(int(state.range(0))), material_colors);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_TileEncode)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_TileDecode(benchmark::State& state) {
    SurfacePtr level = tile_level();
    const ivec2d at = tile_offset(int(state.range(0)));
    std::vector<unsigned char> bytes = encode_map_tile(level.get(), at, material_colors);
    SurfacePtr client = make_surface(2048, 1024);
    for (auto _ : state) {
        bool ok = apply_map_tile(client.get(), at, bytes, material_colors);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_TileDecode)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_TileRoundTrip(benchmark::State& state) {
    SurfacePtr level = tile_level();
    const ivec2d at = tile_offset(1);
    SurfacePtr client = make_surface(2048, 1024);
    for (auto _ : state) {
        std::vector<unsigned char> bytes = encode_map_tile(level.get(), at, material_colors);
        bool ok = apply_map_tile(client.get(), at, bytes, material_colors);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_TileRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
