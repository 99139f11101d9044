#include "engine/ui/interface_element.h"

#include "engine/scene/sprite.h"
#include "engine/ui/interface_container.h"

CInterfaceElement::CInterfaceElement(CInterfaceElement* parent_) : parent(parent_) {}

CInterfaceElement::CInterfaceElement(const CInterfaceElement& o)
    : parent(o.parent),
      enabled(o.enabled),
      accepting_input(o.accepting_input),
      focused(false),
      horizontal_anchor(o.horizontal_anchor),
      vertical_anchor(o.vertical_anchor) {}

CSprite* CInterfaceElement::sprite_of(CInterfaceElement* element) { return dynamic_cast<CSprite*>(element); }

void CInterfaceElement::set_parent(CInterfaceElement* p) { parent = p; }
CInterfaceElement* CInterfaceElement::get_parent() { return parent; }

namespace {

// Start, centre or end of a client rect span; the plain position for any other anchor.
float anchored(int anchor, float client_pos, float client_size, float pos, float size) {
    switch (anchor) {
    case Anchor::Start: return client_pos + pos;
    case Anchor::Centre: return client_pos + (client_size - size) * 0.5f + pos;
    case Anchor::End: return client_pos + client_size - size - pos;
    default: return pos;
    }
}

}  // namespace

float CInterfaceElement::get_anchored_x(CSprite* sprite) {
    if (!sprite) return 0;
    auto* container = dynamic_cast<CInterfaceContainer*>(get_parent());
    if (!container) return sprite->get_x();
    const FloatRect client = container->get_client_rect();
    return anchored(get_horizontal_anchor(), client.x, client.width, sprite->get_x(),
                    sprite->get_width() * sprite->get_scale());
}

float CInterfaceElement::get_anchored_y(CSprite* sprite) {
    if (!sprite) return 0;
    auto* container = dynamic_cast<CInterfaceContainer*>(get_parent());
    if (!container) return sprite->get_y();
    const FloatRect client = container->get_client_rect();
    return anchored(get_vertical_anchor(), client.y, client.height, sprite->get_y(),
                    sprite->get_height() * sprite->get_scale());
}

bool CInterfaceElement::has_focus() { return focused; }
void CInterfaceElement::set_enabled(bool v) { enabled = v; }
bool CInterfaceElement::is_enabled() { return enabled; }
void CInterfaceElement::set_accepts_input(bool v) { accepting_input = v; }
bool CInterfaceElement::accepts_input() { return accepting_input; }
void CInterfaceElement::set_horizontal_anchor(int a) { horizontal_anchor = a; }
int CInterfaceElement::get_horizontal_anchor() { return horizontal_anchor; }
void CInterfaceElement::set_vertical_anchor(int a) { vertical_anchor = a; }
int CInterfaceElement::get_vertical_anchor() { return vertical_anchor; }

void CInterfaceElement::on_focus_gained() { focused = true; }
void CInterfaceElement::on_focus_lost() { focused = false; }
void CInterfaceElement::on_mouse_motion(const SDL_MouseMotionEvent&) {}
void CInterfaceElement::on_mouse_enter() {}
void CInterfaceElement::on_mouse_leave() {}
void CInterfaceElement::on_mouse_button_down(const SDL_MouseButtonEvent&) {}
void CInterfaceElement::on_mouse_button_up(const SDL_MouseButtonEvent&) {}
void CInterfaceElement::on_key_pressed(const SDL_KeyboardEvent&) {}
void CInterfaceElement::on_key_repeat(const SDL_KeyboardEvent&) {}
void CInterfaceElement::on_key_released(const SDL_KeyboardEvent&) {}

bool CInterfaceElement::passes_input_gate() {
    if (!is_enabled() || !accepts_input()) return false;
    CSprite* sprite = sprite_of(this);
    return sprite && sprite->is_visible();
}

AnchoredPlacement::AnchoredPlacement(CInterfaceElement& element, CSprite& sprite)
    : sprite_(sprite), x_(sprite.get_x()), y_(sprite.get_y()) {
    const float ax = element.get_anchored_x(&sprite);
    const float ay = element.get_anchored_y(&sprite);
    sprite_.CSprite::set_x(ax);
    sprite_.CSprite::set_y(ay);
}

AnchoredPlacement::~AnchoredPlacement() {
    sprite_.CSprite::set_x(x_);
    sprite_.CSprite::set_y(y_);
}
