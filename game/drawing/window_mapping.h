#pragma once
// Where a sprite's local coordinates land in window pixels, for passes that clip themselves to
// the parts of the window that can show something.
#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "engine/gfx/viewport.h"
#include "engine/scene/sprite.h"
#include "game/terrain/terrain_carver.h"

// window = offset + factor * local on each axis, in GL window coordinates (y up), under given
// matrices and viewport (sprites only scale and move).
struct WindowMapping {
    double ax = 0, bx = 1, ay = 0, by = 1;

    static WindowMapping of(CSprite& sprite, const GLdouble* projection, const GLdouble* modelview,
                            const GLint* viewport) {
        const double z = sprite.get_absolute_z();
        auto window = [&](fvec2d local) {
            const fvec2d g = sprite.point_to_global(local);
            return window_point(projection, modelview, viewport, g.x, g.y, z);
        };
        const WindowPoint o = window({0, 0}), x = window({1, 0}), y = window({0, 1});
        return {o.x, x.x - o.x, o.y, y.y - o.y};
    }

    // The local box the window rectangle shows.
    void local_box(const GLint* r, double& x0, double& y0, double& x1, double& y1) const {
        const double lx0 = (r[0] - ax) / bx, lx1 = (r[0] + r[2] - ax) / bx;
        const double ly0 = (r[1] - ay) / by, ly1 = (r[1] + r[3] - ay) / by;
        x0 = std::min(lx0, lx1), x1 = std::max(lx0, lx1), y0 = std::min(ly0, ly1), y1 = std::max(ly0, ly1);
    }

    // The box left..right x bottom..top as a rectangle within 0..w x 0..h (empty when apart).
    // A sprite scaled to nothing maps to no number at all: that counts as 0.
    static PixelRect clamped(double left, double bottom, double right, double top, int w, int h) {
        auto fit = [](double v, int most) { return v > 0.0 ? int(std::min(v, double(most))) : 0; };
        const int x0 = fit(left, w), x1 = fit(right, w), y0 = fit(bottom, h), y1 = fit(top, h);
        return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
    }
};
