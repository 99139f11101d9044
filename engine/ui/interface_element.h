#pragma once
#include <SDL/SDL.h>

#include "engine/scene/image_sprite.h"

class CSprite;

// Placement of a widget inside its parent's client rect, per axis. An int, so that widgets
// store and compare it as one.
struct Anchor {
    enum : int {
        Start = 0,   // client.x + x
        Centre = 1,  // centred in the client rect, then moved by x
        End = 2,     // far edge x pixels inside the client rect's far edge
    };
};

// Four floats: a container's client rect, or where characters of an edit lie.
struct FloatRect {
    float x = 0, y = 0, width = 0, height = 0;
};

// The widget side of every widget. A widget class derives from this first and from a sprite
// class second, so the element tree (parent elements, focus, input) and the sprite tree
// (position, size, drawing) coincide: the constructor hands the parent's sprite part to the
// sprite base. Both bases name a parent, so widget code says which one it means.
class CInterfaceElement {
public:
    explicit CInterfaceElement(CInterfaceElement* parent);
    virtual ~CInterfaceElement() = default;
    CInterfaceElement& operator=(const CInterfaceElement&) = delete;

    virtual void set_parent(CInterfaceElement* parent);
    virtual CInterfaceElement* get_parent();
    // The sprite's x (or y) resolved by this element's anchor in the parent's client rect; the
    // plain value without a parent container or with an unknown anchor.
    virtual float get_anchored_x(CSprite* sprite);
    virtual float get_anchored_y(CSprite* sprite);
    virtual bool has_focus();
    virtual void set_enabled(bool enabled);
    virtual bool is_enabled();
    virtual void set_accepts_input(bool accepts);
    virtual bool accepts_input();
    virtual void set_horizontal_anchor(int anchor);
    virtual int get_horizontal_anchor();
    virtual void set_vertical_anchor(int anchor);
    virtual int get_vertical_anchor();
    virtual IntRect get_anchored_bounds() = 0;
    // The rectangle mouse hit tests use.
    virtual IntRect get_anchored_absolute_bounds() = 0;

    virtual void on_focus_gained();
    virtual void on_focus_lost();
    virtual void on_mouse_motion(const SDL_MouseMotionEvent& event);
    virtual void on_mouse_enter();
    virtual void on_mouse_leave();
    virtual void on_mouse_button_down(const SDL_MouseButtonEvent& event);
    virtual void on_mouse_button_up(const SDL_MouseButtonEvent& event);
    virtual void on_key_pressed(const SDL_KeyboardEvent& event);
    virtual void on_key_repeat(const SDL_KeyboardEvent& event);
    virtual void on_key_released(const SDL_KeyboardEvent& event);

    // The sprite part of a widget (null for an element that has none).
    static CSprite* sprite_of(CInterfaceElement* element);

protected:
    // Copies the parent, both gates and both anchors; a copy starts without focus.
    CInterfaceElement(const CInterfaceElement& other);

    // What every input handler asks first: enabled, accepting input and visible.
    bool passes_input_gate();

    CInterfaceElement* parent = nullptr;
    bool enabled = true;
    bool accepting_input = true;
    bool focused = false;
    int horizontal_anchor = Anchor::Start;
    int vertical_anchor = Anchor::Start;
};

// Moves a widget's sprite to its anchored place for the lifetime of the guard, so that a plain
// sprite operation run meanwhile sees the widget where it is drawn and hit.
class AnchoredPlacement {
public:
    AnchoredPlacement(CInterfaceElement& element, CSprite& sprite);
    ~AnchoredPlacement();
    AnchoredPlacement(const AnchoredPlacement&) = delete;
    AnchoredPlacement& operator=(const AnchoredPlacement&) = delete;

private:
    CSprite& sprite_;
    float x_;
    float y_;
};
