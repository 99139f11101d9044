#include "engine/ui/interface_container.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "engine/core/saturate.h"
#include "engine/gfx/viewport.h"

bool CInterfaceContainer::pressed_child_to_front = false;

void CInterfaceContainer::set_pressed_child_to_front(bool on) { pressed_child_to_front = on; }
bool CInterfaceContainer::get_pressed_child_to_front() { return pressed_child_to_front; }

CInterfaceContainer::CInterfaceContainer(CInterfaceElement* parent_, CTextureManager* textures)
    : CInterfaceElement(parent_), CSpriteManager(sprite_of(parent_), textures) {}

// --- geometry ---

IntRect CInterfaceContainer::get_anchored_bounds() {
    const float ax = get_anchored_x(this);
    const float ay = get_anchored_y(this);
    return {saturate_cast<int>(ax), saturate_cast<int>(ay), saturate_cast<int>(get_width()),
            saturate_cast<int>(get_height())};
}

IntRect CInterfaceContainer::get_anchored_absolute_bounds() {
    AnchoredPlacement placed(*this, *this);
    return {saturate_cast<int>(get_absolute_x()), saturate_cast<int>(get_absolute_y()),
            saturate_cast<int>(get_absolute_width()), saturate_cast<int>(get_absolute_height())};
}

fvec2d CInterfaceContainer::point_to_global(fvec2d point) {
    AnchoredPlacement placed(*this, *this);
    return CSprite::point_to_global(point);
}

fvec2d CInterfaceContainer::point_to_local(fvec2d point) {
    AnchoredPlacement placed(*this, *this);
    return CSprite::point_to_local(point);
}

fquad2d CInterfaceContainer::get_global_quad() {
    const IntRect b = get_anchored_absolute_bounds();
    return fquad2d::from_rect(float(b.x), float(b.y), float(b.width), float(b.height));
}

void CInterfaceContainer::set_client_rect(float x, float y, float w, float h) { client_rect = {x, y, w, h}; }

FloatRect CInterfaceContainer::get_client_rect() { return client_rect; }

void CInterfaceContainer::set_width(float w) {
    // A refused size must not move the client rect either.
    if (!(w >= 0)) return;
    const FloatRect c = get_client_rect();
    set_client_rect(c.x, c.y, c.width + (w - get_width()), c.height);
    CSpriteManager::set_width(w);
}

void CInterfaceContainer::set_height(float h) {
    if (!(h >= 0)) return;
    const FloatRect c = get_client_rect();
    set_client_rect(c.x, c.y, c.width, c.height + (h - get_height()));
    CSpriteManager::set_height(h);
}

// --- drawing ---

void CInterfaceContainer::draw(SDL_Surface* screen) {
    if (!is_visible()) return;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float vx = float(viewport[0]);
    const float vy = float(CViewport::window_height - (viewport[1] + viewport[3]));
    const float vw = float(viewport[2]);
    const float vh = float(viewport[3]);

    float cx, cy, cw, ch;
    {
        AnchoredPlacement placed(*this, *this);
        const FloatRect c = get_client_rect();
        const float scale = get_absolute_scale();
        cx = c.x + get_absolute_x();
        cy = c.y + get_absolute_y();
        cw = c.width * scale;
        ch = c.height * scale;
    }
    if (!(cx + cw > vx && cy + ch > vy && vx + vw > cx && vy + vh > cy)) return;

    const float left = std::max(cx, vx);
    const float top = std::max(cy, vy);
    const float right = std::min(cx + cw, vx + vw);
    const float bottom = std::min(cy + ch, vy + vh);
    const int l = int(std::floor(left));
    const int t = int(std::floor(top));
    const int w = int(std::ceil(right)) - l;
    const int h = int(std::ceil(bottom)) - t;
    if (!CViewport::setup_projection(l, t, w, h, float(l), float(t), float(w), float(h))) return;
    CSpriteManager::draw(screen);
    CViewport::setup_projection(int(vx), int(vy), int(vw), int(vh), vx, vy, vw, vh);
}

// --- children ---

int CInterfaceContainer::add_child(CSprite* sprite) {
    if (!sprite || sprite == this) return -1;
    if (auto* element = dynamic_cast<CInterfaceElement*>(sprite)) {
        CSprite* parent_sprite = sprite_of(element->get_parent());
        if (!parent_sprite || find_child(parent_sprite) < 0) element->set_parent(this);
    }
    return CSpriteManager::add_child(sprite);
}

void CInterfaceContainer::remove_child(int index) {
    if (index >= 0 && index == focused_child) focused_child = -1;
    if (index >= 0 && index == hovered_child) hovered_child = -1;
    CSpriteManager::remove_child(index);
}

void CInterfaceContainer::remove_all_children() {
    focused_child = -1;
    hovered_child = -1;
    CSpriteManager::remove_all_children();
}

bool CInterfaceContainer::is_element_child(int index) { return get_element_child(index) != nullptr; }

CInterfaceElement* CInterfaceContainer::get_element_child(int index) {
    return dynamic_cast<CInterfaceElement*>(get_child(index));
}

// --- focus and hover ---

void CInterfaceContainer::set_focused_child(int index) {
    if (index < 0 || index >= get_child_count()) index = -1;
    if (index == focused_child) return;
    if (CInterfaceElement* old = get_element_child(focused_child)) old->on_focus_lost();
    if (CInterfaceElement* now = get_element_child(index)) now->on_focus_gained();
    focused_child = index;
}

int CInterfaceContainer::get_focused_child() { return focused_child; }

void CInterfaceContainer::set_hovered_child(int index) {
    if (index < 0 || index >= get_child_count()) index = -1;
    if (index == hovered_child) return;
    if (CInterfaceElement* old = get_element_child(hovered_child)) old->on_mouse_leave();
    if (CInterfaceElement* now = get_element_child(index)) now->on_mouse_enter();
    hovered_child = index;
}

int CInterfaceContainer::get_hovered_child() { return hovered_child; }

void CInterfaceContainer::on_focus_gained() {
    focused = true;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_focus_gained();
}

void CInterfaceContainer::on_focus_lost() {
    focused = false;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_focus_lost();
}

// --- mouse and keys ---

bool CInterfaceContainer::holds_point(float px, float py) {
    const IntRect b = get_anchored_absolute_bounds();
    return float(b.x) <= px && px <= float(b.x) + float(b.width) && float(b.y) <= py &&
           py <= float(b.y) + float(b.height);
}

int CInterfaceContainer::candidate_child_at(float px, float py) {
    std::vector<CSprite*> hits = get_children_at(px, py);
    std::vector<CSprite*> candidates;
    for (CSprite* sprite : hits) {
        auto* element = dynamic_cast<CInterfaceElement*>(sprite);
        if (element && sprite->is_visible() && element->accepts_input()) candidates.push_back(sprite);
    }
    if (candidates.empty()) return -1;
    // The draw list's sort: stable bubble sort by relative z, so the later child wins a tie.
    std::size_t unsorted = candidates.size();
    bool swapped = true;
    while (swapped && unsorted > 1) {
        swapped = false;
        for (std::size_t i = 0; i + 1 < unsorted; ++i) {
            if (candidates[i]->get_z() > candidates[i + 1]->get_z()) {
                std::swap(candidates[i], candidates[i + 1]);
                swapped = true;
            }
        }
        --unsorted;
    }
    return find_child(candidates.back());
}

void CInterfaceContainer::bring_to_front(int index) {
    CSprite* child = get_child(index);
    if (!child) return;
    auto at = std::find(draw_list.begin(), draw_list.end(), child);
    if (at == draw_list.end()) return;
    draw_list.erase(at);
    draw_list.push_back(child);
}

void CInterfaceContainer::on_mouse_motion(const SDL_MouseMotionEvent& event) {
    if (!passes_input_gate()) return;
    const float px = float(event.x), py = float(event.y);
    if (!holds_point(px, py)) return;
    const int index = candidate_child_at(px, py);
    if (index >= 0) {
        set_hovered_child(index);
        if (CInterfaceElement* child = get_element_child(index)) child->on_mouse_motion(event);
        return;
    }
    // A widget being dragged keeps receiving motion while the cursor is over no candidate.
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_mouse_motion(event);
    set_hovered_child(-1);
}

void CInterfaceContainer::on_mouse_leave() {
    if (!passes_input_gate()) return;
    if (CInterfaceElement* child = get_element_child(hovered_child)) child->on_mouse_leave();
    hovered_child = -1;
}

void CInterfaceContainer::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    const float px = float(event.x), py = float(event.y);
    if (!holds_point(px, py)) return;
    const int index = candidate_child_at(px, py);
    if (index < 0) {
        set_focused_child(-1);
        return;
    }
    set_focused_child(index);
    if (pressed_child_to_front) bring_to_front(index);
    // A focus-lost hook may have changed the children meanwhile: ask the slot again.
    if (CInterfaceElement* child = get_element_child(index)) child->on_mouse_button_down(event);
}

void CInterfaceContainer::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_mouse_button_up(event);
}

void CInterfaceContainer::on_key_pressed(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_key_pressed(event);
}

void CInterfaceContainer::on_key_repeat(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_key_repeat(event);
}

void CInterfaceContainer::on_key_released(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    if (CInterfaceElement* child = get_element_child(focused_child)) child->on_key_released(event);
}
