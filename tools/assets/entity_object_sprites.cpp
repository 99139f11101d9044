// Weapons, projectiles and special items, each drawn at its display size. Carried things point
// their business end to the left (the zero angle of a held item); projectiles point up.
#include <cmath>

#include "tools/assets/entity_sprites.h"
#include "tools/assets/sprite_drawing.h"

namespace assets::entity_sprites {
namespace {

using namespace sprite_drawing;

const Rgba kOutline = rgba(26, 22, 30);
const Rgba kSteel = rgba(92, 100, 116);
const Rgba kDarkSteel = rgba(58, 62, 74);
const Rgba kWood = rgba(150, 98, 52);
const Rgba kRed = rgba(206, 44, 40);
const Rgba kWhite = rgba(244, 244, 240);

// Outlined and edge-bled: the finishing step of every object image.
Image finish(Image image) {
    Canvas(image).outline(kOutline);
    bleed_edges(image);
    return image;
}

Image blank(int w, int h) { return level_drawing::blank(w, h); }

// A sheet of `count` frames side by side, each drawn by draw(canvas, frame).
template <typename Draw>
Image strip(int tile_w, int tile_h, int count, Draw draw) {
    Image image = blank(tile_w * count, tile_h);
    for (int i = 0; i < count; ++i) {
        Canvas c(image, i * tile_w, 0, tile_w, tile_h);
        draw(c, i);
        c.outline(kOutline);
    }
    bleed_edges(image);
    return image;
}

void grenade_body(Canvas& c, float cx, float cy, float r) {
    const Rgba green = rgba(78, 124, 52);
    c.lit_ellipse(cx, cy, r, r * 1.1f, green);
    // Segments of the shell.
    for (float dy = -r * 0.5f; dy <= r * 0.6f; dy += r * 0.55f)
        c.line(cx - r * 0.8f, cy + dy, cx + r * 0.8f, cy + dy, 1.0f, shade(green, 0.7f));
    c.line(cx, cy - r, cx, cy + r, 1.0f, shade(green, 0.7f));
    c.lit_rect(int(cx - r * 0.45f), int(cy - r * 1.45f), int(cx + r * 0.45f + 1), int(cy - r * 0.9f), kSteel);
}

void bomb_body(Canvas& c, float cx, float cy, float r, int spark) {
    const Rgba black = rgba(52, 52, 64);
    c.lit_ellipse(cx, cy, r, r, black);
    c.ellipse(cx - r * 0.45f, cy - r * 0.45f, r * 0.18f, r * 0.18f, rgba(150, 150, 170));
    // A skull on the shell.
    c.ellipse(cx, cy + r * 0.05f, r * 0.42f, r * 0.36f, kWhite);
    c.rect(int(cx - r * 0.22f), int(cy + r * 0.3f), int(cx + r * 0.24f), int(cy + r * 0.5f), kWhite);
    c.ellipse(cx - r * 0.18f, cy + r * 0.02f, r * 0.12f, r * 0.12f, black);
    c.ellipse(cx + r * 0.18f, cy + r * 0.02f, r * 0.12f, r * 0.12f, black);
    c.lit_rect(int(cx - r * 0.25f), int(cy - r * 1.2f), int(cx + r * 0.25f + 1), int(cy - r * 0.85f), kSteel);
    float fx = cx + r * 0.45f, fy = cy - r * 1.45f;
    c.line(cx, cy - r * 1.15f, fx, fy, 1.5f, rgba(190, 170, 120));
    float s = 1.2f + 0.8f * float(spark % 3);
    c.ellipse(fx + 0.5f, fy, s + 0.8f, s + 0.8f, rgba(255, 150, 30));
    c.ellipse(fx + 0.5f, fy, s * 0.5f, s * 0.5f, rgba(255, 250, 200));
}

void goo_ball(Canvas& c, float cx, float cy, float r, bool light_on) {
    const Rgba goo = rgba(128, 206, 62);
    c.lit_ellipse(cx, cy, r, r, goo);
    c.line(cx - r * 0.5f, cy + r * 0.7f, cx - r * 0.5f, cy + r * 1.2f, 2.0f, goo);
    c.line(cx + r * 0.4f, cy + r * 0.6f, cx + r * 0.4f, cy + r * 1.0f, 2.0f, goo);
    c.rect(int(cx - r), int(cy - 1), int(cx + r + 1), int(cy + 1), kDarkSteel);
    c.ellipse(cx, cy - r * 0.35f, r * 0.28f, r * 0.28f, light_on ? rgba(255, 50, 40) : rgba(110, 20, 20));
}

}  // namespace

Image weapon_blaster() {
    Image image = blank(44, 22);
    Canvas c(image);
    c.lit_rect(4, 7, 24, 12, kDarkSteel);
    c.polygon({{29, 13}, {36, 13}, {39, 21}, {31, 21}}, rgba(60, 58, 70));
    c.lit_rect(18, 3, 42, 14, rgba(204, 210, 222));
    c.rect(19, 8, 41, 10, rgba(40, 190, 240));
    c.rect(24, 14, 27, 18, kDarkSteel);
    c.lit_ellipse(4, 9.5f, 3.2f, 3.2f, rgba(70, 220, 255));
    c.put(3, 8, kWhite);
    return finish(image);
}

Image weapon_bazooka() {
    Image image = blank(66, 22);
    Canvas c(image);
    const Rgba olive = rgba(98, 114, 62);
    c.polygon({{36, 14}, {42, 14}, {44, 21}, {37, 21}}, rgba(70, 62, 50));
    c.lit_rect(6, 5, 60, 16, olive);
    c.lit_rect(1, 3, 7, 18, shade(olive, 0.75f));
    c.polygon({{58, 5}, {65, 2}, {65, 19}, {58, 16}}, shade(olive, 0.85f));
    c.lit_rect(26, 1, 33, 5, kDarkSteel);
    for (int x = 44; x < 50; ++x) c.rect(x, 5, x + 1, 16, (x / 2) % 2 ? rgba(230, 190, 30) : rgba(40, 36, 30));
    c.rect(2, 7, 5, 14, rgba(30, 30, 30));
    return finish(image);
}

Image weapon_grenade() {
    Image image = blank(20, 20);
    Canvas c(image);
    grenade_body(c, 9.5f, 11.5f, 6.5f);
    c.line(13, 4, 16, 10, 1.5f, kSteel);  // lever
    level_drawing::ring_pixels(15, 3.5f, 2.6f, 1.4f, [&](int x, int y) { c.put(x, y, rgba(210, 200, 120)); });
    return finish(image);
}

Image weapon_shotgun() {
    Image image = blank(60, 20);
    Canvas c(image);
    c.polygon({{44, 5}, {58, 8}, {58, 17}, {45, 13}}, kWood);
    c.lit_rect(2, 5, 40, 8, kDarkSteel);
    c.lit_rect(2, 8, 40, 11, kSteel);
    c.lit_rect(12, 11, 24, 15, shade(kWood, 1.1f));
    c.lit_rect(34, 4, 46, 13, kDarkSteel);
    c.line(38, 13, 40, 17, 1.5f, kDarkSteel);
    c.rect(1, 5, 3, 11, rgba(24, 24, 28));
    return finish(image);
}

Image weapon_sticky() {
    Image image = blank(22, 22);
    Canvas c(image);
    goo_ball(c, 11, 10.5f, 7.5f, true);
    return finish(image);
}

Image weapon_jetpack() {
    Image image = blank(26, 40);
    Canvas c(image);
    const Rgba tank = rgba(200, 64, 48);
    c.lit_rect(10, 8, 16, 30, kDarkSteel);  // frame between the tanks
    c.lit_line(7, 7, 7, 28, 9, tank);
    c.lit_line(19, 7, 19, 28, 9, tank);
    for (int x : {7, 19}) {
        c.polygon({{x - 3.0f, 32}, {x + 4.0f, 32}, {x + 5.0f, 38}, {x - 4.0f, 38}}, kDarkSteel);
        c.rect(x - 3, 18, x + 4, 20, rgba(240, 200, 40));
    }
    c.ellipse(13, 12, 2.5f, 2.5f, kWhite);
    c.put(13, 11, kOutline);
    return finish(image);
}

Image weapon_drill() {
    Image image = blank(44, 22);
    Canvas c(image);
    const Rgba yellow = rgba(232, 182, 40);
    c.polygon({{30, 14}, {37, 14}, {40, 21}, {32, 21}}, rgba(60, 58, 70));
    c.lit_rect(18, 4, 40, 15, yellow);
    for (int x = 28; x < 38; x += 3) c.rect(x, 6, x + 1, 10, shade(yellow, 0.6f));
    c.polygon({{1, 9.5f}, {19, 2}, {19, 17}}, rgba(190, 196, 206));
    for (int i = 0; i < 4; ++i) {
        float x = 5.0f + i * 3.8f, h = (x - 1.0f) * 0.42f;
        c.line(x, 9.5f - h, x + 2.5f, 9.5f + h, 1.0f, kSteel);
    }
    return finish(image);
}

Image weapon_megabomb() {
    Image image = blank(32, 32);
    Canvas c(image);
    bomb_body(c, 15, 18, 11, 0);
    return finish(image);
}

// Projectiles: frames side by side, as the sprite counts them (columns x rows of the tile size).
Image projectile_blaster() {
    return strip(8, 16, 4, [](Canvas& c, int f) {
        float glow = 5.5f + (f % 2) * 1.0f;
        c.ellipse(3.5f, 8, 3.0f, glow + 1.0f, rgba(60, 190, 255, 150));
        c.ellipse(3.5f, 8, 1.6f, glow - 0.5f, rgba(150, 235, 255));
        c.ellipse(3.5f, 7 - f * 0.5f, 0.8f, 2.0f + (f == 2), kWhite);
    });
}

Image projectile_rocket() {
    return strip(16, 32, 4, [](Canvas& c, int f) {
        float flame = 4.0f + float((f * 3) % 4);
        c.ellipse(8, 25 + flame * 0.5f, 3.0f, flame, rgba(255, 140, 30));
        c.ellipse(8, 24 + flame * 0.35f, 1.6f, flame * 0.6f, rgba(255, 240, 150));
        c.polygon({{3, 18}, {8, 14}, {13, 18}, {13, 24}, {3, 24}}, kRed);
        c.lit_line(8, 7, 8, 20, 6.0f, rgba(226, 226, 220));
        c.polygon({{5, 8}, {8, 2}, {11, 8}}, kRed);
    });
}

Image projectile_grenade() {
    return strip(16, 16, 1, [](Canvas& c, int) { grenade_body(c, 7.5f, 8.5f, 5.0f); });
}

Image projectile_pellet() {
    return strip(8, 8, 1, [](Canvas& c, int) { c.lit_ellipse(4, 4, 2.6f, 2.6f, rgba(214, 196, 120)); });
}

Image projectile_sticky() {
    return strip(16, 16, 2, [](Canvas& c, int f) { goo_ball(c, 8, 7.5f, 5.5f, f == 0); });
}

Image projectile_megabomb() {
    return strip(32, 32, 4, [](Canvas& c, int f) { bomb_body(c, 15, 18, 10.5f, f); });
}

Image item_crate() {
    Image image = blank(48, 48);
    Canvas c(image);
    const Rgba plank = rgba(176, 124, 64);
    c.lit_rect(2, 2, 46, 46, plank);
    for (int y = 12; y < 40; y += 9) c.rect(7, y, 41, y + 1, shade(plank, 0.7f));
    c.line(8, 40, 40, 8, 4.0f, shade(plank, 0.85f));
    c.line(8, 40, 40, 8, 1.0f, shade(plank, 0.65f));
    const Rgba frame = shade(plank, 0.78f);
    c.lit_rect(2, 2, 46, 7, frame);
    c.lit_rect(2, 41, 46, 46, frame);
    c.lit_rect(2, 7, 7, 41, frame);
    c.lit_rect(41, 7, 46, 41, frame);
    for (int x : {4, 43})
        for (int y : {4, 43}) c.put(x, y, rgba(60, 60, 66));
    // A question mark: nobody knows what is inside.
    const Rgba mark = rgba(250, 214, 60);
    level_drawing::ring_pixels(24, 19, 6.5f, 3.5f, [&](int x, int y) {
        if (y < 21 || x > 24) c.put(x, y, mark);
    });
    c.rect(22, 24, 26, 30, mark);
    c.rect(22, 32, 26, 36, mark);
    return finish(image);
}

Image item_healthpack() {
    Image image = blank(26, 26);
    Canvas c(image);
    level_drawing::ring_pixels(13, 6, 4.5f, 2.8f, [&](int x, int y) {
        if (y < 6) c.put(x, y, kDarkSteel);
    });
    c.lit_rect(2, 6, 24, 24, kWhite);
    c.rect(11, 8, 15, 22, kRed);
    c.rect(6, 13, 20, 17, kRed);
    return finish(image);
}

Image item_medkit() {
    Image image = blank(30, 30);
    Canvas c(image);
    level_drawing::ring_pixels(15, 8, 6.0f, 3.8f, [&](int x, int y) {
        if (y < 8) c.put(x, y, rgba(60, 40, 36));
    });
    c.lit_rect(2, 8, 28, 28, kRed);
    c.rect(2, 13, 28, 14, shade(kRed, 0.7f));
    c.rect(12, 15, 18, 27, kWhite);
    c.rect(9, 18, 21, 24, kWhite);
    return finish(image);
}

Image item_cloak() {
    Image image = blank(28, 28);
    Canvas c(image);
    const Rgba cloth = rgba(112, 62, 176);
    c.polygon({{14, 1}, {22, 7}, {26, 26}, {18, 23}, {14, 26}, {10, 23}, {2, 26}, {6, 7}}, cloth);
    c.line(14, 12, 14, 24, 1.0f, shade(cloth, 0.7f));
    c.line(9, 14, 7, 24, 1.0f, shade(cloth, 0.75f));
    c.line(19, 14, 21, 24, 1.0f, shade(cloth, 1.2f));
    c.ellipse(14, 9.5f, 4.2f, 5.0f, rgba(24, 14, 40));
    c.put(12, 9, rgba(200, 240, 255));
    c.put(16, 9, rgba(200, 240, 255));
    for (auto [x, y] : {std::pair{4, 4}, {24, 3}, {23, 17}, {5, 18}}) {
        c.put(x, y, kWhite);
        c.put(x - 1, y, rgba(170, 230, 255));
        c.put(x + 1, y, rgba(170, 230, 255));
        c.put(x, y - 1, rgba(170, 230, 255));
        c.put(x, y + 1, rgba(170, 230, 255));
    }
    // Half see-through, as the item makes its carrier.
    c.fade(0.85f);
    return finish(image);
}

Image item_feather() {
    Image image = blank(36, 18);
    Canvas c(image);
    const Rgba vane = rgba(210, 236, 250);
    std::vector<Point> outline;
    for (int i = 0; i <= 12; ++i) {  // upper edge from tip to quill
        float t = float(i) / 12.0f;
        outline.push_back({2 + 26 * t, 8.5f - 6.0f * std::sin(3.14159265f * std::pow(t, 0.8f))});
    }
    for (int i = 12; i >= 0; --i) {
        float t = float(i) / 12.0f;
        outline.push_back({2 + 26 * t, 9.5f + 5.0f * std::sin(3.14159265f * std::pow(t, 0.8f))});
    }
    c.polygon(outline, vane);
    for (float x = 6; x < 27; x += 3.5f) {
        c.line(x, 9, x + 3, 4.5f, 1.0f, shade(vane, 0.8f));
        c.line(x, 9, x + 3, 13.5f, 1.0f, shade(vane, 0.8f));
    }
    c.line(2, 9, 34, 9.5f, 1.2f, rgba(150, 120, 80));
    level_drawing::ring_pixels(30.5f, 9.5f, 2.6f, 1.3f, [&](int x, int y) { c.put(x, y, rgba(240, 196, 40)); });
    return finish(image);
}

}  // namespace assets::entity_sprites
