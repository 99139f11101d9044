// A match seen through the client joined over loopback to a server session in this process, on a
// level larger than the window, and the level generator; the pictures are kept beside this suite.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "client/qc_game_play.h"
#include "client/qc_level_gen.h"
#include "client/qc_scoreboard.h"
#include "client/qc_spawn_select.h"
#include "engine/scene/sprite_manager.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/panel.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/qg_player.h"
#include "game/levelgen/level_generator.h"
#include "game/match/qg_match_controller.h"
#include "game/session/qg_game.h"
#include "support/client_game.h"
#include "support/session_test_support.h"
#include "support/widget_test_support.h"
#include "tools/assets/asset_writers.h"

using namespace client_test;

namespace {

void save_window(const std::string& name) {
    // One read: read by pixel, a loaded machine took seconds, long enough to lose the server.
    assets::Image shot(CGameBase::window_width, CGameBase::window_height);
    std::vector<uint8_t> rgba(shot.pixels.size() * 4);
    read_window(rgba.data());
    for (std::size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = {rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], 255};
    std::filesystem::create_directories(BRAWL_CLIENT_SHOTS);
    assets::write_png_rgb(std::string(BRAWL_CLIENT_SHOTS) + "/" + name + ".png", shot);
}

int pixels_like(IntRect r, ColorRGB c) {
    int n = 0;
    for (int i = 0; i < r.width * r.height; ++i) {
        const ColorRGBA p = pixel(r.x + i % r.width, r.y + i / r.width);
        n += std::abs(p.r - c.r) <= 20 && std::abs(p.g - c.g) <= 20 && std::abs(p.b - c.b) <= 20;
    }
    return n;
}

}  // namespace

TEST(MatchView, LabelStaysAtTheTopLeftWhileTheCameraFollowsThePlayer) {
    const float saved_ready_time = ready_time;
    ready_time = 0.0f;
    session_test::LoopbackServer server(NetClock::system());
    ASSERT_TRUE(server.start(3));
    MatchSettings rules;
    rules.time_limit = 5.0f;
    server.game->spawn<QGMatchController>(0, rules);
    auto* play =
        dynamic_cast<QCGamePlay*>(game().join(sf::IpAddress(127, 0, 0, 1), server.port, Callback<void, bool>()));
    ASSERT_NE(play, nullptr);
    ASSERT_TRUE(server.accept_players(1));
    server.activate();
    server.game->spawn<QGPlayer>(0, 1, 1, "Other");  // plays on the server itself
    server.game->spawn<QGPlayer>(0, 2, 0, "Third");
    // Only asks that the wait ends; the session's own clock drives the match.
    auto run_until = [&](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done() && std::chrono::steady_clock::now() < end) {
            server.game->update(0.016f);
            frame();
        }
        return done();
    };

    ASSERT_TRUE(run_until([] { return QCLevelGen::instance != nullptr; }));
    QCLevelGen::instance->width_edit->set_text("2048");
    QCLevelGen::instance->height_edit->set_text("1024");
    QCLevelGen::on_button(QCLevelGen::instance->done_button, nullptr);
    ASSERT_TRUE(run_until([] { return QCSpawnSelect::instance != nullptr; }));
    // A marker on the mouse or on the ground keeps "Done" from acting, and shows it.
    QCSpawnSelect* spawn = QCSpawnSelect::instance;
    auto drag = [spawn](CImageSprite* marker, int dy, bool release) {
        const IntRect r = marker->get_absolute_bounds();
        SDL_Event move = test_support::mouse_motion(r.x, r.y);
        move.motion.yrel = Sint16(dy);
        spawn->on_mouse_button_down(test_support::mouse_down(r.x + 2, r.y + 2).button);
        spawn->on_mouse_motion(move.motion);
        if (release) spawn->on_mouse_button_up(test_support::mouse_up(r.x, r.y).button);
    };
    for (CImageSprite* marker : spawn->markers) drag(marker, -4000, true);  // the level's top: air
    drag(spawn->markers[0], 4000, true);                                    // the level's bottom: ground
    frame();
    const IntRect marker = spawn->markers[0]->get_absolute_bounds();
    const ColorRGBA head = pixel(marker.x + marker.width / 2, marker.y + marker.height * 13 / 56);
    EXPECT_GT(head.r - head.g, 40) << "a marker on the ground looks like a free one";
    drag(spawn->markers[0], -4000, false);  // over air, still on the mouse
    // Clicks on "Done" through the framework: with a marker on the mouse; with a free one under the
    // button (the panel moved over the level's air), which the press picks as well.
    for (CImageSprite* under_done : {static_cast<CImageSprite*>(nullptr), spawn->markers[1]}) {
        CImageSprite* const held = spawn->held_marker;
        if (under_done) spawn->panel->set_vertical_anchor(Anchor::Start);
        if (under_done) spawn->panel->CSprite::set_y(spawn->to_screen({0, 0}).y - 40.0f);
        const IntRect done = spawn->done_button->get_anchored_absolute_bounds();
        const int x = done.x + done.width / 2, y = done.y + done.height / 2;
        if (under_done) under_done->set_absolute_x(float(x - 2)), under_done->set_absolute_y(float(y - 2));
        for (CImageSprite* m : spawn->markers) ASSERT_TRUE(spawn->marker_is_free(m));
        for (const SDL_Event& e : {test_support::mouse_down(x, y), test_support::mouse_up(x, y)})
            game().dispatch_event(e);
        const std::vector<QGEvent>& queue = play->client_game->event_handler->queue;
        const bool sent = !queue.empty() && queue.back().type == EQGEventType::SetSpawnPositions;
        SpawnPositions record;
        ByteBuffer payload = sent ? queue.back().reader() : ByteBuffer();
        const fvec2d was = spawn->to_level({float(x - 2), float(y - 2)});
        EXPECT_EQ(spawn->held_marker, held);
        EXPECT_EQ(spawn->is_finished(), under_done != nullptr);
        EXPECT_EQ(read_record(payload, record) && record.positions[1].x == was.x && record.positions[1].y == was.y,
                  under_done != nullptr);
        spawn->on_mouse_button_up(test_support::mouse_up(0, 0).button);  // the held marker goes onto the air
    }
    play->client_game->event_handler->queue.clear();  // the match starts from the points below
    // The players start in the middle of the level, far from its top left corner.
    SpawnPositions spawns;
    spawns.count = 3, spawns.positions[0] = {1024.0f, 420.0f}, spawns.positions[1] = {990.0f, 420.0f};
    spawns.positions[2] = spawns.positions[0];
    server.game->match_setup().set_spawn_positions(spawns);
    QGGame* session = play->client_game.get();
    ASSERT_TRUE(run_until([&] { return session->match_running && !session->paused; }));
    // The camera follows: the world has moved to the left of the window.
    ASSERT_TRUE(run_until([&] { return play->world_sprites->get_absolute_x() < -300.0f; }));
    const IntRect label{10, 10, int(match_info_size.x), int(match_info_size.y)};
    save_window("match_label");
    EXPECT_GT(pixels_like(label, match_info_color), 50) << "the match label's text is not at the top left";
    // A hit's full flash tints the window's edges but light text keeps its green (a red cover takes it).
    play->on_player_hit(IdRecord{session->local_player_id});  // the own player is hit
    frame();
    save_window("match_hurt");
    int light = 0;
    for (int i = 0; i < label.width * label.height; ++i)
        light += pixel(label.x + i % label.width, label.y + i / label.width).g > 150;
    EXPECT_GT(light, 50) << "the damage flash hides the match label's text";

    server.game->paused = true;  // the view comes to rest
    for (int i = 0; i < 20; ++i) server.game->update(0.016f), frame();
    // The others stand beside and on the own player, which stays in the middle, under the scoreboard.
    const PlayerLook* looks[3];
    for (unsigned i = 0; i < 3; ++i) ASSERT_TRUE(looks[i] = look_of<PlayerLook>(session->registry().get_player(i)));
    const PlayerLook* own = looks[0];
    const IntRect plate = own->plate->get_absolute_bounds();
    for (int i = 0; i < 3; ++i) {
        const IntRect a = looks[i]->plate->get_absolute_bounds(), b = looks[(i + 1) % 3]->plate->get_absolute_bounds();
        EXPECT_TRUE(a.y + a.height <= b.y || b.y + b.height <= a.y) << "the names overlap";
    }
    game().push_state<QCScoreboard>(session);
    std::vector<ColorRGBA> seen[2];
    for (bool shown : {false, true}) {
        own->label->set_visible(shown), own->plate->set_visible(shown), frame();
        for (int i = 0; i < plate.width * plate.height; ++i)
            seen[shown].push_back(pixel(plate.x + i % plate.width, plate.y + i / plate.width));
    }
    save_window("match_scoreboard");
    int through = 0;
    for (std::size_t i = 0; i < seen[0].size(); ++i)
        through += std::abs(seen[0][i].r - seen[1][i].r) + std::abs(seen[0][i].g - seen[1][i].g) > 40;
    EXPECT_LT(through, 10) << "the own name label shows over the scoreboard";
    game().close_top_state();
    frame();
    session_test::ListenerLog aims;
    aims.listen(*server.game->event_handler, EQGEventType::Aim);
    server.game->registry().get_player(0)->set_aim(PlayerAim{0, -1000.0f, -1000.0f});
    for (int i = 0; i < 16; ++i) i<3 || i> 12 ? (server.game->update(0.016f), frame()) : frame();
    EXPECT_LE(aims.types.size(), 1u);  // the aim went once, not on every frame until the server's echo
    ready_time = saved_ready_time;
    server.game.reset();  // the server goes: back to the menus
    for (int i = 0; i < 200 && game().states.size() > 1; ++i) frame();
}

TEST(LevelGenerator, PreviewIsTheLevelSentAndALargeOneWaitsForTheControls) {
    QCLevelGen* screen = game().push_state<QCLevelGen>(nullptr);
    retype(screen->width_edit, "2560");
    retype(screen->height_edit, "2048");
    click(screen->seed_edit);  // the height edit loses the focus; this frame shows the notice
    CLabelSprite* notice = screen->generating_label;
    EXPECT_GT(pixels_like({int(notice->get_x()), int(notice->get_y()), 240, 40}, {230, 230, 230}), 20);
    const LevelParameters asked = screen->parameters();
    retype(screen->height_edit, "3");  // half typed: the waiting preview keeps what was asked
    frame(QCLevelGen::kSettleSeconds);
    EXPECT_FALSE(notice->is_visible());
    save_window("level_generator_swamp");
    SDL_Surface* level = generate_level_surface(nullptr, false, nullptr, asked);
    SDL_Surface* preview = screen->preview_texture.get_surface();
    ASSERT_TRUE(level && level->w == preview->w && level->h == preview->h);  // Swamp at full size
    EXPECT_EQ(SDL_memcmp(level->pixels, preview->pixels, std::size_t(level->pitch) * level->h), 0);
    SDL_FreeSurface(level);
    for (auto [text, side] : {std::pair{"-5", 4096}, {"99999999999", 2048}, {" 1000px", 1000}, {"px", 1600}})
        EXPECT_EQ(QCLevelGen::preview_size(0, text, "1").x, side) << text;
    retype(screen->width_edit, "1024");  // 1024 x 2048: small enough to follow in the next frame
    click(screen->seed_edit);
    EXPECT_EQ(screen->preview_texture.get_image_width(), 1024);
    game().close_top_state();
    frame();
}
