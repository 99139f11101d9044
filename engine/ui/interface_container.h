#pragma once
#include "engine/scene/sprite_manager.h"
#include "engine/ui/interface_element.h"

class CTextureManager;

// A widget that holds widgets and plain sprites as children (addressed by child index). It
// anchors and clips them to its client rect, routes mouse events to the candidate child under
// the cursor and key events to the focused child, and keeps the focused and hovered child.
// Every screen and every panel is one.
class CInterfaceContainer : public CInterfaceElement, public CSpriteManager {
public:
    CInterfaceContainer(CInterfaceElement* parent, CTextureManager* textures);
    CInterfaceContainer(const CInterfaceContainer&) = delete;
    CInterfaceContainer& operator=(const CInterfaceContainer&) = delete;

    // Element side.
    IntRect get_anchored_bounds() override;
    IntRect get_anchored_absolute_bounds() override;
    void on_focus_gained() override;
    void on_focus_lost() override;
    void on_mouse_motion(const SDL_MouseMotionEvent& event) override;
    void on_mouse_leave() override;
    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;
    void on_key_pressed(const SDL_KeyboardEvent& event) override;
    void on_key_repeat(const SDL_KeyboardEvent& event) override;
    void on_key_released(const SDL_KeyboardEvent& event) override;

    // Relative to this container; children are anchored in it and clipped to it.
    virtual void set_client_rect(float x, float y, float width, float height);
    virtual FloatRect get_client_rect();
    // Out-of-range indexes become -1. A change tells the old child it lost focus (or the
    // mouse) and the new one that it gained it.
    virtual void set_focused_child(int index);
    virtual int get_focused_child();
    virtual void set_hovered_child(int index);
    virtual int get_hovered_child();

    // Sprite side: conversions and hit tests see the container at its anchored place.
    fvec2d point_to_global(fvec2d point) override;
    fvec2d point_to_local(fvec2d point) override;
    // Resizing moves the client rect's size by the same amount.
    void set_width(float width) override;
    void set_height(float height) override;
    // Draws the children clipped to the client rect (and to the viewport already in place).
    void draw(SDL_Surface* screen) override;
    fquad2d get_global_quad() override;
    // A widget added whose parent element is not one of the children gets this container as
    // its parent element.
    int add_child(CSprite* sprite) override;
    // A removed child that was focused or hovered leaves no index behind that names it (the
    // slot may be refilled by another child, which never gained focus).
    void remove_child(int index) override;
    void remove_all_children() override;

    // The child at the index is a widget (false for an empty or out-of-range slot).
    bool is_element_child(int index);
    // The widget at the index, or null.
    CInterfaceElement* get_element_child(int index);

    // Switch for the particle editor: a pressed child is also brought to the front of its
    // container's child order (drawn last, and first among equals in hit tests). Process-wide.
    static void set_pressed_child_to_front(bool on);
    static bool get_pressed_child_to_front();

protected:
    // The index of the candidate child (a visible widget that accepts input) under the point
    // that wins: highest relative z, the later child among equals. -1 when none.
    int candidate_child_at(float x, float y);
    // The point lies in the anchored absolute bounds, edges included.
    bool holds_point(float x, float y);
    void bring_to_front(int index);

    FloatRect client_rect;
    int focused_child = -1;
    int hovered_child = -1;

private:
    static bool pressed_child_to_front;
};
