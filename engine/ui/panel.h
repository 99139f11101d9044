#pragma once
#include "engine/ui/interface_container.h"

class CImageSprite;

// A container with a background image that covers its own rectangle; when made draggable, a
// left-button press on its free area drags it with the mouse, one step per frame.
class CPanel : public CInterfaceContainer {
public:
    CPanel(CInterfaceElement* parent, CTextureManager* textures);
    ~CPanel() override;

    virtual void set_draggable(bool draggable);
    virtual bool is_draggable();
    // The image a skin textures; owned by the panel and not one of its children.
    CImageSprite* get_background() { return background; }

    void on_mouse_button_down(const SDL_MouseButtonEvent& event) override;
    void on_mouse_button_up(const SDL_MouseButtonEvent& event) override;
    void draw(SDL_Surface* screen) override;
    void update(float dt) override;

protected:
    CImageSprite* background = nullptr;
    int drag_last_x = 0;
    int drag_last_y = 0;
    bool dragging = false;
    bool draggable = false;

private:
    // The five conditions under which a drag moves the panel (or may start).
    bool may_drag();
};
