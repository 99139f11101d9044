#include "engine/gfx/viewport.h"

#include <GL/glew.h>

#include <algorithm>

int CViewport::window_width = 0;
int CViewport::window_height = 0;

bool CViewport::setup_projection(int x, int y, int width, int height, float view_x, float view_y,
                                 float view_width, float view_height) {
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
