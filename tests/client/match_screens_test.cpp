// What the whole match (tests/e2e) cannot show: which thread hands the connection result to the
// screens, and leaving while the server does not answer.
#include <SFML/Network/TcpListener.hpp>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "client/qc_game_play.h"
#include "client/qc_level_gen.h"
#include "client/qc_main_menu.h"
#include "support/client_game.h"
#include "support/session_test_support.h"

using namespace client_test;

namespace {

struct ResultProbe {
    std::thread::id thread;
    int calls = 0;
    void on_result(bool ok) {
        EXPECT_TRUE(ok);
        thread = std::this_thread::get_id();
        ++calls;
    }
};

}  // namespace

TEST(GamePlay, ConnectionResultReachesTheScreensOnTheFrameThread) {
    session_test::LoopbackServer server(NetClock::system());
    ASSERT_TRUE(server.start(1));
    ResultProbe probe;
    game().join(sf::IpAddress(127, 0, 0, 1), server.port, Callback<void, bool>(&probe, &ResultProbe::on_result));
    ASSERT_TRUE(server.accept_players(1));
    server.activate();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!top<QCLevelGen>() && std::chrono::steady_clock::now() < end) {
        server.game->update(0.016f);
        frame();
    }
    ASSERT_NE(top<QCLevelGen>(), nullptr);
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(probe.thread, std::this_thread::get_id());
    // The server goes: the level generator and the gameplay screen close together.
    server.game.reset();
    for (int i = 0; i < 200 && game().states.size() > 1; ++i) frame();
    EXPECT_NE(top<QCMainMenu>(), nullptr);
}

TEST(GamePlay, LeavingWhileTheServerDoesNotAnswerIsQuick) {
    // The server takes the connection but never hands out an id.
    sf::TcpListener silent;
    ASSERT_EQ(silent.listen(sf::Socket::AnyPort, sf::IpAddress(127, 0, 0, 1)), sf::Socket::Done);
    QCGameState* play = game().join(sf::IpAddress(127, 0, 0, 1), silent.getLocalPort(), Callback<void, bool>());
    for (int i = 0; i < 5; ++i) frame();
    ASSERT_EQ(top<QCGamePlay>(), play);
    // The attempt would wait 10 s for the id; leaving cuts it short.
    const auto before = std::chrono::steady_clock::now();
    game().close_top_state();
    frame();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_NE(top<QCMainMenu>(), nullptr);
}
