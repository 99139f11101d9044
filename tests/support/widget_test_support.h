#pragma once
// Helpers of the widget suites: SDL events as the framework delivers them, and a label that
// records every input call it receives.
#include <SDL/SDL.h>

#include <array>
#include <string>
#include <vector>

#include "engine/ui/interface_container.h"
#include "engine/ui/label.h"

namespace test_support {

// A rectangle as x, y, width and height, to compare in one go.
inline std::array<int, 4> box(const IntRect& r) { return {r.x, r.y, r.width, r.height}; }

// Sizes a container and gives it its whole area as client rect.
inline void shape(CInterfaceContainer& c, float w, float h) {
    c.set_width(w);
    c.set_height(h);
    c.set_client_rect(0, 0, w, h);
}

inline SDL_Event mouse_button(Uint8 type, int x, int y, Uint8 button) {
    SDL_Event e{};
    e.type = type;
    e.button.type = type;
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = Uint16(x);
    e.button.y = Uint16(y);
    return e;
}

inline SDL_Event mouse_down(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
    return mouse_button(SDL_MOUSEBUTTONDOWN, x, y, button);
}

inline SDL_Event mouse_up(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
    return mouse_button(SDL_MOUSEBUTTONUP, x, y, button);
}

// `buttons`: the held buttons as SDL_BUTTON masks.
inline SDL_Event mouse_motion(int x, int y, Uint8 buttons = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.state = buttons;
    e.motion.x = Uint16(x);
    e.motion.y = Uint16(y);
    return e;
}

inline SDL_Event key(Uint8 type, SDLKey sym, Uint16 unicode = 0, int mods = KMOD_NONE) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.unicode = unicode;
    e.key.keysym.mod = SDLMod(mods);
    return e;
}

inline SDL_Event key_down(SDLKey sym, Uint16 unicode = 0, int mods = KMOD_NONE) {
    return key(SDL_KEYDOWN, sym, unicode, mods);
}

inline SDL_Event key_up(SDLKey sym, int mods = KMOD_NONE) { return key(SDL_KEYUP, sym, 0, mods); }

// A label (hit where it is drawn, anchored) that journals the input it gets under its name.
class ProbeWidget : public CLabel {
public:
    ProbeWidget(CInterfaceElement* parent, std::string name, std::vector<std::string>* journal, int* deleted = nullptr)
        : CLabel(parent, nullptr), name_(std::move(name)), journal_(journal), deleted_(deleted) {}
    ~ProbeWidget() override {
        if (deleted_) ++*deleted_;
    }

    void on_focus_gained() override {
        CLabel::on_focus_gained();
        log("focus+");
    }
    void on_focus_lost() override {
        CLabel::on_focus_lost();
        log("focus-");
    }
    void on_mouse_enter() override { log("enter"); }
    void on_mouse_leave() override { log("leave"); }
    void on_mouse_motion(const SDL_MouseMotionEvent& e) override {
        log("motion " + std::to_string(e.x) + "," + std::to_string(e.y));
    }
    void on_mouse_button_down(const SDL_MouseButtonEvent& e) override { log("down " + std::to_string(int(e.button))); }
    void on_mouse_button_up(const SDL_MouseButtonEvent& e) override { log("up " + std::to_string(int(e.button))); }
    void on_key_pressed(const SDL_KeyboardEvent& e) override { log("key " + std::to_string(int(e.keysym.sym))); }
    void on_key_repeat(const SDL_KeyboardEvent& e) override { log("repeat " + std::to_string(int(e.keysym.sym))); }
    void on_key_released(const SDL_KeyboardEvent& e) override { log("release " + std::to_string(int(e.keysym.sym))); }

    // Places and sizes the probe in one go.
    ProbeWidget* at(float x, float y, float w, float h) {
        CSprite::set_x(x);
        CSprite::set_y(y);
        set_width(w);
        set_height(h);
        return this;
    }

private:
    void log(const std::string& what) {
        if (journal_) journal_->push_back(name_ + " " + what);
    }

    std::string name_;
    std::vector<std::string>* journal_;
    int* deleted_;
};

}  // namespace test_support
