#include "support/client_game.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "engine/core/ini.h"
#include "engine/ui/edit.h"
#include "game/config/settings.h"
#include "support/display_support.h"
#include "support/process_test_support.h"
#include "support/test_support.h"
#include "support/widget_test_support.h"

namespace client_test {
namespace {

QCGame* the_game = nullptr;
test_support::ScratchDir* scratch = nullptr;
std::vector<platform::MessageBoxRequest> boxes;

class ClientEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        test_support::DisplayWatchdog watchdog("the suite's set-up");
        // Everything of the run folder is shared but what the menus and the suites rewrite.
        scratch = new test_support::ScratchDir();
        process_test::lay_out_run_folder(scratch->path(), {"config.ini", "config"});
        ASSERT_EQ(chdir(scratch->path().c_str()), 0);
        // A stored volume beyond the range must be clamped, not narrowed.
        ASSERT_TRUE(ini_write_int("system", "volume", 300, kUserIni) &&
                    ini_write_int("system", "resX", 800, kUserIni) && ini_write_int("system", "resY", 600, kUserIni));
        load_settings();
        platform::set_message_box_handler([](const platform::MessageBoxRequest& request) {
            boxes.push_back(request);
            return request.yes_no ? platform::MessageBoxResult::No : platform::MessageBoxResult::Ok;
        });
        ASSERT_TRUE(test_support::start_sdl_video()) << SDL_GetError();
        the_game = new QCGame(sf::IpAddress::None, 0);
        the_game->on_start();
    }
    void TearDown() override {
        // A set-up that failed left no game to shut down.
        if (the_game) the_game->on_shutdown();
        delete the_game;
        the_game = nullptr;
        delete scratch;
        scratch = nullptr;
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ClientEnvironment);

void send(const SDL_Event& event) { the_game->dispatch_event(event); }

}  // namespace

QCGame& game() { return *the_game; }

const std::string& run_folder() { return scratch->path(); }

const std::vector<platform::MessageBoxRequest>& message_boxes() { return boxes; }

void frame(float dt) {
    the_game->poll_events();
    the_game->update(dt);
    the_game->draw_frame(the_game->screen);
}

void click_at(int x, int y, int button) {
    send(test_support::mouse_motion(x, y));
    send(test_support::mouse_down(x, y, Uint8(button)));
    send(test_support::mouse_up(x, y, Uint8(button)));
    frame();
}

void click(CInterfaceElement* widget, int button) {
    const IntRect r = widget->get_anchored_absolute_bounds();
    click_at(r.x + r.width / 2, r.y + r.height / 2, button);
}

void retype(CEdit* edit, const std::string& text) {
    const IntRect r = edit->get_anchored_absolute_bounds();
    click_at(r.x + r.width - 2, r.y + r.height / 2);
    for (std::size_t i = edit->get_text().size(); i > 0; --i) {
        send(test_support::key_down(SDLK_BACKSPACE));
        send(test_support::key_up(SDLK_BACKSPACE));
    }
    for (char c : text) {
        const SDLKey sym = SDLKey(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        send(test_support::key_down(sym, Uint16(c)));
        send(test_support::key_up(sym));
    }
    frame();
}

std::string config(const std::string& section, const std::string& key) {
    return ini_read_string(section, key, "<missing>", kUserIni);
}

namespace {

// Rows of RGBA bytes from the bottom of the rectangle up, as GL reads them.
void read_back_buffer(int x, int y_up, int width, int height, uint8_t* rgba) {
    // Mesa's software rasteriser keeps the back buffer after the swap: what the window shows.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y_up, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

}  // namespace

ColorRGBA pixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    read_back_buffer(x, CGameBase::window_height - 1 - y, 1, 1, p);
    return {p[0], p[1], p[2], p[3]};
}

void read_window(uint8_t* rgba) {
    const std::size_t row = std::size_t(CGameBase::window_width) * 4;
    const int height = CGameBase::window_height;
    read_back_buffer(0, 0, CGameBase::window_width, height, rgba);
    for (int y = 0; y < height / 2; ++y) {
        uint8_t* top = rgba + std::size_t(y) * row;
        std::swap_ranges(top, top + row, rgba + std::size_t(height - 1 - y) * row);
    }
}

}  // namespace client_test
