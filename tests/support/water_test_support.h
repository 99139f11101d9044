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
    // in_level: the terrain is the surface of the session's level, as on the server, and the
    // water is the level's.
    WaterLevel(int w, int h, bool in_level = false) : game(session_test::make_server_session()) {
        static const bool loaded = (load_settings(), true);  // once: reading the ini files is slow
        (void)loaded;
        session_test::set_material_colors();
        if (in_level && w > 0 && h > 0) level = &session_test::make_air_level(*game, w, h);
        else if (w > 0 && h > 0) surface = session_test::make_surface(w, h);
        if (!level) game->terrain = surface.get();
    }
    ~WaterLevel() {
        game.reset();
        omp_set_num_threads(omp_get_num_procs());
    }
    SDL_Surface* terrain() const { return level ? level->surface() : surface.get(); }
    void paint(int x, int y, int w, int h, ColorRGBA c) {
        session_test::fill(terrain(), x, y, w, h, c);
        if (level) level->solid_mask.build(level->surface());
    }
    // Owned by the session.
    sph::WaterObject& build(sph::WaterSettings s = {}) {
        auto* water = new sph::WaterObject(game.get(), 0, level, s);
        if (level) level->water = water;
        return *water;
    }

    session_test::SurfacePtr surface;
    std::unique_ptr<QGGame> game;
    QGLevel* level = nullptr;  // owned by the session
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
