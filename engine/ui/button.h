#pragma once
#include <string>

#include "engine/ui/label.h"

class CFont;

// The look a button or check box is in; the index of its appearance record.
struct ButtonState {
    enum : int {
        Normal = 0,    // button idle; check box unchecked
        Hover = 1,     // button under the mouse; check box checked
        Pressed = 2,   // button held with the left button; a check box's third state
        Disabled = 3,  // button disabled
    };
    static constexpr int Count = 4;
    static bool is_valid(int state) { return state >= 0 && state < Count; }
};

// How a button or check box looks in one state, applied to its label sprite.
struct ButtonAppearance {
    ColorRGB text_color;
    CFont* font = nullptr;
    int first_frame = 0;
    int last_frame = 0;
    float animation_speed = 0;  // frames per second
    std::string text;
};

// Sets the record's colour, font, frame range, speed and text on the label; the animation
// plays only when the range read back holds more than one frame.
void apply_button_appearance(CLabelSprite& label, const ButtonAppearance& appearance);

using ButtonClickHandler = void (*)(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);

// A label with four appearance records, showing the one of its current state: what buttons
// and check boxes share.
class CStatefulLabel : public CLabel {
public:
    CStatefulLabel(CInterfaceElement* parent, CFont* font);
    // A copy with its own records and state.
    CStatefulLabel(const CStatefulLabel& other);
    CStatefulLabel& operator=(const CStatefulLabel&) = delete;

    // A state outside the four is refused.
    virtual void set_state(int state);
    // The record of a state, for changing in place (shown after refresh_appearance); null for
    // a state outside the four.
    virtual ButtonAppearance* get_appearance(int state);
    // One frame and text colour for a state (a skin's one-frame-per-state look); a state outside
    // the four is ignored. Shown after refresh_appearance.
    void set_state_look(int state, ColorRGB text_color, int frame);
    // The same record into all four states, then refresh_appearance.
    virtual void set_appearance(ColorRGB text_color, CFont* font, int first_frame, int last_frame,
                                float animation_speed, std::string text);
    virtual void set_appearance(const ButtonAppearance& appearance);
    virtual void refresh_appearance();
    virtual int get_state();

protected:
    int state = ButtonState::Normal;
    ButtonAppearance appearances[ButtonState::Count];
};

// A label that shows its state (normal, hover, pressed, disabled) and reports a left-button
// release inside it through `on_click`. A press followed by a release elsewhere does not click.
class CButton : public CStatefulLabel {
public:
    CButton(CInterfaceElement* parent, CFont* font);
    CButton(const CButton&) = delete;
    CButton& operator=(const CButton&) = delete;

    void set_enabled(bool enabled) override;
    void on_focus_lost() override;
    void on_mouse_enter() override;
    void on_mouse_leave() override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;

    ButtonClickHandler on_click = nullptr;
};
