#pragma once
#include <string>

#include "engine/ui/button.h"

class CCheckbox;
class CEdit;
class CFont;
class CInterfaceContainer;
class CLabel;
class CTextureManager;

// Builds a menu's rows of skinned widgets into one container: each call makes the widget,
// dresses it with the client's skin at the rows' height of 24 and adds it to the container.
struct MenuBuilder {
    CInterfaceContainer* into;
    CTextureManager* textures;
    CFont* font;

    CLabel* label(float width, const std::string& text) const;
    CEdit* edit(float width, const std::string& text) const;
    // 280 wide.
    CCheckbox* checkbox(const std::string& text, bool checked) const;
    CButton* button(float width, const std::string& text, ButtonClickHandler on_click) const;
};

// Sets a widget's position and anchors; returns it, so a build reads as one line.
template <typename W>
W* place(W* widget, float x, float y, int horizontal = Anchor::Start, int vertical = Anchor::Start) {
    widget->CSprite::set_x(x);
    widget->CSprite::set_y(y);
    widget->set_horizontal_anchor(horizontal);
    widget->set_vertical_anchor(vertical);
    return widget;
}
