#include "engine/ui/label.h"

CLabel::CLabel(CInterfaceElement* parent_, CFont* font_)
    : CInterfaceElement(parent_), CLabelSprite(sprite_of(parent_), font_) {}

CLabel::CLabel(const CLabel& o) : CInterfaceElement(o), CLabelSprite(o) {}

IntRect CLabel::get_anchored_bounds() {
    AnchoredPlacement placed(*this, *this);
    return CImageSprite::get_bounds();
}

IntRect CLabel::get_anchored_absolute_bounds() {
    AnchoredPlacement placed(*this, *this);
    return CImageSprite::get_absolute_bounds();
}

IntRect CLabel::get_bounds() { return get_anchored_bounds(); }
IntRect CLabel::get_absolute_bounds() { return get_anchored_absolute_bounds(); }

void CLabel::draw_image(SDL_Surface* screen) {
    AnchoredPlacement placed(*this, *this);
    CLabelSprite::draw_image(screen);
}
