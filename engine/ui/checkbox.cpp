#include "engine/ui/checkbox.h"

#include "engine/core/geometry.h"

CCheckbox::CCheckbox(CInterfaceElement* parent_, CFont* font_) : CStatefulLabel(parent_, font_) {}

CCheckbox::CCheckbox(const CCheckbox& o) : CStatefulLabel(o), on_change(o.on_change) {}

void CCheckbox::apply_state(int s) { set_state(s); }
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
