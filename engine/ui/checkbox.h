#pragma once
#include <string>

#include "engine/ui/button.h"

using CheckboxChangeHandler = void (*)(CInterfaceElement* sender, const SDL_MouseButtonEvent* event, int state_before);

// A label with the button's four appearance records that toggles between unchecked (0) and
// checked (1) on a left-button release inside it; a third state (2) set from outside becomes
// checked. Every release inside it, of any button, is reported through `on_change`.
class CCheckbox : public CStatefulLabel {
public:
    CCheckbox(CInterfaceElement* parent, CFont* font);
    // A copy with its own records, state and callback; it starts without focus. List boxes
    // make their rows so.
    CCheckbox(const CCheckbox& other);
    CCheckbox& operator=(const CCheckbox&) = delete;

    virtual void apply_state(int state);
    virtual void set_checked(bool checked);
    virtual bool is_checked();
    virtual void set_on_change(CheckboxChangeHandler handler);
    virtual CheckboxChangeHandler get_on_change();

    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;

protected:
    CheckboxChangeHandler on_change = nullptr;
};
