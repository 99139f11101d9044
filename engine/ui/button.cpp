#include "engine/ui/button.h"

#include "engine/core/geometry.h"

void apply_button_appearance(CLabelSprite& label, const ButtonAppearance& a) {
    // Colour and font render the text again; skip them when nothing changes, since list rows
    // are given their state on every frame.
    const ColorRGB current = label.get_text_color();
    if (current.r != a.text_color.r || current.g != a.text_color.g || current.b != a.text_color.b)
        label.set_text_color(a.text_color);
    if (label.get_font() != a.font) label.set_font(a.font);
    label.set_first_frame(a.first_frame);
    label.set_last_frame(a.last_frame);
    label.set_animation_speed(a.animation_speed);
    label.set_frame(float(a.first_frame));
    label.set_playing(label.get_first_frame() != label.get_last_frame());
    label.set_text(a.text);
}

CStatefulLabel::CStatefulLabel(CInterfaceElement* parent_, CFont* font_) : CLabel(parent_, font_) {
    for (ButtonAppearance& a : appearances) a.font = font_;
    set_state(ButtonState::Normal);
}

CStatefulLabel::CStatefulLabel(const CStatefulLabel& o) : CLabel(o) {
    for (int i = 0; i < ButtonState::Count; ++i) appearances[i] = o.appearances[i];
    set_state(o.state);
}

void CStatefulLabel::set_state(int s) {
    if (!ButtonState::is_valid(s)) return;
    state = s;
    apply_button_appearance(*this, appearances[s]);
}

ButtonAppearance* CStatefulLabel::get_appearance(int s) { return ButtonState::is_valid(s) ? &appearances[s] : nullptr; }

void CStatefulLabel::set_appearance(ColorRGB text_color, CFont* font_, int first, int last, float speed,
                                    std::string text_) {
    set_appearance(ButtonAppearance{text_color, font_, first, last, speed, std::move(text_)});
}

void CStatefulLabel::set_appearance(const ButtonAppearance& a) {
    for (ButtonAppearance& record : appearances) record = a;
    refresh_appearance();
}

void CStatefulLabel::refresh_appearance() { set_state(state); }

void CStatefulLabel::set_state_look(int s, ColorRGB text_color, int frame) {
    if (ButtonAppearance* look = get_appearance(s)) {
        look->text_color = text_color;
        look->first_frame = frame;
        look->last_frame = frame;
    }
}
int CStatefulLabel::get_state() { return state; }

CButton::CButton(CInterfaceElement* parent_, CFont* font_) : CStatefulLabel(parent_, font_) {}

void CButton::set_enabled(bool v) {
    CLabel::set_enabled(v);
    set_state(v ? ButtonState::Normal : ButtonState::Disabled);
}

void CButton::on_focus_lost() {
    // The focus flag stays as it is: only the look returns to rest.
    set_state(is_enabled() ? ButtonState::Normal : ButtonState::Disabled);
}

void CButton::on_mouse_enter() {
    if (!passes_input_gate()) return;
    if (state != ButtonState::Pressed) set_state(ButtonState::Hover);
}

void CButton::on_mouse_leave() {
    if (!passes_input_gate()) return;
    if (state != ButtonState::Pressed) set_state(ButtonState::Normal);
}

void CButton::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    if (event.button == SDL_BUTTON_LEFT) set_state(ButtonState::Pressed);
}

void CButton::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    if (event.button != SDL_BUTTON_LEFT) return;
    if (point_in_quad({float(event.x), float(event.y)}, get_global_quad())) {
        set_state(ButtonState::Hover);
        // Last: the handler may close the screen this button belongs to.
        if (on_click) on_click(this, &event);
    } else {
        set_state(ButtonState::Normal);
    }
}
