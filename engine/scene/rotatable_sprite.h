#pragma once
#include "engine/scene/image_sprite.h"

// The rotation interface, so that code can ask any sprite whether and how far it turns
// without knowing its class. Its own bodies describe a sprite that does not turn.
class CRotateable {
public:
    virtual ~CRotateable() = default;

    virtual float get_rotation() { return 0; }
    virtual void set_rotation(float) {}
    virtual float get_absolute_rotation() { return 0; }
    virtual void set_absolute_rotation(float) {}
    // Fractions of the unscaled width and height; (0, 0) is the top-left corner.
    virtual fvec2d get_rotation_center() { return {0.5f, 0.5f}; }
    virtual void set_rotation_center(fvec2d) {}
};

// An image sprite that turns about a chosen centre. Its point conversions rotate, so drawing,
// bounds, hit tests and collisions see the turned sprite. The global outline is cached and
// refreshed only by this sprite's own setters: moving an ancestor redraws it at once but
// leaves the cached outline as it was at the last own change.
class CImageSpriteEx : public CImageSprite, public CRotateable {
public:
    explicit CImageSpriteEx(CSprite* parent = nullptr);
    CImageSpriteEx(const CImageSpriteEx&) = default;
    CImageSpriteEx& operator=(const CImageSpriteEx&) = default;

    // Degrees relative to the parent, stored as fmod(value, 360). In the y-down window space a
    // positive angle turns anticlockwise on the screen.
    float get_rotation() override;
    void set_rotation(float degrees) override;
    // Adds the parent's when the parent turns too.
    float get_absolute_rotation() override;
    void set_absolute_rotation(float degrees) override;
    fvec2d get_rotation_center() override;
    void set_rotation_center(fvec2d centre) override;

    fvec2d point_to_global(fvec2d point) override;
    fvec2d point_to_local(fvec2d point) override;
    void set_parent(CSprite* parent) override;
    void set_x(float x) override;
    void set_absolute_x(float x) override;
    void set_y(float y) override;
    void set_absolute_y(float y) override;
    void set_width(float width) override;
    void set_height(float height) override;
    void set_scale(float scale) override;
    void set_absolute_scale(float scale) override;
    fquad2d get_global_quad() override;

    // Bounds of the rotated outline, in the parent's space and in global space; the outer
    // bounds are the square around the outline's circle, which hold it at any rotation.
    IntRect get_bounds() override;
    IntRect get_outer_bounds() override;
    IntRect get_absolute_bounds() override;
    IntRect get_absolute_outer_bounds() override;

    virtual void update_transform();
    virtual fquad2d get_relative_transformed_quad();
    virtual fquad2d get_transformed_quad();
    virtual void rotate_by(float degrees);

protected:
    float rotation = 0;
    fvec2d rotation_center{0.5f, 0.5f};
    fquad2d transformed_quad;
};
