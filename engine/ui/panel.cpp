#include "engine/ui/panel.h"

#include "engine/scene/image_sprite.h"

CPanel::CPanel(CInterfaceElement* parent_, CTextureManager* textures)
    : CInterfaceContainer(parent_, textures), background(new CImageSprite(this)) {}

CPanel::~CPanel() {
    delete background;
    background = nullptr;
}

void CPanel::set_draggable(bool v) { draggable = v; }
bool CPanel::is_draggable() { return draggable; }

bool CPanel::may_drag() { return is_visible() && is_enabled() && accepts_input() && is_draggable() && has_focus(); }

void CPanel::draw(SDL_Surface* screen) {
    background->set_scale(1.0f);
    background->set_width(get_width());
    background->set_height(get_height());
    background->set_x(0);
    background->set_y(0);
    background->draw(screen);
    CInterfaceContainer::draw(screen);
}

void CPanel::update(float dt) {
    background->update(dt);
    CSpriteManager::update(dt);
    if (!dragging || !may_drag()) return;
    int mx = 0, my = 0;
    SDL_GetMouseState(&mx, &my);
    set_absolute_x(get_absolute_x() + float(mx - drag_last_x));
    set_absolute_y(get_absolute_y() + float(my - drag_last_y));
    drag_last_x = mx;
    drag_last_y = my;
}

void CPanel::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    CInterfaceContainer::on_mouse_button_down(event);
    if (!may_drag() || event.button != SDL_BUTTON_LEFT) return;
    // A press that reached a child widget is the child's.
    if (get_focused_child() < 0) {
        dragging = true;
        drag_last_x = event.x;
        drag_last_y = event.y;
    }
}

void CPanel::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    CInterfaceContainer::on_mouse_button_up(event);
    if (event.button == SDL_BUTTON_LEFT) dragging = false;
}
