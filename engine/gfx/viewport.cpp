#include "engine/gfx/viewport.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "engine/core/geometry.h"

int CViewport::window_width = 0;
int CViewport::window_height = 0;

bool CViewport::setup_projection(int x, int y, int width, int height, float view_x, float view_y, float view_width,
                                 float view_height) {
    if (!(double(x) + width > 0 && double(y) + height > 0 && x < window_width && y < window_height)) {
        return false;
    }
    int left = std::max(0, x);
    int top = std::max(0, y);
    int right = std::min(x + width, window_width);
    int bottom = std::min(y + height, window_height);
    int visible_w = right - left;
    int visible_h = bottom - top;
    if (visible_w <= 0 || visible_h <= 0) return false;  // a rectangle of no area shows nothing

    glViewport(left, window_height - top - visible_h, visible_w, visible_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double proj_left = double(view_x) - (x - left);
    double proj_top = double(view_y) - (y - top);
    double proj_w = view_width != 0 ? double(visible_w) / width * view_width : double(visible_w);
    double proj_h = view_height != 0 ? double(visible_h) / height * view_height : double(visible_h);
    glOrtho(proj_left, proj_left + proj_w, proj_top + proj_h, proj_top, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return true;
}

WindowPoint window_point(const double* projection, const double* modelview, const int* viewport, double x, double y,
                         double z) {
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r)
        eye[r] = modelview[r] * x + modelview[4 + r] * y + modelview[8 + r] * z + modelview[12 + r];
    for (int r = 0; r < 4; ++r)
        clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                  projection[12 + r] * eye[3];
    const double w = clip[3] != 0.0 ? clip[3] : 1.0;
    return {viewport[0] + (clip[0] / w + 1.0) * 0.5 * viewport[2],
            viewport[1] + (clip[1] / w + 1.0) * 0.5 * viewport[3]};
}

WindowRect window_rect_of(const fquad2d& quad) {
    GLdouble projection[16], modelview[16];
    GLint viewport[4];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (int i = 0; i < 4; ++i) {
        const auto [x, y] = window_point(projection, modelview, viewport, quad.c[i].x, quad.c[i].y, 0.0);
        if (i == 0 || x < x0) x0 = x;
        if (i == 0 || x > x1) x1 = x;
        if (i == 0 || y < y0) y0 = y;
        if (i == 0 || y > y1) y1 = y;
    }
    // Far outside the window only the part near it matters; this keeps the ints in range.
    auto clamp = [](double v) { return std::clamp(v, -1.0e6, 1.0e6); };
    if (std::isnan(x0) || std::isnan(y0) || std::isnan(x1) || std::isnan(y1)) return {};
    const int left = int(std::floor(clamp(x0))), bottom = int(std::floor(clamp(y0)));
    return {left, bottom, int(std::ceil(clamp(x1))) - left, int(std::ceil(clamp(y1))) - bottom};
}

ScopedScissor::ScopedScissor(const WindowRect& rect) {
    was_enabled_ = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, saved_);
    int x0 = rect.x, y0 = rect.y, x1 = rect.x + std::max(rect.width, 0), y1 = rect.y + std::max(rect.height, 0);
    if (was_enabled_) {
        x0 = std::max(x0, saved_[0]), y0 = std::max(y0, saved_[1]);
        x1 = std::min(x1, saved_[0] + saved_[2]), y1 = std::min(y1, saved_[1] + saved_[3]);
    }
    empty_ = x1 <= x0 || y1 <= y0;
    if (!was_enabled_) glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0));
}

ScopedScissor::~ScopedScissor() {
    glScissor(saved_[0], saved_[1], saved_[2], saved_[3]);
    if (!was_enabled_) glDisable(GL_SCISSOR_TEST);
}
