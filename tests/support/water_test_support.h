#pragma once
// The water suites' and benchmark's level: a server session over an air terrain of material
// colours (no terrain for 0 x 0), painted, then given its water; and the occupancy cells that a
// stream and a set of particles show.
#include <omp.h>

#include <memory>
#include <set>
#include <utility>

#include "game/water/water_object.h"
#include "support/session_test_support.h"

namespace water_test {

using Cells = std::set<std::pair<uint32_t, uint32_t>>;

struct WaterLevel {
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
    void paint(int x, int y, int w, int h, ColorRGBA c) { session_test::fill(surface.get(), x, y, w, h, c); }
    // Owned by the session.
    sph::WaterObject& build(sph::WaterSettings s = {}) { return *new sph::WaterObject(game.get(), 0, nullptr, s); }

    session_test::SurfacePtr surface;
    std::unique_ptr<QGGame> game;
};

// The cells of the particles whose position is a number.
inline Cells particle_cells(const sph::WaterObject& w) {
    Cells cells;
    const float q = float(w.settings().quadtree_size);
    for (std::size_t i = 0; i < w.particles.size(); ++i)
        if (std::isfinite(w.particles.x[i]) && std::isfinite(w.particles.y[i]))
            cells.insert({uint32_t(w.particles.x[i] / q), uint32_t(w.particles.y[i] / q)});
    return cells;
}

inline Cells stream_cells(const std::vector<unsigned char>& bytes) {
    Quadtree<bool> tree;
    Cells cells;
    if (tree.deserialize(bytes))
        tree.for_each_leaf([&](uint32_t x, uint32_t y, uint32_t size, bool water) {
            for (uint32_t j = 0; water && j < size; ++j)
                for (uint32_t i = 0; i < size; ++i) cells.insert({x + i, y + j});
        });
    return cells;
}

}  // namespace water_test
