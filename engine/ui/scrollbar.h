#pragma once
#include "engine/ui/interface_container.h"

class CButton;
class CImageSprite;

using ScrollbarChangeHandler = void (*)(CInterfaceElement* sender, float old_value, float new_value);

// A float value between a minimum and a maximum, shown by a slider on a track between a
// decrease and an increase arrow. Arrows, slider drag, the mouse wheel and arrow or keypad keys
// all change it through set_value, which clamps, rounds to the step and reports a change.
// Its four parts are its only children; its client rect is always its own rectangle.
class CScrollbar : public CInterfaceContainer {
public:
    explicit CScrollbar(CInterfaceElement* parent);

    // Places the parts from the value and the sizes; runs before every draw.
    virtual void update_layout();
    // The parts, for skinning: their sizes drive the layout.
    virtual CButton* get_decrease_button();
    virtual CButton* get_increase_button();
    virtual CButton* get_slider_button();
    virtual CImageSprite* get_track();
    // The range keeps at least one step (at least 1 with a step of 0) between its ends.
    virtual void set_minimum(float minimum);
    virtual float get_minimum();
    virtual void set_maximum(float maximum);
    virtual float get_maximum();
    // Clamped, rounded to the step grid counted from the minimum (never beyond the maximum),
    // and reported when it changed. NaN is refused.
    virtual void set_value(float value);
    virtual float get_value();
    // Stored as its absolute value.
    virtual void set_step(float step);
    virtual float get_step();
    virtual void set_vertical(bool vertical);
    virtual bool is_vertical();
    virtual void set_on_value_change(ScrollbarChangeHandler handler);
    virtual ScrollbarChangeHandler get_on_value_change();

    // The arrows' click handlers.
    static void step_down(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void step_up(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);

    void on_mouse_motion(const SDL_MouseMotionEvent& event) override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;
    void on_key_pressed(const SDL_KeyboardEvent& event) override;
    void on_key_repeat(const SDL_KeyboardEvent& event) override;
    void on_key_released(const SDL_KeyboardEvent& event) override;
    // Ignored: the client rect is always {0, 0, width, height}.
    void set_client_rect(float x, float y, float width, float height) override;
    FloatRect get_client_rect() override;

    void draw(SDL_Surface* screen) override;
    // Refused: answers -1 and adds nothing.
    int add_child(CSprite* sprite) override;
    // Refused: the parts stay.
    void remove_child(int index) override;

protected:
    // Pixels along the bar that the slider can travel: the length less both arrows and the
    // slider.
    float free_track_length();

    CButton* decrease_button = nullptr;
    CButton* increase_button = nullptr;
    CButton* slider_button = nullptr;
    CImageSprite* track = nullptr;
    float drag_start_x = 0;
    float drag_start_y = 0;
    float drag_start_value = 0;
    float minimum = 0;
    float maximum = 100;
    float value = 0;
    float step = 1;
    bool vertical = false;
    ScrollbarChangeHandler on_value_change = nullptr;

private:
    static constexpr int kMaxRangeNesting = 4;
    int range_nesting = 0;
};
