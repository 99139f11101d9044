#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/geometry.h"

TEST(Geometry, ColourEqualityComparesAllFourBytes) {
    ColorRGBA water{0, 0, 255, 255};
    EXPECT_EQ(water, (ColorRGBA{0, 0, 255, 255}));
    EXPECT_NE(water, (ColorRGBA{0, 0, 255, 254}));
    EXPECT_EQ(ColorRGBA::from_pixel(water.to_pixel()), water);
    EXPECT_EQ((ColorRGBA{1, 2, 3, 4}).to_pixel(), 0x04010203u);
}

TEST(Geometry, AngleBetweenSignsAndDegenerateCases) {
    EXPECT_FLOAT_EQ(angle_between({1, 0}, {0, 1}), -90);
    EXPECT_FLOAT_EQ(angle_between({1, 0}, {0, -1}), 90);
    EXPECT_FLOAT_EQ(angle_between({1, 0}, {-1, 0}), -180);
    EXPECT_EQ(angle_between({0, 0}, {1, 1}), 0);
    EXPECT_EQ(angle_between({1, 1}, {0, 0}), 0);
}

TEST(Geometry, AngleOfParallelVectorsIsNeverNaN) {
    // Pairs whose cosine rounds just past 1 or -1 in float arithmetic.
    const struct {
        fvec2d v;
        float same, opposite;
    } cases[] = {{{0.1f, 0.4f}, 0.5f, -2.0f},
                 {{0.1f, 1.1f}, 3.0f, -3.0f},
                 {{0.1f, 0.5f}, 7.0f, -7.0f},
                 {{3.3f, 7.7f}, 3.0f, -2.0f}};
    for (const auto& c : cases) {
        fvec2d v = c.v;
        float same = angle_between(v, v * c.same);
        float opposite = angle_between(v, v * c.opposite);
        EXPECT_FALSE(std::isnan(same));
        EXPECT_FALSE(std::isnan(opposite));
        EXPECT_NEAR(same, 0, 0.05f);
        EXPECT_NEAR(std::fabs(opposite), 180, 0.05f);
    }
}

TEST(Geometry, QuadFromRectAndBounds) {
    fquad2d q = fquad2d::from_rect(2, 3, 4, 5);
    EXPECT_EQ(q.c[0], fvec2d(2, 8));
    EXPECT_EQ(q.c[1], fvec2d(6, 8));
    EXPECT_EQ(q.c[2], fvec2d(6, 3));
    EXPECT_EQ(q.c[3], fvec2d(2, 3));
    QuadBounds b = quad_bounds(q);
    EXPECT_EQ(b.x, 2);
    EXPECT_EQ(b.y, 3);
    EXPECT_EQ(b.width, 4);
    EXPECT_EQ(b.height, 5);
}

TEST(Geometry, PointInQuadIncludesCornersAndEdges) {
    fquad2d q = fquad2d::from_rect(0, 0, 10, 10);
    EXPECT_TRUE(point_in_quad({0, 0}, q));
    EXPECT_TRUE(point_in_quad({10, 10}, q));
    EXPECT_TRUE(point_in_quad({5, 0}, q));
    EXPECT_TRUE(point_in_quad({5, 5}, q));
    EXPECT_FALSE(point_in_quad({5, -0.01f}, q));
    EXPECT_FALSE(point_in_quad({10.01f, 5}, q));
    // A rotated square (diamond): a point inside its bounds but outside the outline.
    fquad2d diamond({0, 5}, {5, 10}, {10, 5}, {5, 0});
    EXPECT_TRUE(point_in_quad({5, 5}, diamond));
    EXPECT_FALSE(point_in_quad({1, 1}, diamond));
}

TEST(Geometry, SquaresTouchingAtAnEdgeOverlapApartDoNot) {
    fquad2d a = fquad2d::from_rect(0, 0, 10, 10);
    EXPECT_TRUE(quads_overlap(a, fquad2d::from_rect(10, 0, 10, 10)));
    EXPECT_FALSE(quads_overlap(a, fquad2d::from_rect(11, 0, 10, 10)));
    // Inside the circle test's reach but separated on an axis.
    EXPECT_FALSE(quads_overlap(a, fquad2d::from_rect(10.5f, 10.5f, 10, 10)));
}

TEST(Geometry, AxisOfLeastPenetration) {
    fquad2d a = fquad2d::from_rect(0, 0, 10, 10);
    // Overlap by 1 along x and 3 along y: the x edge vector (c3 - c2 of a) wins.
    fquad2d b = fquad2d::from_rect(9, 7, 10, 10);
    fvec2d axis{99, 99};
    ASSERT_TRUE(quads_overlap(a, b, nullptr, &axis));
    EXPECT_EQ(axis, a.c[3] - a.c[2]);
    // Overlap by 3 along x and 1 along y: the y edge vector (c2 - c1 of a).
    fquad2d c = fquad2d::from_rect(7, 9, 10, 10);
    ASSERT_TRUE(quads_overlap(a, c, nullptr, &axis));
    EXPECT_EQ(axis, a.c[2] - a.c[1]);
}

TEST(Geometry, ContactPrefersCornerOfFirstQuad) {
    fquad2d a = fquad2d::from_rect(0, 0, 10, 10);
    fquad2d b = fquad2d::from_rect(5, 5, 10, 10);
    fvec2d contact{-1, -1};
    ASSERT_TRUE(quads_overlap(a, b, &contact));
    // a.c[0] = (0, 10) is outside b; b.c[0] = (5, 15) is outside a; a.c[1] = (10, 10) is in b.
    EXPECT_EQ(contact, fvec2d(10, 10));

    // Crossing outlines with no corner inside the other leave the contact as it was.
    fquad2d wide = fquad2d::from_rect(-5, 4, 20, 2);
    fquad2d tall = fquad2d::from_rect(4, -5, 2, 20);
    contact = {-1, -1};
    ASSERT_TRUE(quads_overlap(wide, tall, &contact));
    EXPECT_EQ(contact, fvec2d(-1, -1));
}
