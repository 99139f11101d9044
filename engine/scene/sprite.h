#pragma once
#include "engine/core/geometry.h"

struct SDL_Surface;

// Three floats: a sprite corner with its depth.
struct fvec3d {
    float x = 0, y = 0, z = 0;
    fvec3d() = default;
    fvec3d(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

// Four corners with depth, in the corner order of fquad2d.
struct fquad3d {
    fvec3d c[4];

    fquad3d() = default;
    fquad3d(fvec3d c0, fvec3d c1, fvec3d c2, fvec3d c3) : c{c0, c1, c2, c3} {}
    // The rectangle (x, y, w, h) at depth z, corners as fquad2d::from_rect gives them.
    static fquad3d from_rect(float x, float y, float w, float h, float z) {
        return {{x, y + h, z}, {x + w, y + h, z}, {x + w, y, z}, {x, y, z}};
    }
};

// The base of everything that is drawn. Sprites form a tree through a parent pointer that does
// not own; position, depth, scale and visibility are relative to the parent. Every operation
// reaches the others through the virtual table, so a subclass that changes one (a rotating
// point conversion, say) changes all that are built on it.
class CSprite {
public:
    explicit CSprite(CSprite* parent = nullptr);
    CSprite(const CSprite&) = default;
    CSprite& operator=(const CSprite&) = default;
    // Frees nothing of the tree: children belong to whoever owns them.
    virtual ~CSprite() = default;

    virtual fquad3d quad3d_to_global(fquad3d quad);
    virtual fquad2d quad_to_global(fquad2d quad);
    virtual fvec2d point_to_global(fvec2d point);
    virtual fquad3d quad3d_to_local(fquad3d quad);
    virtual fquad2d quad_to_local(fquad2d quad);
    virtual fvec2d point_to_local(fvec2d point);

    virtual CSprite* get_parent();
    virtual void set_parent(CSprite* parent);

    virtual float get_x();
    virtual void set_x(float x);
    virtual float get_absolute_x();
    virtual void set_absolute_x(float x);
    virtual float get_y();
    virtual void set_y(float y);
    virtual float get_absolute_y();
    virtual void set_absolute_y(float y);
    // Only depths in [-1, 1] are stored; anything else (NaN too) leaves z as it was.
    virtual float get_z();
    virtual void set_z(float z);
    virtual float get_absolute_z();
    virtual void set_absolute_z(float z);

    // Unscaled size; negative values are refused.
    virtual float get_width();
    virtual void set_width(float width);
    virtual float get_absolute_width();
    virtual void set_absolute_width(float width);
    virtual float get_height();
    virtual void set_height(float height);
    virtual float get_absolute_height();
    virtual void set_absolute_height(float height);

    // Scales not above 0 are refused.
    virtual void set_scale(float scale);
    virtual float get_scale();
    virtual void set_absolute_scale(float scale);
    virtual float get_absolute_scale();

    virtual void set_visible(bool visible);
    // The own flag and every ancestor's.
    virtual bool is_visible();
    // A finished sprite is deleted by its owner at the owner's next update.
    virtual void set_finished(bool finished);
    virtual bool is_finished();

    virtual void draw(SDL_Surface* screen) = 0;
    virtual void update(float dt) = 0;

    // The outline in global space; the zero quad for a sprite without one.
    virtual fquad2d get_global_quad();
    // Overlap test of the two outlines; the contact point and the separating edge of least
    // penetration go to the out-parameters, for on_collision.
    virtual bool collides_with(CSprite* other, fvec2d& first_contact, fvec2d& second_contact);
    // Response hook; the pairwise pass calls the partner's hook only when this returns true.
    virtual bool on_collision(CSprite* other, fvec2d first_contact, fvec2d second_contact);

protected:
    CSprite* parent = nullptr;
    float x = 0;
    float y = 0;
    float z = 0;
    float width = 1;
    float height = 1;
    float scale = 1;
    bool visible = true;
    bool finished = false;
};
