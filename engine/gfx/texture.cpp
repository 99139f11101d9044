#include "engine/gfx/texture.h"

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "engine/gfx/gl_support.h"
#include "platform/paths.h"

namespace {

// The unpack alignment under which GL's row length equals the surface's pitch; 0 when none does.
int unpack_alignment_for(int row_bytes, int pitch) {
    for (int alignment : {8, 4, 2, 1}) {
        if ((row_bytes + alignment - 1) / alignment * alignment == pitch) return alignment;
    }
    return 0;
}

// Uploads the whole surface, into the existing image when it has the same size and format (GL
// then keeps its storage). SDL pads rows to a four-byte pitch, which GL only reads right when
// its unpack alignment matches; rows of a pitch no alignment describes are packed first.
void upload_surface_pixels(SDL_Surface* surface, int depth, GLenum format, bool in_place) {
    int row_bytes = surface->w * depth;
    const uint8_t* pixels = static_cast<const uint8_t*>(surface->pixels);
    int alignment = unpack_alignment_for(row_bytes, surface->pitch);
    std::vector<uint8_t> packed;
    if (alignment == 0 && pixels) {
        packed.resize(std::size_t(row_bytes) * std::size_t(surface->h));
        for (int y = 0; y < surface->h; ++y) {
            std::memcpy(packed.data() + std::size_t(y) * row_bytes, pixels + std::size_t(y) * surface->pitch,
                        std::size_t(row_bytes));
        }
        pixels = packed.data();
        alignment = 1;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, std::max(alignment, 1));
    if (in_place) glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, surface->w, surface->h, format, GL_UNSIGNED_BYTE, pixels);
    else glTexImage2D(GL_TEXTURE_2D, 0, depth, surface->w, surface->h, 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

}  // namespace

// ITexture ---------------------------------------------------------------------------------------

void ITexture::bind() { glBindTexture(GL_TEXTURE_2D, id); }

void ITexture::unbind() { glBindTexture(GL_TEXTURE_2D, 0); }

bool ITexture::is_valid() { return valid; }

uint32_t ITexture::get_id() { return id; }

int32_t ITexture::get_pixel_format() { return pixel_format; }

int32_t ITexture::get_pixel_depth() { return pixel_depth; }

void ITexture::set_linear_filtering(bool linear) {
    if (linear_filtering == linear) return;
    bind();
    GLint filter = linear ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    linear_filtering = linear;
}

void ITexture::set_clamped(bool clamp) {
    if (clamped == clamp) return;
    bind();
    GLint wrap = clamp ? GL_CLAMP : GL_REPEAT;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    clamped = clamp;
}

// CTexture ---------------------------------------------------------------------------------------

CTexture::CTexture(bool read_only_, std::string path) : read_only(read_only_) {
    glGenTextures(1, &id);
    load(path);
    set_linear_filtering(true);
    set_clamped(true);
}

CTexture::CTexture(SDL_Surface* image) : read_only(false) {
    glGenTextures(1, &id);
    if (image) set_surface(image, true);
    set_linear_filtering(true);
    set_clamped(true);
}

CTexture::~CTexture() {
    if (id != 0) glDeleteTextures(1, &id);
    release_surface();
    log_message(LogLevel::Status, "Texture " + name + " unloaded successfully.", log_class_name_of(*this));
}

int32_t CTexture::get_image_width() { return surface ? surface->w : width; }

int32_t CTexture::get_image_height() { return surface ? surface->h : height; }

void CTexture::load(std::string path) {
    // The cache finds a texture by its name, so a failed load keeps the name too and is found
    // (and not loaded again) on the next request.
    name = path;
    SDL_Surface* loaded = IMG_Load(platform::native_path(make_absolute_path(path)).c_str());
    if (!loaded) {
        valid = false;
        release_surface();
        log_message(LogLevel::Error, "Failed to load texture from " + path + ", SDL reports: \n" + SDL_GetError(),
                    log_class_name_of(*this));
        return;
    }
    release_surface();
    surface = loaded;
    log_message(LogLevel::Status, "Texture " + path + " loaded successfully.", log_class_name_of(*this));
    upload();  // leaves the texture invalid when GL could not take the pixels
    if (read_only) release_surface();
}

void CTexture::release_surface() {
    if (surface && owns_surface) SDL_FreeSurface(surface);
    surface = nullptr;
    owns_surface = true;
}

SDL_Surface* CTexture::get_surface() {
    if (read_only) {
        log_message(LogLevel::Warning, "Tried to access read-only surface. This might cause an exception.",
                    log_class_name_of(*this));
    }
    return surface;
}

void CTexture::set_surface(SDL_Surface* new_surface, bool owned) {
    if (read_only) {
        log_message(LogLevel::Warning, "Trying to set surface of a read only texture, ignoring.",
                    log_class_name_of(*this));
        return;
    }
    if (new_surface != surface) {
        if (!new_surface) {
            log_message(LogLevel::Warning, "Trying to set texture surface to NULL, ignoring.",
                        log_class_name_of(*this));
            return;
        }
        release_surface();
        surface = new_surface;
    }
    owns_surface = owned;
    upload();
}

void CTexture::upload() {
    if (!surface) {
        log_message(LogLevel::Warning, "Tried to update read-only texture. Ignoring.", log_class_name_of(*this));
        return;
    }
    const bool had_image = valid && image_stored;
    const int32_t old_width = width, old_height = height, old_depth = pixel_depth, old_format = pixel_format;
    valid = true;
    if ((surface->w & (surface->w - 1)) != 0 || (surface->h & (surface->h - 1)) != 0) {
        log_message(LogLevel::Warning, "Texture measurements are not a power of 2.", log_class_name_of(*this));
    }
    width = surface->w;
    height = surface->h;
    pixel_depth = surface->format->BytesPerPixel;
    bool red_first = surface->format->Rmask == 0xFF;
    if (pixel_depth == 4) {
        pixel_format = red_first ? GL_RGBA : GL_BGRA;
    } else if (pixel_depth == 3) {
        pixel_format = red_first ? GL_RGB : GL_BGR;
    } else {
        // GL has no format for these pixels; uploading them anyway would only raise a GL error.
        log_message(LogLevel::Warning, "The image is not truecolor. This will cause problems.",
                    log_class_name_of(*this));
        valid = false;
        image_stored = false;
        return;
    }
    bind();
    const bool in_place = had_image && width == old_width && height == old_height && pixel_depth == old_depth &&
                          pixel_format == old_format;
    bool locked = SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) == 0;
    upload_surface_pixels(surface, pixel_depth, GLenum(pixel_format), in_place);
    image_stored = true;
    if (locked) SDL_UnlockSurface(surface);
}

void CTexture::update_area(int x, int y, int w, int h) {
    if (!surface) {
        log_message(LogLevel::Warning, "Tried to update read-only texture. Ignoring.", log_class_name_of(*this));
        return;
    }
    // An image GL could not take has no format to upload a part of.
    if (get_id() == 0 || !valid) {
        log_message(LogLevel::Warning, "Tried to update invalid texture. Ignoring.", log_class_name_of(*this));
        return;
    }
    double image_w = get_image_width();
    double image_h = get_image_height();
    if (!(x < image_w && y<image_h&& double(x) + w> 0 && double(y) + h > 0)) {
        log_message(LogLevel::Warning, "Tried to update invalid texture area. Ignoring.", log_class_name_of(*this));
        return;
    }
    int x0 = std::max(x, 0);
    int y0 = std::max(y, 0);
    int x1 = int(std::min(double(x) + w, image_w));
    int y1 = int(std::min(double(y) + h, image_h));
    int columns = x1 - x0;
    int rows = y1 - y0;
    int depth = pixel_depth;
    std::vector<uint8_t> buffer(std::size_t(depth) * columns * rows);
    bool locked = SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) == 0;
    const uint8_t* pixels = static_cast<const uint8_t*>(surface->pixels);
    for (int r = y0; r < y0 + rows; ++r) {
        std::memcpy(buffer.data() + std::size_t(depth) * (r - y0) * columns,
                    pixels + std::size_t(surface->pitch) * r + std::size_t(depth) * x0, std::size_t(depth) * columns);
    }
    if (locked) SDL_UnlockSurface(surface);
    bind();
    // The rows are packed without padding; GL's default alignment of 4 would skew 3-byte rows.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x0, y0, columns, rows, GLenum(pixel_format), GL_UNSIGNED_BYTE, buffer.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// CRenderTexture ---------------------------------------------------------------------------------

CRenderTexture::CRenderTexture(int32_t width_, int32_t height_) {
    width = width_;
    height = height_;
    pixel_depth = 32;
    valid = true;
    pixel_format = GL_RGBA;
    if (!framebuffer_functions_available()) {
        log_message(LogLevel::FatalError, "Framebuffer objects are not available, can't create the render texture.",
                    log_class_name_of(*this));
        valid = false;
        return;
    }
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, id, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffer);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        log_message(LogLevel::FatalError,
                    "Framebuffer status appears to be corrupted, error #" + std::to_string(status),
                    log_class_name_of(*this));
        valid = false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

CRenderTexture::~CRenderTexture() {
    if (framebuffer != 0) glDeleteFramebuffers(1, &framebuffer);
    if (renderbuffer != 0) glDeleteRenderbuffers(1, &renderbuffer);
    if (id != 0) glDeleteTextures(1, &id);
}

bool CRenderTexture::is_valid() { return valid && !render_target; }

void CRenderTexture::begin_render() {
    if (framebuffer == 0) return;
    GLint current = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &current);
    // A second begin keeps the binding and the viewport to go back to from the first.
    if (uint32_t(current) != framebuffer) {
        saved_framebuffer = uint32_t(current);
        glGetIntegerv(GL_VIEWPORT, saved_viewport);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    render_target = true;
    set_viewport(width, height);
}

void CRenderTexture::end_render() {
    if (framebuffer == 0) return;
    glBindFramebuffer(GL_FRAMEBUFFER, saved_framebuffer);
    render_target = false;
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, saved_viewport[2], saved_viewport[3], 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool CRenderTexture::set_viewport(int32_t view_width, int32_t view_height) {
    if (view_width <= 0 || view_height <= 0 || width <= 0 || height <= 0) return false;
    int32_t w = std::min(view_width, width);
    int32_t h = std::min(view_height, height);
    glViewport(0, height - h, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
}
