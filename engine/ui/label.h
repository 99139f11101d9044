#pragma once
#include "engine/scene/label_sprite.h"
#include "engine/ui/interface_element.h"

class CFont;

// A text widget: drawn and hit-tested at its anchored position. It ignores input.
class CLabel : public CInterfaceElement, public CLabelSprite {
public:
    CLabel(CInterfaceElement* parent, CFont* font);
    CLabel(const CLabel& other);
    CLabel& operator=(const CLabel&) = delete;

    IntRect get_anchored_bounds() override;
    IntRect get_anchored_absolute_bounds() override;

    void draw_image(SDL_Surface* screen) override;
    // The anchored rectangles, so the global quad (and every hit test) is where the label is.
    IntRect get_bounds() override;
    IntRect get_absolute_bounds() override;
};
