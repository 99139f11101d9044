#include "engine/ui/scrollbar.h"

#include <cmath>

#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"

CScrollbar::CScrollbar(CInterfaceElement* parent_) : CInterfaceContainer(parent_, nullptr) {
    track = new CImageSprite(this);
    decrease_button = new CButton(this, nullptr);
    increase_button = new CButton(this, nullptr);
    slider_button = new CButton(this, nullptr);
    CInterfaceContainer::add_child(track);
    CInterfaceContainer::add_child(decrease_button);
    CInterfaceContainer::add_child(increase_button);
    CInterfaceContainer::add_child(slider_button);
    // The layout sets these too; set now, the arrows work before the first frame is drawn.
    decrease_button->on_click = &CScrollbar::step_down;
    increase_button->on_click = &CScrollbar::step_up;
}

CButton* CScrollbar::get_decrease_button() { return decrease_button; }
CButton* CScrollbar::get_increase_button() { return increase_button; }
CButton* CScrollbar::get_slider_button() { return slider_button; }
CImageSprite* CScrollbar::get_track() { return track; }

int CScrollbar::add_child(CSprite*) { return -1; }
void CScrollbar::remove_child(int) {}

void CScrollbar::set_client_rect(float, float, float, float) {}
FloatRect CScrollbar::get_client_rect() { return {0, 0, get_width(), get_height()}; }

// --- value and range ---

void CScrollbar::set_value(float v) {
    if (std::isnan(v)) return;
    const float old = value;
    if (v < minimum) v = minimum;
    if (v > maximum) v = maximum;
    if (step != 0) {
        const double s = step, lo = minimum;
        v = float(lo + s * std::floor((double(v) - lo + s * 0.5) / s));
        // Rounding up may pass the maximum when the range is not a multiple of the step:
        // take the last grid point inside the range instead.
        if (v > maximum) v = float(lo + s * std::floor((double(maximum) - lo) / s));
        if (v > maximum) v = maximum;
        if (v < minimum) v = minimum;
    }
    value = v;
    if (value != old && on_value_change) on_value_change(this, old, value);
}

float CScrollbar::get_value() { return value; }

void CScrollbar::set_minimum(float m) {
    if (std::isnan(m)) return;
    minimum = m;
    // The two setters call each other; where float precision keeps them from agreeing, the
    // nesting bound ends the exchange.
    if (range_nesting < kMaxRangeNesting) {
        ++range_nesting;
        if (m + step > maximum) {
            set_maximum(m + step);
        } else if (maximum == m && step == 0) {
            set_maximum(m + 1);
        }
        --range_nesting;
    }
    if (value < minimum || value > maximum) set_value(value);
}

float CScrollbar::get_minimum() { return minimum; }

void CScrollbar::set_maximum(float m) {
    if (std::isnan(m)) return;
    maximum = m;
    if (range_nesting < kMaxRangeNesting) {
        ++range_nesting;
        if (minimum > m - step) {
            set_minimum(m - step);
        } else if (minimum == m && step == 0) {
            set_minimum(m - 1);
        }
        --range_nesting;
    }
    if (value < minimum || value > maximum) set_value(value);
}

float CScrollbar::get_maximum() { return maximum; }

void CScrollbar::set_step(float s) {
    if (std::isnan(s)) return;
    step = std::fabs(s);
}

float CScrollbar::get_step() { return step; }
void CScrollbar::set_vertical(bool v) { vertical = v; }
bool CScrollbar::is_vertical() { return vertical; }
void CScrollbar::set_on_value_change(ScrollbarChangeHandler handler) { on_value_change = handler; }
ScrollbarChangeHandler CScrollbar::get_on_value_change() { return on_value_change; }

void CScrollbar::step_down(CInterfaceElement* sender, const SDL_MouseButtonEvent* event) {
    auto* bar = sender ? dynamic_cast<CScrollbar*>(sender->get_parent()) : nullptr;
    if (!bar || !event || event->button != SDL_BUTTON_LEFT) return;
    bar->set_value(bar->get_value() - bar->get_step());
}

void CScrollbar::step_up(CInterfaceElement* sender, const SDL_MouseButtonEvent* event) {
    auto* bar = sender ? dynamic_cast<CScrollbar*>(sender->get_parent()) : nullptr;
    if (!bar || !event || event->button != SDL_BUTTON_LEFT) return;
    bar->set_value(bar->get_value() + bar->get_step());
}

// --- layout ---

float CScrollbar::free_track_length() {
    if (vertical) {
        return get_height() - decrease_button->get_height() - increase_button->get_height() -
               slider_button->get_height();
    }
    return get_width() - decrease_button->get_width() - increase_button->get_width() - slider_button->get_width();
}

void CScrollbar::update_layout() {
    for (CButton* arrow : {decrease_button, increase_button}) {
        arrow->set_x(0);
        arrow->set_y(0);
        arrow->set_scale(1);
    }
    decrease_button->on_click = &CScrollbar::step_down;
    increase_button->on_click = &CScrollbar::step_up;
    slider_button->set_scale(1);

    const float W = get_width(), H = get_height();
    const float range = maximum - minimum;
    // The range setters keep it above 0; a range lost to float precision shows the start.
    const float f = range > 0 ? (value - minimum) / range : 0.0f;
    const float free_length = free_track_length();
    if (vertical) {
        decrease_button->set_horizontal_anchor(Anchor::Centre);
        decrease_button->set_vertical_anchor(Anchor::Start);
        increase_button->set_horizontal_anchor(Anchor::Centre);
        increase_button->set_vertical_anchor(Anchor::End);
        slider_button->set_x(0);
        slider_button->set_y(decrease_button->get_height() + f * free_length);
        slider_button->set_horizontal_anchor(Anchor::Centre);
        slider_button->set_vertical_anchor(Anchor::Start);
        track->set_height(H - decrease_button->get_height() - increase_button->get_height());
        track->set_x((W - track->get_width()) * 0.5f);
        track->set_y(decrease_button->get_height());
    } else {
        decrease_button->set_horizontal_anchor(Anchor::Start);
        decrease_button->set_vertical_anchor(Anchor::Centre);
        increase_button->set_horizontal_anchor(Anchor::End);
        increase_button->set_vertical_anchor(Anchor::Centre);
        slider_button->set_x(decrease_button->get_width() + f * free_length);
        slider_button->set_y(0);
        slider_button->set_horizontal_anchor(Anchor::Start);
        slider_button->set_vertical_anchor(Anchor::Centre);
        track->set_width(W - decrease_button->get_width() - increase_button->get_width());
        track->set_x(decrease_button->get_width());
        track->set_y((H - track->get_height()) * 0.5f);
    }
}

void CScrollbar::draw(SDL_Surface* screen) {
    update_layout();
    CInterfaceContainer::draw(screen);
}

// --- input ---

void CScrollbar::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_mouse_button_down(event);
    switch (event.button) {
    case SDL_BUTTON_LEFT:
        drag_start_x = float(event.x);
        drag_start_y = float(event.y);
        drag_start_value = value;
        break;
    case SDL_BUTTON_WHEELUP: set_value(vertical ? value - step : value + step); break;
    case SDL_BUTTON_WHEELDOWN: set_value(vertical ? value + step : value - step); break;
    default: break;
    }
}

void CScrollbar::on_mouse_motion(const SDL_MouseMotionEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_mouse_motion(event);
    if (slider_button->get_state() != ButtonState::Pressed) return;
    // A track with no room for the slider to move has nothing to drag along.
    const float free_length = free_track_length();
    if (!(free_length > 0)) return;
    const float moved = vertical ? float(event.y) - drag_start_y : float(event.x) - drag_start_x;
    set_value(drag_start_value + (maximum - minimum) * moved / free_length);
}

void CScrollbar::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_mouse_button_up(event);
}

void CScrollbar::on_key_pressed(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_key_pressed(event);
    switch (event.keysym.sym) {
    case SDLK_KP_MINUS: set_value(value - step); break;
    case SDLK_KP_PLUS: set_value(value + step); break;
    case SDLK_RIGHT:
        if (!vertical) set_value(value + step);
        break;
    case SDLK_LEFT:
        if (!vertical) set_value(value - step);
        break;
    case SDLK_UP:
        if (vertical) set_value(value - step);
        break;
    case SDLK_DOWN:
        if (vertical) set_value(value + step);
        break;
    default: break;
    }
}

void CScrollbar::on_key_repeat(const SDL_KeyboardEvent& event) { on_key_pressed(event); }

void CScrollbar::on_key_released(const SDL_KeyboardEvent& event) {
    if (!passes_input_gate()) return;
    CInterfaceContainer::on_key_released(event);
}
