// Player sheets and the tombstone. A player is drawn from a small skeleton (hip, torso, head,
// two-part limbs) posed per frame, facing right; the left-facing frames are its mirror images.
#include <cmath>

#include "tools/assets/entity_sprites.h"
#include "tools/assets/sprite_drawing.h"

namespace assets::entity_sprites {
namespace {

using namespace sprite_drawing;

constexpr int kTile = 64;
constexpr int kColumns = 8, kRows = 5;
constexpr float kDeg = 3.14159265f / 180.0f;

const Rgba kOutline = rgba(34, 24, 28);
const Rgba kShirt = rgba(214, 214, 214);
const Rgba kTrousers = rgba(128, 128, 128);
const Rgba kBoots = rgba(74, 46, 30);
const Rgba kBelt = rgba(96, 62, 36);
const Rgba kEye = rgba(30, 22, 40);

struct Look {
    Rgba skin, hair;
    int style;  // 0 short hair, 1 spikes, 2 ponytail, 3 helmet
};

const Look kLooks[4] = {
    {rgba(240, 190, 150), rgba(112, 70, 38), 0},
    {rgba(196, 146, 106), rgba(42, 34, 48), 1},
    {rgba(246, 208, 172), rgba(232, 196, 84), 2},
    {rgba(168, 118, 84), rgba(118, 138, 168), 3},
};

// Angles in degrees from straight down, positive toward the facing side. Index 0 is the far
// limb, 1 the near one.
struct Pose {
    float hip_x = 32, hip_y = 40;
    float lean = 0;  // torso, positive forward
    float turn = 0;  // whole body about the hip, positive forward
    float thigh[2] = {-6, 6};
    float knee[2] = {4, 4};  // bend: the shin turns back by this much
    float arm[2] = {-8, 10};
    float elbow[2] = {10, 14};  // bend: the forearm turns forward by this much
    bool dead_eyes = false;
};

struct Vec {
    float x, y;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator*(Vec a, float f) { return {a.x * f, a.y * f}; }
// The unit vector at `deg` from straight down, turned toward +x.
Vec down_dir(float deg) { return {std::sin(deg * kDeg), std::cos(deg * kDeg)}; }

void draw_head(Canvas& c, Vec centre, Vec up, const Look& look, bool dead_eyes) {
    const float r = 8.5f;
    Vec fwd{-up.y, up.x};   // facing side, perpendicular to up
    if (look.style == 2) {  // ponytail behind the head
        Vec tail = centre + up * 2.0f + fwd * -9.5f;
        c.lit_ellipse(tail.x, tail.y + 2.0f, 3.0f, 5.0f, look.hair);
    }
    if (look.style == 1) {  // spikes above the head
        for (int i = -1; i <= 1; ++i) {
            Vec base = centre + up * 6.0f + fwd * (i * 4.0f - 1.0f);
            Vec tip = centre + up * 10.5f + fwd * (i * 5.0f - 2.0f);
            c.line(base.x, base.y, tip.x, tip.y, 3.5f, look.hair);
        }
    }
    level_drawing::ellipse_pixels(centre.x, centre.y, r, r, [&](int x, int y) {
        Vec d{x + 0.5f - centre.x, y + 0.5f - centre.y};
        float u = d.x * up.x + d.y * up.y, f = d.x * fwd.x + d.y * fwd.y;
        bool hair = look.style == 3 ? u > 0.5f : (u > 2.0f || (f < -2.5f && u > -3.5f));
        c.put(x, y, shade(hair ? look.hair : look.skin, light_band(d.x / r, d.y / r)));
    });
    if (look.style == 3) {  // helmet brim
        Vec a = centre + up * 0.5f + fwd * -7.5f, b = centre + up * 0.5f + fwd * 9.0f;
        c.line(a.x, a.y, b.x, b.y, 2.0f, shade(look.hair, 0.8f));
    }
    Vec eye = centre + fwd * 4.0f + up * -0.5f;
    int ex = int(std::floor(eye.x)), ey = int(std::floor(eye.y));
    if (dead_eyes) {
        c.put(ex - 1, ey - 1, kEye);
        c.put(ex + 1, ey - 1, kEye);
        c.put(ex, ey, kEye);
        c.put(ex - 1, ey + 1, kEye);
        c.put(ex + 1, ey + 1, kEye);
    } else {
        c.rect(ex, ey - 1, ex + 2, ey + 2, kEye);
    }
}

void draw_player(Canvas& c, const Pose& p, const Look& look) {
    Vec hip{p.hip_x, p.hip_y};
    // Everything hangs off the hip; the whole body turns about it.
    auto at = [&](Vec local) {
        float s = std::sin(p.turn * kDeg), co = std::cos(p.turn * kDeg);
        return Vec{hip.x + local.x * co - local.y * s, hip.y + local.x * s + local.y * co};
    };
    Vec neck_l = down_dir(180.0f - p.lean) * 16.0f;
    Vec shoulder_l = neck_l + down_dir(-p.lean) * 3.0f;
    Vec head_l = neck_l + down_dir(180.0f - p.lean) * 8.0f;

    auto leg = [&](int i) {
        Rgba tone = i == 0 ? shade(kTrousers, 0.82f) : kTrousers;
        Vec knee = down_dir(p.thigh[i]) * 10.0f;
        Vec foot = knee + down_dir(p.thigh[i] - p.knee[i]) * 9.0f;
        Vec toe = foot + down_dir(p.thigh[i] - p.knee[i] + 90.0f) * 3.5f;
        Vec a = at({0, 0}), k = at(knee), f = at(foot), t = at(toe);
        c.lit_line(a.x, a.y, k.x, k.y, 8.0f, tone);
        c.lit_line(k.x, k.y, f.x, f.y, 7.0f, tone);
        c.lit_line(f.x, f.y, t.x, t.y, 5.5f, i == 0 ? shade(kBoots, 0.85f) : kBoots);
    };
    auto arm = [&](int i) {
        Rgba tone = i == 0 ? shade(kShirt, 0.8f) : kShirt;
        Vec elbow = shoulder_l + down_dir(p.arm[i]) * 8.0f;
        Vec hand = elbow + down_dir(p.arm[i] + p.elbow[i]) * 7.0f;
        Vec s = at(shoulder_l), e = at(elbow), h = at(hand);
        c.lit_line(s.x, s.y, e.x, e.y, 6.0f, tone);
        c.lit_line(e.x, e.y, h.x, h.y, 5.0f, tone);
        c.lit_ellipse(h.x, h.y, 2.9f, 2.9f, i == 0 ? shade(look.skin, 0.85f) : look.skin);
    };

    arm(0);
    leg(0);
    Vec waist = at(down_dir(180.0f - p.lean) * 2.0f), chest = at(neck_l + down_dir(-p.lean) * 3.0f);
    c.lit_line(waist.x, waist.y, chest.x, chest.y, 16.0f, kShirt);
    Vec belt_a = at(down_dir(180.0f - p.lean) * 1.0f + down_dir(90.0f - p.lean) * -7.5f);
    Vec belt_b = at(down_dir(180.0f - p.lean) * 1.0f + down_dir(90.0f - p.lean) * 7.5f);
    c.line(belt_a.x, belt_a.y, belt_b.x, belt_b.y, 2.5f, kBelt);
    Vec up = down_dir(180.0f - p.lean - p.turn);
    draw_head(c, at(head_l), up, look, p.dead_eyes);
    leg(1);
    arm(1);
    c.outline(kOutline);
}

Pose idle_pose(int frame) {
    Pose p;
    bool low = frame == 1 || frame == 2;
    p.hip_y = low ? 41.0f : 40.0f;
    if (low) p.knee[0] = p.knee[1] = 14.0f;
    p.arm[0] = -8.0f - frame * 1.5f;
    p.arm[1] = 10.0f + (low ? 3.0f : 0.0f);
    return p;
}

Pose walk_pose(int frame) {
    Pose p;
    float phase = 2.0f * 3.14159265f * float(frame) / 8.0f;
    p.lean = 6.0f;
    for (int i = 0; i < 2; ++i) {
        float leg_phase = phase + (i == 0 ? 3.14159265f : 0.0f);
        p.thigh[i] = 28.0f * std::sin(leg_phase);
        p.knee[i] = 5.0f + 40.0f * std::fmax(0.0f, std::cos(leg_phase));
        p.arm[i] = -26.0f * std::sin(leg_phase);
        p.elbow[i] = 24.0f;
    }
    p.hip_y = 40.0f + 1.5f * std::fabs(std::sin(phase));
    return p;
}

Pose jump_pose(int frame) {
    Pose p;
    switch (frame) {
    case 0:  // crouch
        p.hip_y = 46.5f;
        p.lean = 16.0f;
        p.thigh[0] = 44.0f, p.thigh[1] = 52.0f;
        p.knee[0] = 88.0f, p.knee[1] = 100.0f;
        p.arm[0] = -40.0f, p.arm[1] = -30.0f;
        break;
    case 1:  // take-off
        p.hip_y = 37.0f;
        p.lean = 4.0f;
        p.thigh[0] = -12.0f, p.thigh[1] = -4.0f;
        p.knee[0] = 6.0f, p.knee[1] = 4.0f;
        p.arm[0] = 140.0f, p.arm[1] = 160.0f;
        p.elbow[0] = p.elbow[1] = 10.0f;
        break;
    case 2:  // tucked
        p.hip_y = 35.0f;
        p.thigh[0] = 50.0f, p.thigh[1] = 66.0f;
        p.knee[0] = 100.0f, p.knee[1] = 110.0f;
        p.arm[0] = 120.0f, p.arm[1] = 150.0f;
        break;
    default:  // in the air
        p.hip_y = 37.0f;
        p.thigh[0] = -22.0f, p.thigh[1] = 36.0f;
        p.knee[0] = 30.0f, p.knee[1] = 44.0f;
        p.arm[0] = -60.0f, p.arm[1] = 100.0f;
        p.elbow[0] = 20.0f, p.elbow[1] = -20.0f;
        break;
    }
    return p;
}

Pose die_pose(int frame) {
    // Knocked back, falling over backwards about the hip, lying still.
    static const float turns[8] = {-8, -26, -50, -74, -92, -88, -90, -90};
    static const float hips[8] = {40, 43, 47.5f, 52, 56, 54.5f, 56, 56};
    Pose p;
    p.turn = turns[frame];
    p.hip_y = hips[frame];
    p.hip_x = 32.0f + 4.0f * std::fmin(1.0f, float(frame) / 4.0f);
    p.lean = frame == 0 ? -12.0f : 0.0f;
    p.thigh[0] = 12.0f, p.thigh[1] = 24.0f;
    p.knee[0] = 20.0f, p.knee[1] = 30.0f;
    p.arm[0] = frame < 5 ? 150.0f : 100.0f;
    p.arm[1] = frame < 5 ? -150.0f : -100.0f;
    p.dead_eyes = frame >= 4;
    return p;
}

}  // namespace

Image player_sheet(int look_index) {
    const Look& look = kLooks[look_index & 3];
    Image image = level_drawing::blank(kColumns * kTile, kRows * kTile);
    auto frame = [&](int index, const Pose& pose, bool left) {
        Canvas c(image, (index % kColumns) * kTile, (index / kColumns) * kTile, kTile, kTile);
        draw_player(c, pose, look);
        if (left) c.mirror();
    };
    for (int side = 0; side < 2; ++side) {
        bool left = side == 0;
        for (int i = 0; i < 4; ++i) {
            frame(side * 8 + i, idle_pose(i), left);      // rows 0-1: idle 0-3 / 8-11
            frame(side * 8 + 4 + i, jump_pose(i), left);  // jump 4-7 / 12-15
        }
        for (int i = 0; i < 8; ++i) frame(16 + side * 8 + i, walk_pose(i), left);  // rows 2-3
    }
    for (int i = 0; i < 8; ++i) frame(32 + i, die_pose(i), false);  // row 4
    bleed_edges(image);
    return image;
}

// A rounded grey slab with an engraved cross on a mound of earth. It is squeezed into the
// player's collider (narrower than tall), so it is drawn wide.
Image tombstone() {
    Image image = level_drawing::blank(kTile, kTile);
    Canvas c(image);
    const Rgba stone = rgba(150, 152, 160), earth = rgba(104, 72, 44), grass = rgba(70, 140, 60);
    c.lit_ellipse(32, 64, 30, 10, earth);
    for (int x = 6; x < 58; x += 5) c.line(float(x), 55, float(x + 2), 52, 1.5f, grass);
    c.lit_rect(10, 22, 54, 58, stone);
    c.lit_ellipse(32, 23, 22, 18, stone);
    c.rect(10, 23, 54, 40, stone);
    // Engraved cross and a crack.
    const Rgba groove = shade(stone, 0.55f), lip = shade(stone, 1.2f);
    c.rect(29, 14, 35, 46, groove);
    c.rect(19, 22, 45, 28, groove);
    c.rect(35, 15, 36, 46, lip);
    c.rect(45, 23, 46, 28, lip);
    c.line(48, 40, 44, 47, 1.2f, groove);
    c.line(44, 47, 47, 53, 1.2f, groove);
    // Moss at the foot of the slab.
    c.ellipse(14, 56, 5, 2.5f, rgba(86, 120, 60));
    c.ellipse(49, 56, 4, 2, rgba(86, 120, 60));
    c.outline(kOutline);
    bleed_edges(image);
    return image;
}

}  // namespace assets::entity_sprites
