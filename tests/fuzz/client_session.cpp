// What a hostile server can do to the GUI client: its session, with drawing services, fed packets
// [kind byte][u16 little-endian length][bytes] from the server, each followed by a frame: the
// step and the sprites' update, and their drawing into a window when kind bit 4 is set. Bit 0
// picks UDP over TCP, bits 1 to 3 the frame's length in 60ths of a second less one. Frames enough
// for the delayed events end the input, the last one drawn. Needs an X display.
#include "engine/app/game_base.h"
#include "engine/core/random.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/sprite_manager.h"
#include "fuzz_support.h"
#include "game/drawing/game_drawing.h"
#include "net/transport/udp.h"
#include "support/display_support.h"
#include "support/net_test_support.h"

namespace {

struct Window : CGameBase {
    Window() : CGameBase(320, 240) {}
    void render(SDL_Surface* target) override { scene->draw(target); }
    CSprite* scene = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Window* window = (setenv("SDL_AUDIODRIVER", "dummy", 0), fuzz::load_once(),
                             test_support::start_sdl_video() ? new Window() : (std::abort(), nullptr));
    static CTextureManager textures;
    random_seed(1);
    ManualNetClock clock(1000);
    CSpriteManager sprites(nullptr, &textures);
    sprites.set_width(320);
    sprites.set_height(240);
    window->scene = &sprites;
    GameDrawing drawing(&sprites, window->get_shader_factory(), window->get_font_factory());
    auto game = session_test::make_headless_client_session(&clock, &drawing);
    game->event_handler->delay_ms = 66;
    auto* tcp = new net_test::MemoryTcp();
    auto* udp = new net_test::InMemory<Udp>();
    game->network().install_transports(std::unique_ptr<Tcp>(tcp), std::unique_ptr<Udp>(udp));
    const auto frame = [&](float dt, bool drawn) {
        clock.advance(int64_t(dt * 1000));
        game->update(dt);
        sprites.update(dt);
        if (drawn) window->draw_frame(window->screen);
    };
    const Connection server(sf::IpAddress::LocalHost, 4200);
    for (size_t at = 0; at + 3 <= size;) {
        const uint8_t kind = data[at];
        const size_t length = std::min<size_t>(data[at + 1] | data[at + 2] << 8, size - at - 3);
        (kind & 1 ? udp->arriving : tcp->arriving).emplace_back(server, ByteBuffer(data + at + 3, length));
        at += 3 + length;
        frame(float(kind / 2 % 8 + 1) / 60.0f, kind & 16);
    }
    for (int i = 0; i < 6; ++i) frame(1.0f / 60.0f, i == 5);
    game.reset();
    sprites.update(0);
    return 0;
}
