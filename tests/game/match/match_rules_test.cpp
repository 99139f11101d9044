// The match's rules and the flow's guards on a server session without a network.
#include <cmath>
#include <set>

#include "engine/ui/edit.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/qg_player.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "support/level_test_support.h"

using namespace session_test;
using Players = std::vector<std::pair<unsigned, float>>;  // team and health of slots 0, 1, ...

class MatchRules : public level_test::LevelTest {
protected:
    void start_session(int32_t lives, bool teams, const Players& players) {
        game = make_server_session();
        game->match_setup().setup_game({uint32_t(players.size()), lives, 0.0f, teams, 0, {0, 0}});
        for (unsigned i = 0; i < players.size(); ++i)
            (game->spawn<QGPlayer>(0, i, players[i].first, "p"))->health = players[i].second;
    }
    std::unique_ptr<QGGame> game;
};

TEST(MatchController, FormatTime) {
    const std::pair<float, const char*> rows[] = {
        {3725.5f, "01:02:05:50"},  {59.25f, "00:00:59:25"}, {0.0f, "00:00:00:00"},  {-0.04f, "00:00:00:00"},
        {-3725.5f, "00:00:00:00"}, {NAN, "00:00:00:00"},    {1e30f, "99:59:59:99"}, {INFINITY, "99:59:59:99"}};
    for (auto [seconds, text] : rows) EXPECT_EQ(QGMatchController::format_time(seconds), text) << seconds;
}

// Health and timer come from the server: a NaN or 2^31 shows as a number held to its range.
TEST_F(MatchRules, TheLabelAndTheCountdownHoldHostileNumbersToTheirRange) {
    start_session(0, false, {{0, 100}});
    auto* controller = game->spawn<QGMatchController>(0, MatchSettings{});
    volatile float nan = NAN, two31 = 2147483648.0f;
    game->registry().get_player(0)->health = two31, controller->timer = nan;
    EXPECT_EQ(game->registry().get_player(0)->label_text(), "p: 2147483647 HP");
    EXPECT_NE(controller->info_text().find("starting in 0..."), std::string::npos) << controller->info_text();
}

TEST_F(MatchRules, WinCheckByPlayersLivesAndTeams) {
    const struct {
        int32_t lives;
        bool teams;
        Players players;
        bool over;
    } rows[] = {{0, false, {{0, 100}, {1, 0}}, false},
                {0, false, {{0, 100}}, true},
                {0, false, {}, true},
                {3, false, {{0, 100}, {1, 100}, {2, 0}}, false},
                {3, false, {{0, 100}, {1, 0}}, true},
                {1, true, {{0, 100}, {1, 100}}, false},
                {1, true, {{0, 100}, {0, 9}, {1, 0}}, true},
                {1, true, {{0, 100}, {5, 100}}, true}};
    for (const auto& row : rows) {
        start_session(row.lives, row.teams, row.players);
        auto* controller = game->spawn<QGMatchController>(0, MatchSettings{});
        for (float dt : {ready_time, 0.1f}) controller->update(dt);  // the countdown, then the check
        EXPECT_EQ(controller->state == QGMatchController::State::GameOver, row.over) << &row - rows;
    }
}

TEST_F(MatchRules, SpawnPlacementIsBoundedAndAlwaysDefined) {
    const std::array<uint32_t, 3> rows[] = {{4, 6, 6}, {4, 2, 2}, {3, 0, 0}, {2, 40, 16}};  // players, claimed, kept
    for (const auto& [players, claimed, kept] : rows) {
        start_session(3, false, Players(players, {0u, 100.0f}));
        game->match_running = false;
        SpawnPositions record;
        record.count = claimed;
        for (uint32_t i = 0; i < kMaxSpawnPositions; ++i) record.positions[i] = {10.0f * float(i) + 5.0f, 7.0f};
        for (int twice = 0; twice < 2; ++twice)
            game->match_setup().set_spawn_positions(record);  // the second replaces the first
        ASSERT_EQ(game->spawn_positions.size(), kept);
        std::set<std::pair<float, float>> used;
        for (QGPlayer* player : game->registry().players()) {
            used.insert({player->position.x, player->position.y});
            EXPECT_EQ(std::count(game->spawn_positions.begin(), game->spawn_positions.end(), player->position) > 0,
                      kept > 0);
        }
        EXPECT_EQ(used.size(), kept ? std::min(players, kept) : 1u);  // distinct, shared, or all at (0, 0)
        EXPECT_TRUE(game->match_running && game->registry().players()[0]->spawned);
    }
}

// A chat record of count lines, of which `written` follow, each naming the host.
ByteBuffer chat_record(uint32_t count, uint32_t written, uint32_t length, const std::string& text) {
    ByteBuffer record;
    record.write_u32_be(count);
    for (uint32_t i = 0; i < written; ++i) {
        record.write_u32_be(0);
        record.write_u32_be(length);
        record.append(text.data(), text.size());
    }
    return record;
}

TEST_F(MatchRules, ChatTakesBoundedLinesInTheSendersName) {
    const struct {
        uint32_t count, written, length;
        std::string text;
        size_t kept, kept_length;
    } rows[] = {{20, 20, 2, "hi", QGChat::kMaxLinesFromClient, 2},
                {1, 1, 5000, std::string(5000, 'x'), 1, 200},
                {1, 1, 4, "a\x01\nb", 1, 2},
                {1000000, 1, 2, "hi", 0, 0},
                {1, 1, 5000, "hi", 0, 0},
                {1, 1, 0, "", 0, 0}};
    start_session(0, false, {});
    auto* chat = game->spawn<QGChat>(0);
    for (const auto& row : rows) {
        receive_client_record(*chat, chat_record(row.count, row.written, row.length, row.text), 1);
        ASSERT_EQ(chat->lines.size(), row.kept) << &row - rows;
        for (const auto& [id, text] : chat->lines) EXPECT_TRUE(id == 1u && text.size() == row.kept_length);
        chat->lines.clear();
    }
    // Many senders before the next send: the queue keeps the first lines up to its cap, in order.
    for (unsigned int sender = 1; sender <= 9; ++sender)
        receive_client_record(*chat, chat_record(8, 8, 1, std::to_string(sender)), sender);
    ASSERT_EQ(chat->lines.size(), QGChat::kMaxLinesFromServer);
    EXPECT_EQ(chat->lines.front(), (QGChat::Line{1u, "1"}));
    EXPECT_EQ(chat->lines.back(), (QGChat::Line{8u, "8"}));
}

TEST_F(MatchRules, AClientSaysLinesOfAtMost200PrintableCharacters) {
    game = make_headless_client_session();
    game->local_player_id = 3;
    auto* chat = game->spawn<QGChat>(8);
    for (const char* said : {"", "\t\r", "a\x01\nb\x7f"}) chat->say(said);
    chat->say(std::string(500, 'x'));
    EXPECT_EQ(chat->lines, (std::list<QGChat::Line>{{3u, "ab"}, {3u, std::string(200, 'x')}}));
}

TEST_F(MatchRules, AWatcherRegistersOnceAndADrawingClientShowsTheMatchAndTheBox) {
    start_session(3, false, {});
    testing::internal::CaptureStdout();
    for (int i = 0; i < 2; ++i) game->network().on_connect(nullptr, 4, 0, Connection());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A spectator joins the game.\n");
    CSpriteManager view;  // no window: the label and the box are built but not drawn
    GameDrawing drawing(&view, nullptr, nullptr);
    game = make_headless_client_session(nullptr, &drawing);
    auto* controller = game->spawn<QGMatchController>(7, MatchSettings{});
    auto* chat = game->spawn<QGChat>(8);
    game->update(0.0f);
    auto* label = dynamic_cast<CLabelSprite*>(view.get_child(0));
    ASSERT_TRUE(label && label->is_visible());
    // The label follows the phase and timer the server sends and the rules the client holds.
    using S = QGMatchController::State;
    const struct {
        S state;
        float timer, minutes;
        int lives;
        bool teams, friendly_fire;
        const char* text;
    } rows[] = {
        {S::Countdown, 2.5f, 0.0f, 3, false, false, "Last Man Standing\nMatch starting in 3..."},
        {S::Running, 61.25f, 5.0f, 1, true, true,
         "Team Sudden Death - Timed\nFriendly Fire enabled.\nTime Remaining: 00:01:01:25\nPlayers Remaining: 0"},
        {S::Running, 7.0f, 0.0f, 0, false, false, "Endless Mode"},
        {S::GameOver, 1.0f, 2.0f, 0, true, false, "Team Deathmatch\nFriendly Fire disabled.\nGame over."},
        {S::Closing, 9.5f, 0.0f, 2, false, false, "Last Man Standing\nGame over. Closing in 10..."},
        {S::Countdown, -5.0f, 0.0f, 0, false, false, "Endless Mode\nMatch starting in 0..."},
        {S::Closing, 1e12f, 0.0f, 0, false, false, "Endless Mode\nGame over. Closing in 359999..."}};
    for (const auto& row : rows) {
        controller->state = row.state;
        controller->timer = row.timer;
        game->rules.lives = row.lives;
        game->rules.teams = row.teams;
        controller->settings.time_limit = row.minutes;
        controller->settings.friendly_fire = row.friendly_fire;
        game->update(0.0f);
        EXPECT_EQ(label->get_text(), row.text);
    }
    game->match_running = false;
    game->update(0.0f);
    EXPECT_FALSE(label->is_visible());
    auto* box = look_of<ChatLook>(chat);
    box->set_open(true);
    box->input->set_text("hello");
    box->set_open(false);
    EXPECT_EQ(chat->lines, (std::list<QGChat::Line>{{game->local_player_id, "hello"}}));
    EXPECT_FALSE(box->is_open() || box->input->get_text().size());
    game.reset();
}
