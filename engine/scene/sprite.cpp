#include "engine/scene/sprite.h"

CSprite::CSprite(CSprite* parent_) : parent(parent_) {}

fquad3d CSprite::quad3d_to_global(fquad3d quad) {
    float depth = get_absolute_z();
    for (fvec3d& c : quad.c) {
        fvec2d p = point_to_global({c.x, c.y});
        c = {p.x, p.y, c.z + depth};
    }
    return quad;
}

fquad2d CSprite::quad_to_global(fquad2d quad) {
    for (fvec2d& c : quad.c) c = point_to_global(c);
    return quad;
}

fvec2d CSprite::point_to_global(fvec2d p) {
    float s = get_scale();
    fvec2d q(s * p.x + get_x(), s * p.y + get_y());
    CSprite* up = get_parent();
    return up ? up->point_to_global(q) : q;
}

fquad3d CSprite::quad3d_to_local(fquad3d quad) {
    float depth = get_absolute_z();
    for (fvec3d& c : quad.c) {
        fvec2d p = point_to_local({c.x, c.y});
        c = {p.x, p.y, c.z - depth};
    }
    return quad;
}

fquad2d CSprite::quad_to_local(fquad2d quad) {
    for (fvec2d& c : quad.c) c = point_to_local(c);
    return quad;
}

fvec2d CSprite::point_to_local(fvec2d p) {
    CSprite* up = get_parent();
    if (up) p = up->point_to_local(p);
    float s = get_scale();
    return {(p.x - get_x()) / s, (p.y - get_y()) / s};
}

CSprite* CSprite::get_parent() { return parent; }
void CSprite::set_parent(CSprite* p) { parent = p; }

float CSprite::get_x() { return x; }
void CSprite::set_x(float v) { x = v; }

float CSprite::get_absolute_x() {
    CSprite* up = get_parent();
    if (!up) return x;
    return up->point_to_global({x, 0}).x;
}

void CSprite::set_absolute_x(float v) {
    CSprite* up = get_parent();
    x = up ? up->point_to_local({v, 0}).x : v;
}

float CSprite::get_y() { return y; }
void CSprite::set_y(float v) { y = v; }

float CSprite::get_absolute_y() {
    CSprite* up = get_parent();
    if (!up) return y;
    return up->point_to_global({0, y}).y;
}

void CSprite::set_absolute_y(float v) {
    CSprite* up = get_parent();
    y = up ? up->point_to_local({0, v}).y : v;
}

float CSprite::get_z() { return z; }

void CSprite::set_z(float v) {
    if (v >= -1.0f && v <= 1.0f) z = v;
}

float CSprite::get_absolute_z() {
    CSprite* up = get_parent();
    return up ? z + up->get_absolute_z() : z;
}

void CSprite::set_absolute_z(float v) {
    CSprite* up = get_parent();
    set_z(up ? v - up->get_absolute_z() : v);
}

float CSprite::get_width() { return width; }

void CSprite::set_width(float v) {
    if (v >= 0) width = v;
}

float CSprite::get_absolute_width() { return get_absolute_scale() * get_width(); }

void CSprite::set_absolute_width(float v) {
    float s = get_absolute_scale();
    set_width(s > 0 ? v / s : v);
}

float CSprite::get_height() { return height; }

void CSprite::set_height(float v) {
    if (v >= 0) height = v;
}

float CSprite::get_absolute_height() { return get_absolute_scale() * get_height(); }

void CSprite::set_absolute_height(float v) {
    float s = get_absolute_scale();
    set_height(s > 0 ? v / s : v);
}

void CSprite::set_scale(float v) {
    if (v > 0) scale = v;
}

float CSprite::get_scale() { return scale; }

void CSprite::set_absolute_scale(float v) {
    if (!(v > 0)) return;
    // The parent's absolute scale, recovered from this sprite's own.
    float parent_scale = get_absolute_scale() / scale;
    float s = v / parent_scale;
    if (s > 0) scale = s;
}

float CSprite::get_absolute_scale() {
    CSprite* up = get_parent();
    return up ? scale * up->get_absolute_scale() : scale;
}

void CSprite::set_visible(bool v) { visible = v; }

bool CSprite::is_visible() {
    CSprite* up = get_parent();
    if (!up) return visible;
    return up->is_visible() && visible;
}

void CSprite::set_finished(bool v) { finished = v; }
bool CSprite::is_finished() { return finished; }

fquad2d CSprite::get_global_quad() { return fquad2d(); }

bool CSprite::collides_with(CSprite* other, fvec2d& first_contact, fvec2d& second_contact) {
    if (!other) return false;
    fquad2d mine = get_global_quad();
    fquad2d theirs = other->get_global_quad();
    return quads_overlap(mine, theirs, &first_contact, &second_contact);
}

bool CSprite::on_collision(CSprite*, fvec2d, fvec2d) { return true; }
