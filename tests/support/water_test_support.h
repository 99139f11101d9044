#pragma once
// The water suites' and benchmark's level: a server session over an air terrain of material
// colours (no terrain for 0 x 0), painted, then given its water; and the occupancy stream that
// a set of particles makes.
#include <omp.h>

#include <memory>
#include <set>
#include <utility>

#include "game/water/water_object.h"
#include "support/session_test_support.h"

namespace water_test {

struct WaterLevel {
    WaterLevel(int w, int h) : game(session_test::make_server_session()) {
        static const bool loaded = (load_settings(), true);  // once: reading the ini files is slow
        (void)loaded;
        session_test::set_material_colors();
        if (w > 0 && h > 0) surface = session_test::make_surface(w, h);
        game->terrain().set_surface(surface.get());
    }
    ~WaterLevel() {
        game.reset();
        omp_set_num_threads(omp_get_num_procs());
    }
    void paint(int x, int y, int w, int h, ColorRGBA c) { session_test::fill(surface.get(), x, y, w, h, c); }
    // Owned by the session.
    sph::WaterObject& build(sph::WaterSettings s = {}) { return *game->spawn<sph::WaterObject>(0, nullptr, s); }

    session_test::SurfacePtr surface;
    std::unique_ptr<QGGame> game;
};

// The stream of the tree that setting the cells of the particles whose position is a number,
// one by one, gives.
inline std::vector<unsigned char> particle_stream(const sph::WaterObject& w) {
    Quadtree<bool> tree;
    tree.set_depth(w.occupancy().depth());
    const float q = float(w.settings().quadtree_size);
    for (std::size_t i = 0; i < w.particles.size(); ++i)
        if (std::isfinite(w.particles.x[i]) && std::isfinite(w.particles.y[i]))
            tree.set(uint32_t(w.particles.x[i] / q), uint32_t(w.particles.y[i] / q), true);
    return tree.serialize();
}

}  // namespace water_test
