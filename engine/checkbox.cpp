#include "engine/checkbox.h"

#include "engine/geometry.h"

CCheckbox::CCheckbox(CInterfaceElement* parent_, CFont* font_) : CLabel(parent_, font_) {
    for (ButtonAppearance& a : appearances) a.font = font_;
    set_state(0);
}

CCheckbox::CCheckbox(const CCheckbox& o) : CLabel(o), on_change(o.on_change) {
    for (int i = 0; i < ButtonState::Count; ++i) appearances[i] = o.appearances[i];
    set_state(o.state);
}

void CCheckbox::set_state(int s) {
    if (!ButtonState::is_valid(s)) return;
    state = s;
    apply_button_appearance(*this, appearances[s]);
}

ButtonAppearance* CCheckbox::get_appearance(int s) {
    return ButtonState::is_valid(s) ? &appearances[s] : nullptr;
}

void CCheckbox::set_appearance(ColorRGB text_color, CFont* font_, int first, int last, float speed,
                               std::string text_) {
    set_appearance(ButtonAppearance{text_color, font_, first, last, speed, std::move(text_)});
}

void CCheckbox::set_appearance(const ButtonAppearance& a) {
    for (ButtonAppearance& record : appearances) record = a;
    refresh_appearance();
}

void CCheckbox::refresh_appearance() { set_state(state); }
void CCheckbox::apply_state(int s) { set_state(s); }
int CCheckbox::get_state() { return state; }
void CCheckbox::set_checked(bool checked) { apply_state(checked ? 1 : 0); }
bool CCheckbox::is_checked() { return state == 1; }
void CCheckbox::set_on_change(CheckboxChangeHandler handler) { on_change = handler; }
CheckboxChangeHandler CCheckbox::get_on_change() { return on_change; }

void CCheckbox::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    if (!point_in_quad({float(event.x), float(event.y)}, get_global_quad())) return;
    const int before = state;
    if (event.button == SDL_BUTTON_LEFT) {
        if (before == 0 || before == 2) set_state(1);
        else if (before == 1) set_state(0);
    }
    // Last: the handler may remove this check box (a list row, say).
    if (on_change) on_change(this, &event, before);
}
