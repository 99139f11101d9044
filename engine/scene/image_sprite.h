#pragma once
#include <cstdint>

#include "engine/scene/sprite.h"

class ITexture;
class CShaderProgram;

// Texture coordinates of the whole image, 0..1, v growing downwards with the image rows.
struct TextureRect {
    float left = 0, top = 0, right = 0, bottom = 0;
};

// Bounds in whole pixels (floats truncated towards zero).
struct IntRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// A textured sprite: a rectangle of a texture, or one frame of a grid of equal tiles in it,
// with transparency, an optional shader program, a frame animation and an optional nine-slice
// draw that keeps border strips unstretched. Texture and program belong to their managers.
//
// Nothing but draw paths touch GL, so geometry and animation run without a GL context.
class CImageSprite : public CSprite {
public:
    explicit CImageSprite(CSprite* parent = nullptr);
    CImageSprite(const CImageSprite&) = default;
    CImageSprite& operator=(const CImageSprite&) = default;

    void draw(SDL_Surface* screen) override;
    void update(float dt) override;
    fquad2d get_global_quad() override;

    virtual TextureRect get_texture_rect();
    virtual void update_texture_rect();
    virtual void draw_image(SDL_Surface* screen);
    // Called at the end of every update.
    virtual void on_update(float dt);
    // Called each time the animation passes the last frame of its range.
    virtual void on_animation_end();
    virtual void draw_textured_quad(fquad3d quad, TextureRect rect);

    // Tile sizes need a texture: a value below 1 or beyond the image becomes the image size.
    virtual int get_tile_height();
    virtual void set_tile_height(int height);
    virtual int get_tile_width();
    virtual void set_tile_width(int width);
    // The frame range is kept inside the frames of the texture and first <= last.
    virtual int get_first_frame();
    virtual void set_first_frame(int frame);
    virtual int get_last_frame();
    virtual void set_last_frame(int frame);
    // Frames per second; negative (and NaN) becomes 0.
    virtual float get_animation_speed();
    virtual void set_animation_speed(float speed);
    // The integer part is the frame shown. A frame beyond the last one of the texture is not
    // taken: the last frame is stored instead.
    virtual float get_frame();
    virtual void set_frame(float frame);
    virtual bool is_playing();
    virtual void set_playing(bool playing);
    // Repeats left before the animation stops on its last frame; negative loops for ever.
    virtual int get_repeat_count();
    virtual void set_repeat_count(int count);
    // Opacity 0..255, clamped; NaN gives 0.
    virtual float get_alpha();
    virtual void set_alpha(float alpha);
    // Width of the left and right strips of the sliced draw, in local units and texels.
    virtual void set_border_x(int border);
    virtual int get_border_x();
    virtual void set_border_y(int border);
    virtual int get_border_y();
    virtual ITexture* get_texture();
    // Shows the new texture whole; set the tile size after the texture.
    virtual void set_texture(ITexture* texture);
    virtual CShaderProgram* get_shader_program();
    virtual void set_shader_program(CShaderProgram* program);
    virtual IntRect get_bounds();
    virtual IntRect get_outer_bounds();
    virtual IntRect get_absolute_bounds();
    virtual IntRect get_absolute_outer_bounds();
    virtual void move_by(float dx, float dy);
    virtual void set_position(float x, float y);
    virtual void resize_by(float dw, float dh);
    virtual void set_size(float w, float h);

    // Frames in the texture's grid; 0 without a texture or tile size.
    int get_frame_count();

    // Whether the draw enables the depth test around the image.
    bool depth_test = true;

protected:
    // The quads of the image (sliced by the borders) with whatever program or texture is bound.
    void draw_pieces(ITexture* image);

    int tile_width = 0;
    int tile_height = 0;
    float alpha = 255;
    int border_x = 0;
    int border_y = 0;
    int first_frame = 0;
    int last_frame = 0;
    float animation_speed = 0;
    float frame = 0;
    bool playing = false;
    // Loops for ever until a caller sets a count.
    int repeat_count = -1;
    TextureRect texture_rect;
    ITexture* texture = nullptr;
    CShaderProgram* shader_program = nullptr;
};
