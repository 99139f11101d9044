// A whole match between real processes: this process is the host's client (the real client
// code in a window, driven with synthesised input), the host menu starts the real server
// program, and the headless bot joins as the second player. The match runs to its time limit,
// the scoreboard shows, the server exits with 0 and the client is back in its menus.
// Screenshots of the match go to the shots folder beside this suite.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <thread>

#include "client/level_file.h"
#include "client/qc_game_play.h"
#include "client/qc_host_menu.h"
#include "client/qc_inventory.h"
#include "client/qc_level_gen.h"
#include "client/qc_main_menu.h"
#include "client/qc_scoreboard.h"
#include "client/qc_spawn_select.h"
#include "engine/core/ini.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_weapon.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "support/client_game.h"
#include "support/process_test_support.h"
#include "support/widget_test_support.h"
#include "tools/assets/asset_writers.h"

using namespace client_test;
namespace fs = std::filesystem;

namespace {

void send(const SDL_Event& event) { game().dispatch_event(event); }

template <typename Done>
bool frames_until(Done done, int limit_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The window as it was last drawn, row 0 at the top; also written as a PNG for people to see.
struct Screenshot : assets::Image {
    explicit Screenshot(const std::string& name) : Image(CGameBase::window_width, CGameBase::window_height) {
        read_window(&pixels[0].r);
        fs::create_directories(BRAWL_E2E_SHOTS);
        assets::write_png_rgb(std::string(BRAWL_E2E_SHOTS) + "/" + name + ".png", *this);
    }
    template <typename Test>
    int count(IntRect r, Test test) const {
        int n = 0;
        for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, height); ++y)
            for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, width); ++x) n += test(at(x, y));
        return n;
    }
};

IntRect screen_rect(CSprite* sprite) {
    const fvec2d a = sprite->point_to_global({0, 0});
    const fvec2d b = sprite->point_to_global({sprite->get_width(), sprite->get_height()});
    return {int(a.x), int(a.y), int(b.x - a.x), int(b.y - a.y)};
}

// Drags the marker to the level position with the mouse.
void drag_marker(QCSpawnSelect* select, CImageSprite* marker, fvec2d target) {
    const fvec2d to = select->to_screen(target);
    const int x = int(marker->get_absolute_x()) + 2, y = int(marker->get_absolute_y()) + 2;
    send(test_support::mouse_down(x, y));
    SDL_Event motion = test_support::mouse_motion(int(to.x) + 2, int(to.y) + 2);
    motion.motion.xrel = Sint16(int(to.x) + 2 - x);
    motion.motion.yrel = Sint16(int(to.y) + 2 - y);
    send(motion);
    send(test_support::mouse_up(int(to.x) + 2, int(to.y) + 2));
    frame();
}

// The slot selections the gameplay screen queued for the server.
std::vector<uint32_t> queued_slot_selections(QGGame& session) {
    std::vector<uint32_t> slots;
    for (const QGEvent& event : session.event_handler->queue) {
        if (event.type != EQGEventType::Input) continue;
        ByteBuffer payload = event.reader();
        PlayerInput input;
        if (read_record(payload, input) && input.kind == InputKind::SelectSlot) slots.push_back(input.value);
    }
    return slots;
}

}  // namespace

TEST(Match, HostAndBotPlayToTheScoreboard) {
    // The server started from here reads this folder's configuration: short match phases keep
    // the match short, the result shows long enough for the scoreboard's checks.
    process_test::shorten_match_phases(run_folder());
    const std::string server_files = fs::absolute("server").string(), status_file = server_files + ".status";
    setenv("BRAWL_E2E_SERVER", server_files.c_str(), 1);
    // A test that stops early ends the server it started.
    struct ServerGuard {
        std::string files;
        ~ServerGuard() {
            pid_t pid = 0;
            std::ifstream(files + ".pid") >> pid;
            if (pid > 0 && !fs::exists(files + ".status")) kill(pid, SIGKILL);
        }
    } guard{server_files};
    fs::remove("current.vml");
    const unsigned short port = process_test::free_port();
    ASSERT_NE(port, 0);

    // Host menu: two players, a time limit of 4.8 seconds.
    click(QCMainMenu::instance->host_button);
    QCHostMenu* host = top<QCHostMenu>();
    ASSERT_NE(host, nullptr);
    retype(host->port_edit, std::to_string(port));
    host->players_scrollbar->set_value(2);
    retype(host->time_edit, "0.08");
    retype(host->lives_edit, "5");
    retype(host->respawn_edit, "0");  // the players appear as the match starts
    click(host->host_button);
    // The connection may complete within the click's own frame: the generator is then on top
    // of the gameplay screen already.
    ASSERT_TRUE(frames_until([] { return top<QCLevelGen>() != nullptr; }, 15000));
    ASSERT_EQ(game().states.size(), 4u);
    QCGamePlay* play = dynamic_cast<QCGamePlay*>(*std::next(game().states.begin(), 2));
    ASSERT_NE(play, nullptr);
    QGGame* session = play->client_game.get();
    EXPECT_EQ(session->local_player_id, 0u);

    // The bot joins as the second player once the host holds connection 0.
    process_test::ChildProcess bot(
        {std::string(BRAWL_RUN_DIR) + "/brawl_bot", "127.0.0.1", std::to_string(port), "Bot", "false", "7", "120"});

    QCLevelGen* generator = top<QCLevelGen>();
    retype(generator->width_edit, "1280");
    retype(generator->height_edit, "640px");
    generator->preset_list->select_item(5);  // Hills
    QCLevelGen::on_preset_selected(generator->preset_list, nullptr, 5);
    generator->water_level_bar->set_value(0.3f);
    generator->scale_y_bar->set_value(0.25f);
    generator->offset_y_bar->set_value(0.75f);
    frame();
    Screenshot("level_generator");
    const LevelParameters chosen = generator->parameters();
    click(generator->done_button);
    EXPECT_EQ(read_level_file(kCurrentLevelFile, LevelParameters()).size_y, 640u);
    ASSERT_TRUE(frames_until([] { return top<QCSpawnSelect>() != nullptr; }, 20000));
    EXPECT_EQ(session->level->parameters.size_x, chosen.size_x);

    // A selection without player slots, or with more than a spawn list holds, is handled.
    for (uint32_t slots : {0u, 40u}) {
        std::swap(session->rules.player_count, slots);
        QCSpawnSelect* extra = game().push_state<QCSpawnSelect>(play);
        std::swap(session->rules.player_count, slots);
        EXPECT_EQ(extra->markers.size(), std::min(slots, kMaxSpawnPositions));
        if (slots == 0) click(extra->done_button);  // nothing to send: it stays
        EXPECT_EQ(top<QCSpawnSelect>(), extra);
        game().close_top_state();
        frame();
    }

    // Markers stop at the level's edge; one released over solid ground stays on the mouse and
    // "Done" waits. Then both go onto free places just above the ground, apart, near the middle:
    // the camera then shows either player away from the match panel in the level's corner.
    QCSpawnSelect* select = top<QCSpawnSelect>();
    QGPlayer* me = session->registry().get_player(0);
    ASSERT_TRUE(me && select->markers.size() == 2u);
    auto at = [&](int i) {
        return select->to_level({select->markers[i]->get_absolute_x(), select->markers[i]->get_absolute_y()});
    };
    drag_marker(select, select->markers[0], {5000, 5000});
    EXPECT_NEAR(at(0).x, float(session->terrain().width()) - player_size.x, 0.01);
    EXPECT_NEAR(at(0).y, float(session->terrain().height()) - player_size.y, 0.01);
    EXPECT_EQ(select->held_marker, select->markers[0]);  // the bottom is ground
    click(select->done_button);
    EXPECT_EQ(top<QCSpawnSelect>(), select);
    std::vector<fvec2d> free;
    for (int y = 8; y + 72 <= session->terrain().height(); y += 16)
        for (int x = 8; x + 72 <= session->terrain().width(); x += 16)
            if (!me->overlaps_terrain(x - 4, y - 4, 72, 72, false) && me->overlaps_terrain(x, y + 68, 64, 64, false))
                free.push_back({float(x), float(y)});
    const float middle = float(session->terrain().width()) / 2;
    std::sort(free.begin(), free.end(),
              [&](fvec2d a, fvec2d b) { return std::abs(a.x - middle) < std::abs(b.x - middle); });
    const auto apart = std::find_if(free.begin(), free.end(), [&](fvec2d p) { return std::abs(p.x - free[0].x) > 80; });
    ASSERT_NE(apart, free.end());
    const fvec2d spawns[] = {free[0], *apart};
    drag_marker(select, select->markers[0], spawns[0]);
    drag_marker(select, select->markers[1], spawns[1]);
    EXPECT_EQ(select->held_marker, nullptr);
    Screenshot("spawn_selection");
    click(select->done_button);
    ASSERT_TRUE(frames_until([&] { return session->match_running && !session->paused; }, 15000));
    EXPECT_EQ(top<QCGamePlay>(), play);

    // Play: step through the inventory, walk right.
    ASSERT_TRUE(frames_until([&] { return !me->inventory.empty(); }, 5000));
    const std::size_t slots = me->inventory.size();
    frames_until([&] { return me->selected_slot == 0u; }, 1000);
    session->event_handler->queue.clear();
    send(test_support::mouse_down(400, 200, SDL_BUTTON_WHEELUP));  // before the first slot: nothing
    EXPECT_TRUE(queued_slot_selections(*session).empty());
    if (slots > 1) {
        send(test_support::mouse_down(400, 200, SDL_BUTTON_WHEELDOWN));
        EXPECT_EQ(queued_slot_selections(*session), std::vector<uint32_t>{1});
        ASSERT_TRUE(frames_until([&] { return me->selected_slot == 1u; }, 3000));
    }
    ASSERT_LE(slots, 9u);
    send(test_support::key_down(SDLKey(SDLK_1 + int(slots) - 1)));
    send(test_support::key_up(SDLKey(SDLK_1 + int(slots) - 1)));
    ASSERT_TRUE(frames_until([&] { return me->selected_slot + 1 == slots; }, 3000));
    session->event_handler->queue.clear();
    send(test_support::mouse_down(400, 200, SDL_BUTTON_WHEELDOWN));  // past the last slot: nothing
    EXPECT_TRUE(queued_slot_selections(*session).empty());
    // The player appears on one of the places, which the client learns with the positions
    // streamed to it; from there it walks.
    auto on_a_spawn = [&] {
        return (me->position - spawns[0]).length() < 100 || (me->position - spawns[1]).length() < 100;
    };
    ASSERT_TRUE(frames_until(on_a_spawn, 10000));
    const double start_x = me->position.x;
    send(test_support::key_down(SDLK_d));
    EXPECT_TRUE(frames_until([&] { return me->position.x > start_x + 8.0; }, 5000));
    send(test_support::key_up(SDLK_d));
    frame();

    // The picture of the match: terrain over the level's area, the own player's name label in
    // its colour, the inventory's lines in the top-right corner.
    const Screenshot match("match");
    const IntRect level_area = screen_rect(look_of<LevelLook>(session->level)->terrain_sprite);
    std::set<uint32_t> colours;
    match.count(level_area,
                [&](assets::Rgba c) { return colours.insert(uint32_t(c.r) << 16 | c.g << 8 | c.b).second; });
    EXPECT_GT(colours.size(), 20u);
    const ColorRGB mine = me->definition().color;
    auto near_mine = [&](assets::Rgba c) {
        return std::abs(c.r - mine.r) < 60 && std::abs(c.g - mine.g) < 60 && std::abs(c.b - mine.b) < 60;
    };
    EXPECT_GT(match.count(screen_rect(look_of<PlayerLook>(me)->label.get()), near_mine), 20);
    const std::string lines = play->inventory->get_text();
    EXPECT_NE(lines.find("1. "), std::string::npos) << lines;
    EXPECT_NE(lines.find(" [X]"), std::string::npos) << lines;
    EXPECT_GT(match.count(play->inventory->get_anchored_absolute_bounds(),
                          [](assets::Rgba c) { return c.r > 200 && c.g > 200 && c.b > 200; }),
              30);

    // The last weapon fires (it can throw the player about, so after the picture).
    auto* weapon = dynamic_cast<QGWeapon*>(me->selected_item());
    ASSERT_TRUE(weapon && weapon->max_ammo() > 0);
    const unsigned int ammo = weapon->ammo;
    send(test_support::mouse_down(400, 200));
    EXPECT_TRUE(frames_until([&] { return weapon->ammo < ammo; }, 5000));
    send(test_support::mouse_up(400, 200));

    // Tab shows the scores while it is held.
    send(test_support::key_down(SDLK_TAB));
    frame();
    EXPECT_NE(top<QCScoreboard>(), nullptr);
    send(test_support::key_up(SDLK_TAB));
    frame();
    EXPECT_EQ(top<QCGamePlay>(), play);

    // The match ends: the scoreboard stays while the result shows, then the server ends.
    ASSERT_TRUE(frames_until([] { return top<QCScoreboard>() != nullptr; }, 30000));
    send(test_support::key_up(SDLK_TAB));  // paused: the table stays
    frame();
    EXPECT_NE(top<QCScoreboard>(), nullptr);
    Screenshot("scoreboard");
    // The menu the match was hosted from is back; leaving it shows the main menu.
    ASSERT_TRUE(frames_until([&] { return top<QCHostMenu>() == host; }, 15000));
    EXPECT_EQ(game().states.size(), 2u);
    click(host->cancel_button);
    EXPECT_NE(top<QCMainMenu>(), nullptr);
    ASSERT_TRUE(frames_until([&] { return fs::exists(status_file); }, 10000));
    int code = -1;
    std::ifstream(status_file) >> code;
    EXPECT_EQ(code, 0);
    EXPECT_EQ(bot.wait_exit(10000), std::optional<int>(0)) << bot.output();
    frame();
    Screenshot("back_to_menu");
}
