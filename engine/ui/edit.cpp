#include "engine/ui/edit.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "engine/gfx/font.h"
#include "platform/clipboard.h"

CEdit::CEdit(CInterfaceElement* parent_, CFont* font_)
    : CInterfaceElement(parent_), CLabelSprite(sprite_of(parent_), font_) {}

// --- geometry ---

bool CEdit::has_focus() { return edit_focused; }

IntRect CEdit::get_anchored_bounds() {
    AnchoredPlacement placed(*this, *this);
    return CImageSprite::get_bounds();
}

IntRect CEdit::get_anchored_absolute_bounds() {
    AnchoredPlacement placed(*this, *this);
    return CImageSprite::get_absolute_bounds();
}

IntRect CEdit::get_bounds() { return get_anchored_bounds(); }
IntRect CEdit::get_absolute_bounds() { return get_anchored_absolute_bounds(); }

fvec2d CEdit::point_to_global(fvec2d point) {
    AnchoredPlacement placed(*this, *this);
    return CSprite::point_to_global(point);
}

fvec2d CEdit::point_to_local(fvec2d point) {
    AnchoredPlacement placed(*this, *this);
    return CSprite::point_to_local(point);
}

bool CEdit::is_multiline() { return false; }
void CEdit::set_multiline(bool) {}

FloatRect CEdit::get_char_position(int start, int length) {
    const TextBox box = get_text_box();
    const std::string current = get_text();
    const int text_length = int(current.size());
    CFont* f = get_font();
    if (start < 0 || start > text_length || !f) return {box.x, box.y, box.width, box.height};

    const ivec2d whole = f->get_text_size(current);
    const float tw = float(whole.x), th = float(whole.y);
    // Placed as the font places the rendered line.
    float x, y;
    switch (get_horizontal_alignment()) {
    case AlignCentre: x = box.x + (box.width - tw) * 0.5f; break;
    case AlignEnd: x = box.x + box.width - tw; break;
    default: x = box.x; break;
    }
    switch (get_vertical_alignment()) {
    case AlignCentre: y = box.y + (box.height - th) * 0.5f; break;
    case AlignEnd: y = box.y + box.height - th; break;
    default: y = box.y; break;
    }
    if (start + length >= text_length) length = text_length - start;
    if (start > 0) x += float(f->get_text_size(current.substr(0, std::size_t(start))).x);
    float width = 0;
    if (length > 0) {
        width = float(f->get_text_size(current.substr(std::size_t(start), std::size_t(length))).x);
    }
    return {x, y, width, th};
}

int CEdit::get_char_index_at(int x) {
    const int text_length = int(get_text().size());
    const float px = float(x);
    for (int i = 0; i < text_length; ++i) {
        const FloatRect r = get_char_position(i, 1);
        if (i == 0 && px <= r.x) return 0;
        if (r.x <= px && px <= r.x + r.width) return px - r.x > r.width * 0.5f ? i + 1 : i;
    }
    return text_length;
}

// --- selection and text ---

int CEdit::get_selection_start() { return selection_start; }
int CEdit::get_selection_length() { return selection_length; }

std::string CEdit::set_selection(int start, int length) {
    const int text_length = int(get_text().size());
    if (start < 0) {
        selection_start = 0;
        length += start;
    } else if (start > text_length) {
        selection_start = text_length;
    } else {
        selection_start = start;
    }
    selection_length = selection_start + length >= text_length ? text_length - selection_start : length;
    if (selection_length < 0) selection_length = 0;
    return get_selected_text();
}

std::string CEdit::get_selected_text() {
    const std::string current = get_text();
    const int text_length = int(current.size());
    if (selection_start < 0 || selection_start > text_length || selection_length <= 0) return "";
    return current.substr(std::size_t(selection_start), std::size_t(selection_length));
}

void CEdit::set_text(std::string t) {
    CLabelSprite::set_text(std::move(t));
    set_selection(selection_start, selection_length);
}

void CEdit::replace_selection(std::string inserted, bool caret_to_end) {
    std::string current = get_text();
    const int text_length = int(current.size());
    // The selection is kept inside the text; hold to that even if a subclass did not.
    const int start = std::min(std::max(selection_start, 0), text_length);
    const int length = std::min(std::max(selection_length, 0), text_length - start);
    if (length > 0) current.erase(std::size_t(start), std::size_t(length));
    if (start == int(current.size())) {
        current += inserted;
    } else {
        current.insert(std::size_t(start), inserted);
    }
    selection_start = start;
    selection_length = 0;
    set_text(current);
    if (caret_to_end) {
        set_selection(selection_start + int(inserted.size()), 0);
    } else {
        set_selection(selection_start, int(inserted.size()));
    }
    if (on_text_change) on_text_change(this);
}

void CEdit::insert_char(char c, bool caret_to_end) { replace_selection(std::string(1, c), caret_to_end); }

std::string CEdit::printable_only(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 32 && u <= 126) kept += c;
    }
    return kept;
}

std::string CEdit::get_clipboard_text() { return platform::clipboard_get_text(); }
void CEdit::set_clipboard_text(std::string t) { platform::clipboard_set_text(t); }

// --- settings ---

void CEdit::set_caret_blink_interval(float seconds) {
    if (seconds > 0) caret_blink_interval = seconds;
}

float CEdit::get_caret_blink_interval() { return caret_blink_interval; }
void CEdit::set_on_text_change(EditHandler h) { on_text_change = h; }
EditHandler CEdit::get_on_text_change() { return on_text_change; }
void CEdit::set_on_key(EditKeyHandler h) { on_key = h; }
EditKeyHandler CEdit::get_on_key() { return on_key; }
void CEdit::set_on_focus_gained(EditHandler h) { focus_gained_handler = h; }
EditHandler CEdit::get_on_focus_gained() { return focus_gained_handler; }
void CEdit::set_on_focus_lost(EditHandler h) { focus_lost_handler = h; }
EditHandler CEdit::get_on_focus_lost() { return focus_lost_handler; }

// --- caret and drawing ---

void CEdit::on_update(float dt) {
    if (!(dt > 0) || std::isinf(dt)) return;
    caret_timer += dt;
    if (caret_timer < caret_blink_interval) return;
    // One toggle per interval passed; a long frame must not spin through them one by one.
    const double passed = std::floor(double(caret_timer) / double(caret_blink_interval));
    if (std::fmod(passed, 2.0) == 1.0) caret_visible = !caret_visible;
    caret_timer = float(double(caret_timer) - passed * double(caret_blink_interval));
    if (caret_timer < 0) caret_timer = 0;
}

void CEdit::draw_text(SDL_Surface* screen) {
    CLabelSprite::draw_text(screen);
    if (!edit_focused) return;
    if (selection_length > 0) {
        draw_selection();
    } else {
        draw_caret();
    }
}

void CEdit::draw_inverted(const fquad3d& quad) {
    const bool textured = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_COLOR_LOGIC_OP);
    glLogicOp(GL_INVERT);
    glColor4f(0, 0, 0, 1);
    glBegin(GL_QUADS);
    for (const fvec3d& c : quad.c) glVertex3f(c.x, c.y, c.z);
    glEnd();
    glDisable(GL_COLOR_LOGIC_OP);
    if (textured) glEnable(GL_TEXTURE_2D);
}

void CEdit::draw_caret() {
    if (!caret_visible) return;
    const FloatRect r = get_char_position(selection_start, selection_length);
    const fvec2d p = point_to_global({r.x, r.y});
    const float z = get_absolute_z();
    const float h = r.height * get_absolute_scale();
    const float left = get_horizontal_alignment() == AlignEnd ? p.x - 1 : p.x;
    draw_inverted(fquad3d::from_rect(left, p.y, 1, h, z));
}

void CEdit::draw_selection() {
    const FloatRect r = get_char_position(selection_start, selection_length);
    draw_inverted(quad3d_to_global(fquad3d::from_rect(r.x, r.y, r.width, r.height, 0)));
}

// --- focus and input ---

void CEdit::on_focus_gained() {
    focused = true;
    if (!passes_input_gate()) return;
    edit_focused = true;
    if (focus_gained_handler) focus_gained_handler(this);
}

void CEdit::on_focus_lost() {
    focused = false;
    if (!passes_input_gate()) return;
    edit_focused = false;
    if (focus_lost_handler) focus_lost_handler(this);
}

void CEdit::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    if (event.button != SDL_BUTTON_LEFT) return;
    const fvec2d p = point_to_local({float(event.x), float(event.y)});
    selection_anchor = get_char_index_at(int(p.x));
    set_selection(selection_anchor, 0);
}

void CEdit::on_mouse_motion(const SDL_MouseMotionEvent& event) {
    if (!passes_input_gate()) return;
    if (!(event.state & SDL_BUTTON(SDL_BUTTON_LEFT))) return;
    const fvec2d p = point_to_local({float(event.x), float(event.y)});
    const int i = get_char_index_at(int(p.x));
    if (i < selection_anchor) {
        set_selection(i, selection_anchor - i);
    } else {
        set_selection(selection_anchor, i - selection_anchor);
    }
}

void CEdit::on_key_pressed(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    const Uint16 unicode = event.keysym.unicode;
    const int c = (unicode & 0xFF80) ? 0 : int(unicode);
    const int mods = int(event.keysym.mod);
    const int text_length = int(get_text().size());
    if (c >= 32 && c <= 126) {
        insert_char(char(c), true);
    } else if (mods & (KMOD_LCTRL | KMOD_RCTRL)) {
        switch (event.keysym.sym) {
        case SDLK_c:
            if (selection_length > 0) set_clipboard_text(get_selected_text());
            break;
        case SDLK_v:
            // Pasted text passes the filter typed text passes: no line breaks or control
            // characters reach a single-line field.
            replace_selection(printable_only(get_clipboard_text()), true);
            break;
        case SDLK_x:
            if (selection_length > 0) {
                set_clipboard_text(get_selected_text());
                replace_selection("", true);
            }
            break;
        default: break;
        }
    } else {
        const bool shift = (mods & (KMOD_LSHIFT | KMOD_RSHIFT)) != 0;
        switch (event.keysym.sym) {
        case SDLK_DELETE:
            if (selection_length > 0) {
                replace_selection("", true);
            } else if (selection_start < text_length) {
                set_selection(selection_start, 1);
                replace_selection("", true);
            }
            break;
        case SDLK_BACKSPACE:
            if (selection_length > 0) {
                replace_selection("", true);
            } else if (selection_start > 0) {
                set_selection(selection_start - 1, 1);
                replace_selection("", true);
            }
            break;
        case SDLK_RIGHT:
            if (shift) {
                set_selection(selection_start, selection_length + 1);
            } else {
                set_selection(selection_start + selection_length + 1, 0);
            }
            break;
        case SDLK_LEFT:
            if (shift) {
                set_selection(selection_start - 1, selection_length + 1);
            } else {
                set_selection(selection_start - 1, 0);
            }
            break;
        default: break;
        }
    }
    if (on_key) on_key(this, &event);
}

void CEdit::on_key_repeat(const SDL_KeyboardEvent& event) { on_key_pressed(event); }
