#pragma once
// Shared by the water suites and benchmark: a server session over a synthetic terrain of
// material colours, the water built on it, and the occupancy a set of particles should show.
#include <omp.h>

#include <memory>
#include <set>
#include <utility>

#include "game/water/water_object.h"
#include "support/session_test_support.h"

namespace water_test {

using session_test::fill;

class WaterLevel {
public:
    // An air terrain of w x h (no terrain at all for 0 x 0); paint it, then build.
    WaterLevel(int w, int h) : game(session_test::make_server_session()) {
        static const bool loaded = (load_settings(), true);  // once: reading the ini files is slow
        (void)loaded;
        session_test::set_material_colors();
        if (w > 0 && h > 0) surface = session_test::make_surface(w, h);
        game->terrain = surface.get();
    }
    ~WaterLevel() {
        game.reset();
        omp_set_num_threads(omp_get_num_procs());
    }
    void paint(int x, int y, int w, int h, ColorRGBA c) { fill(surface.get(), x, y, w, h, c); }
    // The water is the session's object: the session deletes it.
    sph::WaterObject& build(sph::WaterSettings settings = {}) {
        return *new sph::WaterObject(game.get(), 0, nullptr, settings);
    }

    session_test::SurfacePtr surface;
    std::unique_ptr<QGGame> game;
};

// The occupancy cells of the particles whose position is a number.
inline std::set<std::pair<uint32_t, uint32_t>> particle_cells(const sph::WaterObject& w) {
    std::set<std::pair<uint32_t, uint32_t>> cells;
    const float q = float(w.settings().quadtree_size);
    for (std::size_t i = 0; i < w.particles.size(); ++i)
        if (std::isfinite(w.particles.x[i]) && std::isfinite(w.particles.y[i]))
            cells.insert({uint32_t(w.particles.x[i] / q), uint32_t(w.particles.y[i] / q)});
    return cells;
}

// The true cells of a decoded occupancy stream.
inline std::set<std::pair<uint32_t, uint32_t>> stream_cells(const std::vector<unsigned char>& bytes) {
    Quadtree<bool> tree;
    std::set<std::pair<uint32_t, uint32_t>> cells;
    if (!tree.deserialize(bytes)) return cells;
    tree.for_each_leaf([&](uint32_t x, uint32_t y, uint32_t size, bool water) {
        for (uint32_t j = 0; water && j < size; ++j)
            for (uint32_t i = 0; i < size; ++i) cells.insert({x + i, y + j});
    });
    return cells;
}

}  // namespace water_test
