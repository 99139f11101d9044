#pragma once
#include <cstdint>
#include <string>

struct SDL_Surface;

// A GL image that sprites, labels, terrain layers and shader programs draw with.
class ITexture {
public:
    virtual ~ITexture() = default;

    virtual void bind();
    virtual void unbind();
    virtual bool is_valid();
    virtual uint32_t get_id();
    virtual int32_t get_pixel_format();
    virtual int32_t get_pixel_depth();
    virtual int32_t get_image_width() = 0;
    virtual int32_t get_image_height() = 0;

    // Each binds and changes the GL parameters only when the flag differs from the asked value.
    void set_linear_filtering(bool linear);
    void set_clamped(bool clamped);
    bool is_linear_filtering() const { return linear_filtering; }
    bool is_clamped() const { return clamped; }

protected:
    bool valid = false;
    uint32_t id = 0;
    int32_t pixel_format = 0;  // GL_RGBA, GL_BGRA, GL_RGB or GL_BGR; 0 before the first upload
    int32_t pixel_depth = -1;  // bytes per pixel of the upload (CRenderTexture: 32)
    int32_t width = 0;
    int32_t height = 0;
    bool linear_filtering = false;
    bool clamped = false;
};

// An image file uploaded to GL; a writable texture keeps its pixels so the game can change them.
class CTexture : public ITexture {
public:
    CTexture(bool read_only, std::string path);
    // A writable texture of an image made in memory, without a file; it owns the surface.
    explicit CTexture(SDL_Surface* image);
    ~CTexture() override;
    CTexture(const CTexture&) = delete;
    CTexture& operator=(const CTexture&) = delete;

    int32_t get_image_width() override;
    int32_t get_image_height() override;

    // Reads the file again into this same object (holders keep a live pointer).
    void load(std::string path);
    std::string get_name() const { return name; }
    bool is_read_only() const { return read_only; }
    SDL_Surface* get_surface();
    // Uploads the surface and draws it from now on; the previous one is freed if the texture
    // owned it. An owned surface is freed by the texture (on the next load, set_surface or its
    // destruction); one that is not owned stays its caller's, who keeps it alive while the
    // texture holds it, and is only let go of.
    void set_surface(SDL_Surface* surface, bool owned = true);
    void upload();
    // Uploads the part of the rectangle that lies on the image.
    void update_area(int x, int y, int w, int h);

private:
    friend class CTextureManager;

    // Frees the surface if it is owned, and holds none.
    void release_surface();

    bool read_only;
    std::string name;
    SDL_Surface* surface = nullptr;
    bool owns_surface = true;
    bool image_stored = false;  // GL holds an image of width x height in pixel_format
};

// An off-screen render target: a colour texture with a depth renderbuffer behind a framebuffer.
class CRenderTexture : public ITexture {
public:
    CRenderTexture(int32_t width, int32_t height);
    ~CRenderTexture() override;
    CRenderTexture(const CRenderTexture&) = delete;
    CRenderTexture& operator=(const CRenderTexture&) = delete;

    // Not valid while it is the render target, so nobody samples what is being drawn.
    bool is_valid() override;
    int32_t get_image_width() override { return width; }
    int32_t get_image_height() override { return height; }

    void begin_render();
    void end_render();
    // Only the width and height are used; false, with nothing changed, unless all are above 0.
    bool set_viewport(int32_t view_width, int32_t view_height);

    uint32_t get_framebuffer() const { return framebuffer; }
    uint32_t get_renderbuffer() const { return renderbuffer; }
    bool is_render_target() const { return render_target; }

private:
    uint32_t renderbuffer = 0;
    uint32_t framebuffer = 0;
    uint32_t saved_framebuffer = 0;
    bool render_target = false;
    int32_t saved_viewport[4] = {0, 0, 0, 0};
};
