// The host's road into a match with the client's real screens, against a server session on
// loopback in this process that the frames step.
#include <SFML/Network/TcpListener.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "client/level_file.h"
#include "client/qc_game_play.h"
#include "client/qc_level_gen.h"
#include "client/qc_main_menu.h"
#include "client/qc_scoreboard.h"
#include "client/qc_spawn_select.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "game/entities/qg_player.h"
#include "game/terrain/qg_level.h"
#include "support/client_game.h"
#include "support/session_test_support.h"
#include "support/widget_test_support.h"

using namespace client_test;

namespace {

// The server side of the match: a session on loopback that every frame steps.
struct LoopbackMatch {
    session_test::LoopbackServer server{NetClock::system()};
    session_test::ListenerLog received;
    std::thread::id result_thread;
    int results = 0;

    void on_result(bool ok) {
        EXPECT_TRUE(ok);
        result_thread = std::this_thread::get_id();
        ++results;
    }
    // Connects the client's gameplay screen as the host (connection 0).
    QCGamePlay* join() {
        if (!server.start(1)) return nullptr;
        received.listen(*server.game->event_handler, EQGEventType::GenerateLevel);
        received.listen(*server.game->event_handler, EQGEventType::SetSpawnPositions);
        auto* screen = dynamic_cast<QCGamePlay*>(
            game().join(sf::IpAddress(127, 0, 0, 1), server.port, Callback<void, bool>(this, &LoopbackMatch::on_result)));
        if (!server.accept_players(1)) return nullptr;
        server.activate();
        return screen;
    }
    void step() {
        server.game->update(0.016f);
        frame();
    }
    template <typename Done>
    bool steps_until(Done done, int limit_ms = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            step();
        }
        return true;
    }
};

void send(const SDL_Event& event) { game().dispatch_event(event); }

SDL_Event motion_by(int x, int y, int dx, int dy) {
    SDL_Event e = test_support::mouse_motion(x + dx, y + dy);
    e.motion.xrel = Sint16(dx);
    e.motion.yrel = Sint16(dy);
    return e;
}

// Drags the marker by (dx, dy) screen pixels with the button held, then releases it.
void drag(CImageSprite* marker, float dx, float dy) {
    const IntRect r = marker->get_absolute_bounds();
    const int x = r.x + 2, y = r.y + 2;
    send(test_support::mouse_down(x, y));
    send(motion_by(x, y, int(dx), int(dy)));
    send(test_support::mouse_up(x + int(dx), y + int(dy)));
    frame();
}

}  // namespace

TEST(HostRoad, LevelGeneratorSpawnSelectionAndLeaving) {
    std::filesystem::remove(kCurrentLevelFile);
    LoopbackMatch match;
    QCGamePlay* play = match.join();
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->status_label->get_text(), "Waiting for other players...");
    ASSERT_TRUE(match.steps_until([] { return top<QCLevelGen>() != nullptr; }));
    // The connection thread's result reached the opener on the frame's thread.
    EXPECT_EQ(match.results, 1);
    EXPECT_EQ(match.result_thread, std::this_thread::get_id());
    EXPECT_FALSE(play->status_label->is_visible());

    QCLevelGen* generator = top<QCLevelGen>();
    const LevelParameters opened = generator->parameters();
    EXPECT_EQ(std::make_tuple(opened.gen, opened.seed, opened.size_x, opened.size_y, opened.water_level, opened.octaves),
              std::make_tuple(0u, 0u, 1600u, 1200u, 0.0f, 1));
    EXPECT_EQ(std::make_pair(generator->preview_texture.get_image_width(), generator->preview_texture.get_image_height()),
              std::make_pair(1600, 1200));

    // The largest level previews within the budget and without stalling the frame.
    retype(generator->width_edit, "4096");
    retype(generator->height_edit, "4096");
    generator->preset_list->select_item(0);
    const auto before = std::chrono::steady_clock::now();
    click(generator->seed_edit);  // the height edit loses the focus: one new preview
    const auto took = std::chrono::steady_clock::now() - before;
    const int w = generator->preview_texture.get_image_width(), h = generator->preview_texture.get_image_height();
    EXPECT_LE(w * h, QCLevelGen::kPreviewPixelBudget);
    EXPECT_GT(w * h, QCLevelGen::kPreviewPixelBudget * 9 / 10);
    EXPECT_LT(took, std::chrono::milliseconds(1000));

    retype(generator->width_edit, "1024");
    retype(generator->height_edit, "512px");
    generator->preset_list->select_item(5);
    QCLevelGen::on_preset_selected(generator->preset_list, nullptr, 5);
    generator->water_level_bar->set_value(0.1f);
    click(generator->done_button);
    EXPECT_EQ(top<QCGamePlay>(), play);
    LevelParameters stored = read_level_file(kCurrentLevelFile, LevelParameters());
    EXPECT_EQ(std::make_tuple(stored.gen, stored.size_x, stored.size_y, stored.water_level),
              std::make_tuple(5u, 1024u, 512u, 0.1f));
    ASSERT_TRUE(match.steps_until([] { return top<QCSpawnSelect>() != nullptr; }));
    ASSERT_EQ(match.received.types.size(), 1u);
    LevelCreation sent;
    ASSERT_TRUE(decode_level_creation(match.received.payloads[0].data(), kLevelCreationSize, sent));
    EXPECT_NEAR(sent.parameters.water_level, stored.water_level, 1e-6);  // the file keeps six decimals
    stored.water_level = sent.parameters.water_level;
    EXPECT_EQ(sent.parameters, stored);

    QCSpawnSelect* select = top<QCSpawnSelect>();
    QGGame* session = play->client_game;
    QGPlayer* host = session->get_player(0);
    ASSERT_TRUE(host && select->markers.size() == 1u);
    CImageSprite* marker = select->markers[0];
    auto level_position = [&] { return select->to_level({marker->get_absolute_x(), marker->get_absolute_y()}); };
    EXPECT_NEAR(level_position().x, (1024 - player_size.x) / 2, 0.01);
    EXPECT_NEAR(level_position().y, (512 - player_size.y) / 2, 0.01);

    // Dragged past the edge, a marker stops flush with it.
    const float scale = marker->get_absolute_scale();
    drag(marker, 5000, 0);
    EXPECT_NEAR(level_position().x, 1024 - player_size.x, 0.01);

    // Released over solid ground it stays on the mouse and "Done" sends nothing; released on
    // free ground it stays there and "Done" sends its place.
    std::optional<fvec2d> solid, free;
    // Places a few pixels from any edge of solid ground, so the drag's rounding does not matter.
    for (int y = 8; y + int(player_size.y) + 8 <= 512; y += 16)
        for (int x = 8; x + int(player_size.x) + 8 <= 1024; x += 32) {
            auto overlaps = [&](int margin) {
                return host->overlaps_terrain(x - margin, y - margin, int(player_size.x) + 2 * margin,
                                              int(player_size.y) + 2 * margin, false);
            };
            if (!overlaps(8)) free = fvec2d{float(x), float(y)};
            else if (!solid && overlaps(-8)) solid = fvec2d{float(x), float(y)};
        }
    ASSERT_TRUE(solid && free);
    for (const bool onto_solid : {true, false}) {
        const fvec2d target = onto_solid ? *solid : *free;
        const fvec2d at = level_position();
        drag(marker, (target.x - at.x) * scale, (target.y - at.y) * scale);
        EXPECT_NEAR(level_position().x, target.x, 2 / scale);
        EXPECT_NEAR(level_position().y, target.y, 2 / scale);
        EXPECT_EQ(select->held_marker == marker, onto_solid);
        if (onto_solid) {
            click(select->done_button);
            EXPECT_EQ(top<QCSpawnSelect>(), select);
        }
    }
    const fvec2d chosen = level_position();
    click(select->done_button);
    ASSERT_TRUE(match.steps_until([&] { return match.received.types.size() == 2; }));
    EXPECT_EQ(top<QCGamePlay>(), play);
    ByteBuffer positions(match.received.payloads[1].data(), kSpawnPositionsSize);
    SpawnPositions spawns;
    ASSERT_TRUE(read_spawn_positions(positions, spawns));
    EXPECT_EQ(spawns.count, 1u);
    EXPECT_NEAR(spawns.positions[0].x, chosen.x, 0.01);
    EXPECT_NEAR(spawns.positions[0].y, chosen.y, 0.01);
    EXPECT_EQ(spawns.positions[1].x, 0.0f);

    // No player slot (a set-up not yet received), or more than a spawn list holds.
    for (uint32_t slots : {0u, 40u}) {
        session->rules.player_count = slots;
        QCSpawnSelect* extra = game().push_state<QCSpawnSelect>(play);
        EXPECT_EQ(extra->markers.size(), std::min(slots, kMaxSpawnPositions));
        if (slots == 0) click(extra->done_button);
        EXPECT_EQ(top<QCSpawnSelect>(), extra);
        game().close_top_state();
        frame();
    }
    session->rules.player_count = 1;
    EXPECT_EQ(match.received.types.size(), 2u);

    // Losing the server closes everything above the menu in one frame.
    game().push_state<QCScoreboard>(session);
    match.server.game.reset();
    for (int i = 0; i < 200 && game().states.size() > 1; ++i) frame();
    EXPECT_EQ(game().states.size(), 1u);
    EXPECT_NE(top<QCMainMenu>(), nullptr);
}

TEST(HostRoad, LeavingWhileTheServerDoesNotAnswerIsQuick) {
    // The server takes the connection but never hands out an id.
    sf::TcpListener silent;
    ASSERT_EQ(silent.listen(sf::Socket::AnyPort, sf::IpAddress(127, 0, 0, 1)), sf::Socket::Done);
    QCGameState* play = game().join(sf::IpAddress(127, 0, 0, 1), silent.getLocalPort(), Callback<void, bool>());
    for (int i = 0; i < 5; ++i) frame();
    ASSERT_EQ(top<QCGamePlay>(), play);
    const auto before = std::chrono::steady_clock::now();
    game().close_top_state();
    frame();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_NE(top<QCMainMenu>(), nullptr);
}
