// Sprite geometry, frames and animation, without a GL context.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/scene/image_sprite.h"
#include "engine/scene/rotatable_sprite.h"
#include "support/sprite_test_support.h"

using test_support::FakeTexture;
using test_support::ProbeSprite;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void expect_rect(const TextureRect& r, float l, float t, float rt, float b) {
    EXPECT_FLOAT_EQ(r.left, l);
    EXPECT_FLOAT_EQ(r.top, t);
    EXPECT_FLOAT_EQ(r.right, rt);
    EXPECT_FLOAT_EQ(r.bottom, b);
}

void expect_bounds(const IntRect& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

void expect_near(fvec2d p, float x, float y, float tolerance = 1e-3f) {
    EXPECT_NEAR(p.x, x, tolerance);
    EXPECT_NEAR(p.y, y, tolerance);
}

void place(CSprite& s, float x, float y, float scale = 1) {
    s.set_x(x);
    s.set_y(y);
    s.set_scale(scale);
}

void frame(CImageSprite& s, float x, float y, float w, float h) {
    s.set_position(x, y);
    s.set_size(w, h);
}

void expect_size(const IntRect& r, int w, int h, float context = 0) {
    EXPECT_EQ(r.width, w) << context;
    EXPECT_EQ(r.height, h) << context;
}

// Counts the ends of the animation range and can stop the animation from the hook.
class CountingImage : public CImageSprite {
public:
    using CImageSprite::CImageSprite;
    void on_animation_end() override {
        ++ends;
        CImageSprite::on_animation_end();
    }
    void on_update(float dt) override { updated_with.push_back(dt); }
    int ends = 0;
    std::vector<float> updated_with;
};

// Three plain sprites, each the parent of the next; all at the origin, scale 1, depth 0.
class SpriteTree : public ::testing::Test {
protected:
    SpriteTree() {
        parent.set_parent(&grandparent);
        child.set_parent(&parent);
    }
    ProbeSprite grandparent{"grandparent"}, parent{"parent"}, child{"child"};
};

// A 64 x 32 image cut into 16 x 16 tiles: 8 frames in two rows; `whole` shows it untiled.
class TiledImage : public ::testing::Test {
protected:
    TiledImage() {
        tile(s);
        whole.set_texture(&texture);
    }
    void tile(CImageSprite& sprite) {
        sprite.set_texture(&texture);
        sprite.set_tile_width(16);
        sprite.set_tile_height(16);
    }
    // Plays frames 0 to last_frame at `speed` frames per second.
    static void play(CImageSprite& sprite, int last_frame, float speed, int repeats) {
        sprite.set_last_frame(last_frame);
        sprite.set_animation_speed(speed);
        sprite.set_repeat_count(repeats);
        sprite.set_playing(true);
    }
    FakeTexture texture{64, 32};
    CountingImage s;
    CImageSprite whole;
};

// Feeds `values` to a setter in turn and expects the getter to give `kept` afterwards.
template <class S, class Set, class Get>
void expect_kept(S& s, Set set, Get get, std::initializer_list<float> values, float kept) {
    for (float v : values) (s.*set)(v);
    EXPECT_EQ((s.*get)(), kept);
}

}  // namespace

TEST(Sprite, SettersRefuseValuesOutsideTheirRules) {
    ProbeSprite s("s");
    expect_kept(s, &CSprite::set_z, &CSprite::get_z, {0.25f, 1.5f}, 0.25f);
    expect_kept(s, &CSprite::set_z, &CSprite::get_z, {kNaN}, 0.25f);
    expect_kept(s, &CSprite::set_z, &CSprite::get_z, {1}, 1);
    expect_kept(s, &CSprite::set_z, &CSprite::get_z, {-1}, -1);
    expect_kept(s, &CSprite::set_width, &CSprite::get_width, {5, -1, kNaN}, 5);
    expect_kept(s, &CSprite::set_width, &CSprite::get_width, {0}, 0);
    expect_kept(s, &CSprite::set_height, &CSprite::get_height, {7, -0.5f}, 7);
    expect_kept(s, &CSprite::set_scale, &CSprite::get_scale, {2, 0, -3, kNaN}, 2);
}

TEST(Sprite, RootAbsoluteValuesAreTheRelativeOnes) {
    ProbeSprite s("root");
    place(s, 12, -4, 3);
    s.set_z(0.5f);
    s.set_width(10);
    EXPECT_EQ(s.get_absolute_x(), 12);
    EXPECT_EQ(s.get_absolute_y(), -4);
    EXPECT_EQ(s.get_absolute_z(), 0.5f);
    EXPECT_EQ(s.get_absolute_scale(), 3);
    EXPECT_EQ(s.get_absolute_width(), 30);
    s.set_absolute_x(7);
    s.set_absolute_y(8);
    EXPECT_EQ(s.get_x(), 7);
    EXPECT_EQ(s.get_y(), 8);
}

TEST_F(SpriteTree, ChildPositionFollowsParentPositionAndScale) {
    place(parent, 100, 50, 2);
    place(child, 10, 5);
    EXPECT_FLOAT_EQ(child.get_absolute_x(), 120);
    EXPECT_FLOAT_EQ(child.get_absolute_y(), 60);
    child.set_absolute_x(140);
    EXPECT_FLOAT_EQ(child.get_x(), 20);
    child.set_absolute_y(50);
    EXPECT_FLOAT_EQ(child.get_y(), 0);
    child.set_width(4);
    child.set_scale(1.5f);
    EXPECT_FLOAT_EQ(child.get_absolute_scale(), 3);
    EXPECT_FLOAT_EQ(child.get_absolute_width(), 12);
    child.set_absolute_width(30);
    EXPECT_FLOAT_EQ(child.get_width(), 10);
}

TEST_F(SpriteTree, AbsoluteScaleIsDividedByTheParents) {
    parent.set_scale(2);
    expect_kept(child, &CSprite::set_absolute_scale, &CSprite::get_scale, {3, 0, -1}, 1.5f);
}

TEST_F(SpriteTree, DepthAddsUpButOnlyTheRelativePartIsChecked) {
    parent.set_z(0.75f);
    child.set_z(0.5f);
    EXPECT_FLOAT_EQ(child.get_absolute_z(), 1.25f);  // not clamped
    child.set_absolute_z(0.25f);
    EXPECT_FLOAT_EQ(child.get_z(), -0.5f);
    child.set_absolute_z(2.0f);  // relative 1.25: refused
    EXPECT_FLOAT_EQ(child.get_z(), -0.5f);
}

TEST_F(SpriteTree, HiddenAncestorHidesTheChild) {
    EXPECT_TRUE(child.is_visible());
    grandparent.set_visible(false);
    EXPECT_FALSE(child.is_visible());
    grandparent.set_visible(true);
    child.set_visible(false);
    EXPECT_FALSE(child.is_visible());
    EXPECT_TRUE(parent.is_visible());
}

TEST_F(SpriteTree, PointConversionsAreInverseThroughAChainOfScales) {
    place(grandparent, 13, -7, 0.5f);
    place(parent, 40, 22, 3);
    place(child, -5, 9, 1.25f);
    for (fvec2d p : {fvec2d(0, 0), fvec2d(10, 20), fvec2d(-33.5f, 7.25f)})
        expect_near(child.point_to_local(child.point_to_global(p)), p.x, p.y);
    // A local point of the child is scaled by every ancestor and moved by their positions.
    expect_near(child.point_to_global({2, 0}), 13 + 0.5f * (40 + 3 * (-5 + 1.25f * 2)), -7 + 0.5f * (22 + 3 * 9));
}

TEST_F(SpriteTree, QuadConversionsCarryTheDepth) {
    parent.set_z(0.5f);
    parent.set_x(10);
    child.set_z(0.25f);
    fquad3d q = child.quad3d_to_global(fquad3d::from_rect(0, 0, 2, 2, 0.1f));
    EXPECT_FLOAT_EQ(q.c[3].x, 10);
    EXPECT_FLOAT_EQ(q.c[1].x, 12);
    EXPECT_FLOAT_EQ(q.c[0].z, 0.85f);
    fquad3d back = child.quad3d_to_local(q);
    EXPECT_FLOAT_EQ(back.c[1].x, 2);
    EXPECT_NEAR(back.c[2].z, 0.1f, 1e-6f);
}

TEST(Sprite, CollisionTestUsesBothOutlines) {
    ProbeSprite a("a"), b("b");
    for (ProbeSprite* s : {&a, &b}) {
        s->set_width(10);
        s->set_height(10);
    }
    place(b, 5, 5);
    fvec2d contact, axis;
    EXPECT_TRUE(a.collides_with(&b, contact, axis));
    // A corner of one outline lies inside the other.
    EXPECT_TRUE((contact == fvec2d(10, 10)) || (contact == fvec2d(5, 5)));
    EXPECT_TRUE(a.on_collision(&b, contact, axis));
    b.set_x(30);
    EXPECT_FALSE(a.collides_with(&b, contact, axis));
    EXPECT_FALSE(a.collides_with(nullptr, contact, axis));
}

TEST_F(TiledImage, FramesAreCountedRowByRow) {
    EXPECT_EQ(s.get_frame_count(), 8);
    s.set_last_frame(7);
    s.set_frame(5);
    expect_rect(s.get_texture_rect(), 0.25f, 0.5f, 0.5f, 1.0f);
    s.set_frame(2.75f);  // the integer part is shown
    expect_rect(s.get_texture_rect(), 0.5f, 0.0f, 0.75f, 0.5f);
}

TEST(ImageSprite, NoTextureMeansNoFramesAndAZeroRectangle) {
    CImageSprite s;
    EXPECT_EQ(s.get_frame_count(), 0);
    expect_rect(s.get_texture_rect(), 0, 0, 0, 0);
    s.set_tile_width(16);  // needs a texture
    EXPECT_EQ(s.get_tile_width(), 0);
    s.set_frame(3);
    EXPECT_EQ(s.get_frame(), 0);
}

TEST_F(TiledImage, UnsetOrOutOfRangeTileSizeShowsTheWholeImage) {
    expect_rect(whole.get_texture_rect(), 0, 0, 1, 1);
    EXPECT_EQ(whole.get_tile_width(), 64);
    EXPECT_EQ(whole.get_tile_height(), 32);
    EXPECT_EQ(whole.get_frame_count(), 1);
    expect_kept(whole, &CImageSprite::set_tile_width, &CImageSprite::get_tile_width, {0}, 64);
    expect_kept(whole, &CImageSprite::set_tile_width, &CImageSprite::get_tile_width, {65}, 64);
    expect_kept(whole, &CImageSprite::set_tile_height, &CImageSprite::get_tile_height, {-4}, 32);
    expect_kept(whole, &CImageSprite::set_tile_height, &CImageSprite::get_tile_height, {8}, 8);
}

TEST_F(TiledImage, NewTextureResetsTheTileSize) {
    FakeTexture second(32, 16);
    s.set_texture(&second);
    EXPECT_EQ(s.get_tile_width(), 32);
    EXPECT_EQ(s.get_tile_height(), 16);
    expect_rect(s.get_texture_rect(), 0, 0, 1, 1);
    s.set_texture(nullptr);
    EXPECT_EQ(s.get_tile_width(), 0);
    EXPECT_EQ(s.get_frame(), 0);
    EXPECT_EQ(s.get_first_frame(), 0);
    EXPECT_EQ(s.get_last_frame(), 0);
}

TEST_F(TiledImage, FrameBeyondTheFrameCountIsRefused) {
    s.set_frame(8);  // one past the last frame: no tile there
    EXPECT_EQ(s.get_frame(), 7);
    expect_rect(s.get_texture_rect(), 0.75f, 0.5f, 1.0f, 1.0f);
    expect_kept(s, &CImageSprite::set_frame, &CImageSprite::get_frame, {1000}, 7);
    expect_kept(s, &CImageSprite::set_frame, &CImageSprite::get_frame, {7.5f}, 7.5f);  // still frame 7
    s.set_first_frame(2);
    expect_kept(s, &CImageSprite::set_frame, &CImageSprite::get_frame, {-1}, 2);
    expect_kept(s, &CImageSprite::set_frame, &CImageSprite::get_frame, {kNaN}, 2);
    // The rectangle never leaves the image.
    for (float f : {0.0f, 3.0f, 7.9f, 8.0f, 9.0f}) {
        s.set_frame(f);
        TextureRect r = s.get_texture_rect();
        EXPECT_LE(r.bottom, 1.0f) << f;
        EXPECT_LE(r.right, 1.0f) << f;
    }
}

TEST_F(TiledImage, FrameRangeIsKeptInsideTheFrames) {
    auto expect_range = [&](float first, float last, float frame) {
        EXPECT_EQ(s.get_first_frame(), first);
        EXPECT_EQ(s.get_last_frame(), last);
        EXPECT_EQ(s.get_frame(), frame);
    };
    s.set_first_frame(20);
    expect_range(7, 7, 7);
    s.set_last_frame(-3);
    expect_range(0, 0, 0);
    s.set_last_frame(5);
    s.set_first_frame(2);
    EXPECT_EQ(s.get_frame(), 2);  // the frame moves into the range
    s.set_frame(6);               // a frame past the range widens it
    EXPECT_EQ(s.get_last_frame(), 6);
}

TEST_F(TiledImage, AnimationCarriesTheFractionAcrossTheEnd) {
    play(s, 5, 10, -1);
    s.set_first_frame(2);
    s.set_frame(2);
    s.update(0.45f);
    EXPECT_NEAR(s.get_frame(), 2.5f, 1e-5f);
    EXPECT_EQ(s.ends, 1);
    EXPECT_TRUE(s.is_playing());
    expect_rect(s.get_texture_rect(), 0.5f, 0, 0.75f, 0.5f);
    EXPECT_EQ(s.updated_with, std::vector<float>{0.45f});
}

TEST_F(TiledImage, RepeatCountZeroStopsOnTheLastFrame) {
    play(s, 3, 4, 0);
    s.update(0.5f);  // frame 2
    EXPECT_EQ(s.ends, 0);
    s.update(0.5f);  // passes 4
    EXPECT_EQ(s.ends, 1);
    EXPECT_FALSE(s.is_playing());
    EXPECT_EQ(s.get_frame(), 3);
    EXPECT_EQ(s.get_repeat_count(), -1);
    s.update(1.0f);  // stopped: the frame stays, the hook still runs
    EXPECT_EQ(s.get_frame(), 3);
    EXPECT_EQ(s.updated_with.size(), 3u);
}

TEST_F(TiledImage, LargeStepCallsTheEndHookOncePerPass) {
    play(s, 3, 4, -1);
    s.update(2.6f);  // 10.4 frames: passes the end twice
    EXPECT_EQ(s.ends, 2);
    EXPECT_NEAR(s.get_frame(), 2.4f, 1e-4f);
    CountingImage once;
    tile(once);
    play(once, 3, 4, 0);
    once.update(2.6f);
    EXPECT_EQ(once.ends, 1);
    EXPECT_EQ(once.get_frame(), 3);
}

TEST_F(TiledImage, SingleFrameRangeEndsOncePerFramePeriod) {
    play(s, 4, 2, -1);
    s.set_first_frame(4);
    for (int i = 0; i < 8; ++i) {
        s.update(0.125f);
        EXPECT_EQ(int(s.get_frame()), 4);
    }
    EXPECT_EQ(s.ends, 2);  // 1 s at 2 frames per second
}

TEST_F(TiledImage, HugeStepsFinishWithTheFrameInRange) {
    play(s, 3, 0, -1);
    // Whole laps are skipped in one go: a huge speed costs a few passes, not millions.
    const float inf = std::numeric_limits<float>::infinity();
    for (auto [speed, dt] : {std::pair{1e30f, 1.0f}, {inf, 1.0f}, {5e8f, 0.02f}, {3.0f, inf}, {3.0f, kNaN}}) {
        s.ends = 0;
        s.set_animation_speed(speed);
        s.update(dt);
        EXPECT_GE(s.get_frame(), 0) << speed << " " << dt;
        EXPECT_LT(s.get_frame(), 4) << speed << " " << dt;
        EXPECT_LE(s.ends, 64) << speed << " " << dt;
    }
}

TEST(ImageSprite, RepeatCountAlphaAndSpeedStartDefinedAndAreClamped) {
    CImageSprite s;
    EXPECT_EQ(s.get_repeat_count(), -1);  // loops for ever
    s.set_repeat_count(3);
    EXPECT_EQ(CImageSprite(s).get_repeat_count(), 3);
    EXPECT_EQ(s.get_alpha(), 255);
    expect_kept(s, &CImageSprite::set_alpha, &CImageSprite::get_alpha, {300}, 255);
    expect_kept(s, &CImageSprite::set_alpha, &CImageSprite::get_alpha, {-1}, 0);
    expect_kept(s, &CImageSprite::set_alpha, &CImageSprite::get_alpha, {100, kNaN}, 0);
    expect_kept(s, &CImageSprite::set_animation_speed, &CImageSprite::get_animation_speed, {-2}, 0);
    expect_kept(s, &CImageSprite::set_animation_speed, &CImageSprite::get_animation_speed, {3, kNaN}, 0);
}

TEST(ImageSprite, BoundsAreTruncatedAndFollowTheParent) {
    ProbeSprite parent("p");
    place(parent, 10.9f, 20, 2);
    CImageSprite s(&parent);
    frame(s, 3.7f, -2.5f, 10.6f, 5);
    s.set_scale(1.5f);
    expect_bounds(s.get_bounds(), 3, -2, 15, 7);
    // 10.9 + 2 * 3.7 = 18.3; 3 * 10.6 = 31.8
    expect_bounds(s.get_absolute_bounds(), 18, 15, 31, 15);
    fquad2d q = s.get_global_quad();
    EXPECT_EQ(q.c[3], fvec2d(18, 15));
    EXPECT_EQ(q.c[1], fvec2d(49, 30));
    s.move_by(1, 1);
    s.resize_by(-0.6f, 1);
    EXPECT_FLOAT_EQ(s.get_x(), 4.7f);
    EXPECT_FLOAT_EQ(s.get_width(), 10);
    EXPECT_FLOAT_EQ(s.get_height(), 6);
    s.set_x(1e20f);  // beyond an int: held at the end of the range, never undefined
    EXPECT_EQ(s.get_bounds().x, std::numeric_limits<int>::max());
}

TEST(RotatableSprite, RotationIsStoredModulo360) {
    CImageSpriteEx s;
    for (auto [angle, stored] : {std::pair{370.0f, 10.0f}, {-30.0f, -30.0f}, {720.0f, 0.0f}}) {
        s.set_rotation(angle);
        EXPECT_FLOAT_EQ(s.get_rotation(), stored) << angle;
    }
}

TEST(RotatableSprite, PositiveAngleTurnsAnticlockwiseOnScreen) {
    CImageSpriteEx s;
    s.set_size(40, 40);
    s.rotate_by(45);
    s.rotate_by(45);
    EXPECT_FLOAT_EQ(s.get_rotation(), 90);
    expect_near(s.point_to_global({40, 20}), 20, 0);  // the right middle point moves to the top
    expect_near(s.get_global_quad().c[3], 0, 40);     // the top-left corner to the bottom-left
}

TEST(RotatableSprite, ZeroRotationMapsLikeAPlainImageSprite) {
    CImageSpriteEx ex;
    CImageSprite plain;
    for (CImageSprite* s : {static_cast<CImageSprite*>(&ex), &plain}) {
        frame(*s, 3.3f, 7.1f, 13, 9);
        s->set_scale(1.7f);
    }
    fvec2d p(5.5f, -2.25f);
    EXPECT_EQ(ex.point_to_global(p), plain.point_to_global(p));
    // Back to local the centre is taken off and added again, which may round the last bit.
    fvec2d local = plain.point_to_local(p);
    expect_near(ex.point_to_local(p), local.x, local.y, 1e-5f);
}

TEST(RotatableSprite, CornerCentreKeepsTheTopLeftInPlace) {
    CImageSpriteEx s;
    frame(s, 50, 60, 20, 10);
    s.set_rotation_center({0, 0});
    s.set_rotation(33);
    expect_near(s.point_to_global({0, 0}), 50, 60);
    for (fvec2d p : {fvec2d(20, 10), fvec2d(-4, 7.5f)}) expect_near(s.point_to_local(s.point_to_global(p)), p.x, p.y);
}

TEST(RotatableSprite, OwnSettersRefreshTheOutlineAncestorsDoNot) {
    CImageSpriteEx parent;
    CImageSpriteEx s(&parent);
    EXPECT_EQ(s.get_transformed_quad().c[1], fvec2d(0, 0));  // not computed before a change
    s.set_width(-1);                                         // refused, but the outline is refreshed
    EXPECT_EQ(s.get_width(), 1);
    EXPECT_EQ(s.get_transformed_quad().c[1], fvec2d(1, 1));
    parent.set_x(100);
    EXPECT_EQ(s.get_transformed_quad().c[1], fvec2d(1, 1));  // the cache keeps its last state
    s.set_y(0);
    EXPECT_EQ(s.get_transformed_quad().c[1], fvec2d(101, 1));
}

TEST(RotatableSprite, AbsoluteRotationAddsOnlyTurningParentsButPositionsTurnWithThem) {
    ProbeSprite plain("plain");
    CImageSpriteEx child(&plain);
    child.set_rotation(30);
    EXPECT_FLOAT_EQ(child.get_absolute_rotation(), 30);
    CImageSpriteEx turning;
    turning.set_rotation(20);
    CImageSpriteEx nested(&turning);
    nested.set_rotation(30);
    EXPECT_FLOAT_EQ(nested.get_absolute_rotation(), 50);
    nested.set_absolute_rotation(90);
    EXPECT_FLOAT_EQ(nested.get_rotation(), 70);
    // A plain child of a turned parent turns with it.
    CImageSpriteEx parent;
    parent.set_size(20, 20);
    parent.set_rotation(90);
    ProbeSprite turned("turned");
    turned.set_parent(&parent);
    // (20, 0), the parent's top-right corner, turned 90 degrees about (10, 10) is the top-left.
    turned.set_x(20);
    EXPECT_NEAR(turned.get_absolute_x(), 0, 1e-4f);
}

TEST(RotatableSprite, OuterBoundsHoldTheSpriteAtAnyAngle) {
    CImageSpriteEx s;
    frame(s, 100, 100, 10, 10);
    expect_size(s.get_absolute_bounds(), 10, 10);
    for (float angle : {0.0f, 30.0f, 45.0f, 123.0f}) {
        s.set_rotation(angle);
        expect_size(s.get_absolute_outer_bounds(), 14, 14, angle);
        EXPECT_EQ(s.get_absolute_outer_bounds().x, 97) << angle;  // 105 - 7.07
    }
    s.set_rotation(45);
    expect_size(s.get_absolute_bounds(), 14, 14);
}

TEST(RotatableSprite, RelativeBoundsAreInTheParentsSpace) {
    ProbeSprite parent("p");
    place(parent, 50, 0, 2);
    CImageSpriteEx s(&parent);
    frame(s, 10, 5, 8, 4);
    expect_bounds(s.get_bounds(), 10, 5, 8, 4);
    IntRect a = s.get_absolute_bounds();
    EXPECT_EQ(a.x, 70);
    EXPECT_EQ(a.width, 16);
    // Centre (78, 14) globally, (14, 7) in the parent's space; the radius stays global (8.94).
    IntRect outer = s.get_outer_bounds();
    EXPECT_EQ(outer.x, 5);
    EXPECT_EQ(outer.y, -1);
    EXPECT_EQ(outer.width, 17);
}

TEST(RotatableSprite, PointConversionsRoundTripWithRotations) {
    CImageSpriteEx parent;
    frame(parent, 30, -12, 50, 30);
    parent.set_scale(1.5f);
    parent.set_rotation(-63);
    CImageSpriteEx child(&parent);
    frame(child, 4, 9, 12, 6);
    child.set_rotation_center({0.25f, 0.8f});
    child.set_rotation(211);
    for (fvec2d p : {fvec2d(0, 0), fvec2d(12, 6), fvec2d(-7, 3.5f)})
        expect_near(child.point_to_local(child.point_to_global(p)), p.x, p.y, 2e-3f);
}
