#pragma once
#include <SDL/SDL.h>

#include <algorithm>
#include <cfloat>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "game/base/record_stream.h"

// The pixel side of explosions: carving discs into the terrain surface and setting off chains
// of explosive pixels. Events, pushes, effects and sounds stay with the session, which hooks in
// through ExplosionHooks. Material colours come from game/config/settings.h.

// Payload of the Explode event: centre and radius in world pixels.
struct Explosion {
    float x = 0.0f;
    float y = 0.0f;
    float radius = 0.0f;
};
template <class S>
bool serialize(S& s, Explosion& e) {
    return s.finite(e.x) && s.finite(e.y) && s.value(e.radius, 0.0f, FLT_MAX);
}

// A rectangle of surface pixels (the area a blast may have changed).
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

// The smallest rectangle holding both; an empty one adds nothing.
inline PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    return {x0, y0, std::max(a.x + a.width, b.x + b.width) - x0, std::max(a.y + a.height, b.y + b.height) - y0};
}

// A chain of explosive pixels set off at (x, y): `pixels` were turned to air, and on the server
// it explodes again around its first pixel with radius pixels / 10.
struct ChainReaction {
    int x = 0, y = 0;
    int pixels = 0;
    float radius() const { return static_cast<float>(pixels) / 10.0f; }
};

// What the session does around the pixel work; empty hooks are skipped.
struct ExplosionHooks {
    // After every pixel of a disc, whatever it held (server: clear its static-water mark).
    Callback<void, int, int> pixel_carved;
    // After each disc, nested chain explosions first (server: post Explode and tell the water;
    // client: refresh the texture over the box).
    Callback<void, const Explosion&, const PixelRect&> disc_carved;
    // Server, after a chain's own explosion: effects, pushes and the explosion sound.
    Callback<void, const ChainReaction&> chain_finished;
};

struct ExplosionSummary {
    PixelRect changed;                  // bounding box of every disc carved and chain flooded
    std::vector<ChainReaction> chains;  // in the order they went off
    int discs = 0;                      // discs carved, nested ones included
};

// The box a disc visits on a W x H surface: the bounds clamped into the surface, truncated.
PixelRect explosion_box(const Explosion& e, int width, int height);

// Carves the disc: destructible and explosive pixels become air, indestructible pixels become
// destructible. An explosive pixel sets off a four-neighbour flood through touching explosive
// pixels (a queue, so its size is bounded by the surface, not the stack). With `nested_chains`
// (the server) every chain then explodes again around its first pixel with radius n / 10, at
// once and before the outer disc goes on, as often as chains reach further explosives; these
// nested discs are worked off with an explicit stack. A blast with a non-finite centre or
// radius changes nothing and calls no hook.
ExplosionSummary explode_terrain(SDL_Surface* surface, const Explosion& blast, bool nested_chains,
                                 const ExplosionHooks* hooks = nullptr);

// True for the destructible and the explosive colour.
bool is_destructible_colour(const ColorRGBA& c);

// The scattered effects of a chain: `count` effects, each placed by two draws within +-spread of
// the chain's first pixel. effect_radius is the configured explosion radius; a radius of 0 or
// less gives one effect, a spread is at least 1 and the count is capped.
struct ChainEffectLayout {
    int count = 1;
    int spread = 1;
};
constexpr int kMaxChainEffects = 256;
ChainEffectLayout chain_effect_layout(int chain_pixels, float effect_radius);
// One effect position: draws y first, then x.
fvec2d draw_chain_effect_position(const ChainReaction& chain, int spread);
