#include "engine/scene/rotatable_sprite.h"

#include <cmath>

#include "engine/core/saturate.h"

namespace {

// Turns d by `degrees` with the sprite's formula: a point right of the centre moves up.
fvec2d turn(fvec2d d, float degrees) {
    const float theta = degrees / 180.0f * 3.1415927f;
    const float s = float(std::sin(double(theta)));
    const float c = float(std::cos(double(theta)));
    return {c * d.x + s * d.y, -s * d.x + c * d.y};
}

IntRect to_int_rect(const QuadBounds& b) {
    return {saturate_cast<int>(b.x), saturate_cast<int>(b.y), saturate_cast<int>(b.width),
            saturate_cast<int>(b.height)};
}

}  // namespace

CImageSpriteEx::CImageSpriteEx(CSprite* parent_) : CImageSprite(parent_) {}

float CImageSpriteEx::get_rotation() { return rotation; }

void CImageSpriteEx::set_rotation(float degrees) {
    const float r = std::fmod(degrees, 360.0f);
    if (r != rotation || std::isnan(r)) {
        rotation = r;
        update_transform();
    }
}

float CImageSpriteEx::get_absolute_rotation() {
    if (auto* turning = dynamic_cast<CRotateable*>(get_parent())) {
        return turning->get_absolute_rotation() + rotation;
    }
    return rotation;
}

void CImageSpriteEx::set_absolute_rotation(float degrees) {
    if (auto* turning = dynamic_cast<CRotateable*>(get_parent())) {
        set_rotation(degrees - turning->get_absolute_rotation());
    } else {
        set_rotation(degrees);
    }
}

fvec2d CImageSpriteEx::get_rotation_center() { return rotation_center; }

void CImageSpriteEx::set_rotation_center(fvec2d centre) {
    if (centre.x != rotation_center.x || centre.y != rotation_center.y) {
        rotation_center = centre;
        update_transform();
    }
}

fvec2d CImageSpriteEx::point_to_global(fvec2d p) {
    const fvec2d centre = get_rotation_center();
    const float cx = centre.x * get_width(), cy = centre.y * get_height();
    fvec2d d(p.x - cx, p.y - cy);
    const float a = get_rotation();
    if (a != 0) d = turn(d, a);
    const float s = get_scale();
    fvec2d q(s * (d.x + cx) + get_x(), s * (d.y + cy) + get_y());
    CSprite* up = get_parent();
    return up ? up->point_to_global(q) : q;
}

fvec2d CImageSpriteEx::point_to_local(fvec2d p) {
    CSprite* up = get_parent();
    if (up) p = up->point_to_local(p);
    const fvec2d centre = get_rotation_center();
    const float cx = centre.x * get_width(), cy = centre.y * get_height();
    const float s = get_scale();
    fvec2d d((p.x - get_x()) / s - cx, (p.y - get_y()) / s - cy);
    const float b = -get_rotation();
    if (b != 0) d = turn(d, b);
    return {d.x + cx, d.y + cy};
}

void CImageSpriteEx::set_parent(CSprite* p) {
    CImageSprite::set_parent(p);
    update_transform();
}

void CImageSpriteEx::set_x(float v) {
    CImageSprite::set_x(v);
    update_transform();
}

void CImageSpriteEx::set_absolute_x(float v) {
    CImageSprite::set_absolute_x(v);
    update_transform();
}

void CImageSpriteEx::set_y(float v) {
    CImageSprite::set_y(v);
    update_transform();
}

void CImageSpriteEx::set_absolute_y(float v) {
    CImageSprite::set_absolute_y(v);
    update_transform();
}

void CImageSpriteEx::set_width(float v) {
    CImageSprite::set_width(v);
    update_transform();
}

void CImageSpriteEx::set_height(float v) {
    CImageSprite::set_height(v);
    update_transform();
}

void CImageSpriteEx::set_scale(float v) {
    CImageSprite::set_scale(v);
    update_transform();
}

void CImageSpriteEx::set_absolute_scale(float v) {
    CImageSprite::set_absolute_scale(v);
    update_transform();
}

fquad2d CImageSpriteEx::get_global_quad() { return get_transformed_quad(); }

IntRect CImageSpriteEx::get_bounds() { return to_int_rect(quad_bounds(get_relative_transformed_quad())); }

IntRect CImageSpriteEx::get_absolute_bounds() { return to_int_rect(quad_bounds(transformed_quad)); }

IntRect CImageSpriteEx::get_absolute_outer_bounds() {
    const fvec2d m = transformed_quad.centre();
    const float r = (transformed_quad.c[0] - m).length();
    return to_int_rect({m.x - r, m.y - r, 2 * r, 2 * r});
}

IntRect CImageSpriteEx::get_outer_bounds() {
    fvec2d m = transformed_quad.centre();
    const float r = (transformed_quad.c[0] - m).length();
    if (CSprite* up = get_parent()) m = up->point_to_local(m);
    return to_int_rect({m.x - r, m.y - r, 2 * r, 2 * r});
}

void CImageSpriteEx::update_transform() {
    transformed_quad = quad_to_global(fquad2d::from_rect(0, 0, get_width(), get_height()));
}

fquad2d CImageSpriteEx::get_relative_transformed_quad() {
    CSprite* up = get_parent();
    return up ? up->quad_to_local(transformed_quad) : transformed_quad;
}

fquad2d CImageSpriteEx::get_transformed_quad() { return transformed_quad; }

void CImageSpriteEx::rotate_by(float degrees) { set_rotation(rotation + degrees); }
