// The client's screens in the window, driven as a player drives them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "client/level_file.h"
#include "client/qc_game_play.h"
#include "client/qc_host_menu.h"
#include "client/qc_join_menu.h"
#include "client/qc_level_gen.h"
#include "client/qc_main_menu.h"
#include "client/qc_scoreboard.h"
#include "client/qc_settings_window.h"
#include "client/qc_spawn_select.h"
#include "engine/audio/audio.h"
#include "engine/core/ini.h"
#include "engine/ui/button.h"
#include "engine/ui/checkbox.h"
#include "engine/ui/edit.h"
#include "engine/ui/label.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "net/lan/announcement.h"
#include "net/transport/udp.h"
#include "support/caption_fit.h"
#include "support/client_game.h"
#include "support/test_support.h"

using namespace client_test;

namespace {

QCMainMenu* main_menu() { return QCMainMenu::instance; }

int dark_pixels(IntRect r) {
    int count = 0;
    for (int i = 0; i < r.width * r.height; ++i) {
        const ColorRGBA c = pixel(r.x + i % r.width, r.y + i / r.width);
        count += c.r < 90 && c.g < 90 && c.b < 90;
    }
    return count;
}

template <typename Done>
bool frames_until(Done done, int limit_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string visible_text(CLabel* label) { return label->is_visible() ? label->get_text() : "<hidden>"; }

}  // namespace

TEST(ClientStart, StoredValuesAreCheckedBeforeUse) {
    EXPECT_EQ(CGameBase::get_audio()->volume, 255);  // config.ini holds 300
    const ivec2d configured = window_resolution;
    for (ivec2d size : {ivec2d{0, 600}, ivec2d{800, -1}, ivec2d{100000, 600}, ivec2d{800, 100000}}) {
        window_resolution = size;
        EXPECT_EQ(QCGame::startup_window_size(), std::make_pair(1024, 768)) << size.x << " x " << size.y;
    }
    window_resolution = configured;
    ASSERT_EQ(game().states.size(), 1u);
    EXPECT_TRUE(main_menu()->active);
}

TEST(MainMenu, LayoutAndDrawing) {
    QCMainMenu* menu = main_menu();
    // The 200 x 400 panel is centred in the 800 x 600 window; its client area starts at 310, 110.
    const std::pair<CInterfaceElement*, IntRect> layout[] = {
        {menu->name_edit, {310, 134, 180, 24}},   {menu->join_button, {310, 259, 180, 24}},
        {menu->host_button, {310, 293, 180, 24}}, {menu->settings_button, {310, 432, 180, 24}},
        {menu->exit_button, {310, 466, 180, 24}},
    };
    for (const auto& [widget, expected] : layout) {
        const IntRect r = widget->get_anchored_absolute_bounds();
        EXPECT_EQ(std::make_tuple(r.x, r.y, r.width, r.height),
                  std::make_tuple(expected.x, expected.y, expected.width, expected.height));
    }
    frame();
    EXPECT_EQ(pixel(100, 100), (ColorRGBA{0, 0, 0, 255}));
    EXPECT_EQ(pixel(303, 300), (ColorRGBA{228, 225, 218, 255}));  // panel face
    EXPECT_EQ(pixel(313, 270), (ColorRGBA{190, 196, 206, 255}));  // button face
    // Caption and button texts are drawn in dark letters.
    EXPECT_GT(dark_pixels({320, 112, 160, 20}), 40);
    for (CButton* button : {menu->join_button, menu->host_button, menu->settings_button, menu->exit_button}) {
        const IntRect r = button->get_anchored_absolute_bounds();
        EXPECT_GT(dark_pixels({r.x + 40, r.y + 5, 100, 14}), 15) << button->get_text();
    }
}

TEST(MainMenu, NameRuleAndButtons) {
    QCMainMenu* menu = main_menu();
    // A long name is cut to what the join record holds; the click moves the focus first.
    retype(menu->name_edit, "Abcdefghijklmnopqrst");
    click(menu->join_button);
    EXPECT_EQ(config("user", "name"), "Abcdefghijklmno");
    EXPECT_EQ(menu->name_edit->get_text(), "Abcdefghijklmno");
    ASSERT_NE(top<QCJoinMenu>(), nullptr);
    EXPECT_FALSE(menu->active);
    click(top<QCJoinMenu>()->cancel_button);
    EXPECT_EQ(game().states.size(), 1u);
    EXPECT_TRUE(menu->active);

    retype(menu->name_edit, "");
    click(menu->host_button);
    EXPECT_EQ(menu->name_edit->get_text(), "Abcdefghijklmno");
    ASSERT_NE(top<QCHostMenu>(), nullptr);
    click(top<QCHostMenu>()->cancel_button);
    EXPECT_EQ(top<QCMainMenu>(), menu);

    click(menu->settings_button);
    QCSettingsWindow* window = QCSettingsWindow::instance;
    ASSERT_NE(window, nullptr);
    click_at(400, 453);  // the part of Settings the window leaves free
    EXPECT_EQ(QCSettingsWindow::instance, window);
    EXPECT_EQ(menu->get_child(menu->settings_window_index), window);
    click(menu->exit_button);
    EXPECT_TRUE(game().quit_requested);
    game().quit_requested = false;
    click(window->cancel_button);
    EXPECT_EQ(QCSettingsWindow::instance, nullptr);
}

TEST(SettingsWindow, ApplyCountdownConfirmAndCancel) {
    click(main_menu()->settings_button);
    QCSettingsWindow* window = QCSettingsWindow::instance;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->width_edit->get_text(), "800");
    CAudio* audio = CGameBase::get_audio();

    // Sizes the display cannot open are refused and change nothing.
    for (const char* width : {"0", "-5", "100000"}) {
        retype(window->width_edit, width);
        click(window->apply_button);
        EXPECT_EQ(visible_text(window->status_label), "Invalid resolution.");
        EXPECT_EQ(CGameBase::window_width, 800);
    }

    retype(window->width_edit, "640");
    retype(window->height_edit, "480");
    window->volume_scrollbar->set_value(50);
    click(window->apply_button);
    frame(0.5f);
    EXPECT_EQ(std::make_pair(CGameBase::window_width, CGameBase::window_height), std::make_pair(640, 480));
    EXPECT_EQ(audio->volume, 50);
    EXPECT_EQ(visible_text(window->status_label), "Confirm? Reverting in 9 seconds.");
    frame(9.0f);
    EXPECT_EQ(visible_text(window->status_label), "Confirm? Reverting in 0 seconds.");
    frame(1.0f);
    frame();
    EXPECT_EQ(visible_text(window->status_label), "<hidden>");
    EXPECT_EQ(std::make_pair(CGameBase::window_width, CGameBase::window_height), std::make_pair(800, 600));
    EXPECT_EQ(audio->volume, 255);
    EXPECT_EQ(window->width_edit->get_text(), "800");

    // Confirm stores the tried values; a failed write leaves config.ini as it was and says so,
    // and the window stays for another try.
    retype(window->width_edit, "640");
    const std::string file = run_folder() + "/config.ini";
    const std::string before = file_text(file);
    test_support::with_file_size_limit(16, [&] { window->on_button(window->confirm_button, nullptr); });
    EXPECT_EQ(file_text(file), before);
    frame(2.0f);
    EXPECT_EQ(QCSettingsWindow::instance, window);
    EXPECT_TRUE(window->status_label->is_visible() && window->revert_countdown <= 0);
    ASSERT_FALSE(message_boxes().empty());
    EXPECT_FALSE(message_boxes().back().yes_no);

    retype(window->width_edit, "640");
    retype(window->height_edit, "480");
    window->volume_scrollbar->set_value(100);
    click(window->movable_checkbox);
    click(window->confirm_button);
    frame();
    EXPECT_EQ(QCSettingsWindow::instance, nullptr);
    EXPECT_EQ(std::make_tuple(config("system", "resX"), config("system", "resY"), config("system", "volume")),
              std::make_tuple(std::string("640"), std::string("480"), std::string("100")));
    EXPECT_FALSE(ini_read_bool("system", "settingsMovable", true, kUserIni));
    EXPECT_EQ(CGameBase::window_width, 640);

    // Cancel restores what is stored, also without Apply.
    ASSERT_TRUE(ini_write_int("system", "resX", 800, kUserIni) && ini_write_int("system", "resY", 600, kUserIni));
    click(main_menu()->settings_button);
    EXPECT_EQ(QCSettingsWindow::instance->width_edit->get_text(), "640");
    click(QCSettingsWindow::instance->cancel_button);
    frame();
    EXPECT_EQ(std::make_pair(CGameBase::window_width, CGameBase::window_height), std::make_pair(800, 600));
    EXPECT_EQ(QCSettingsWindow::instance, nullptr);
}

// Save Level writes where the player chose; a save that cannot be written is shown in a message box.
TEST(LevelGenerator, SaveLevelSaysWhenItFailed) {
    QCLevelGen* screen = game().push_state<QCLevelGen>(nullptr);
    retype(screen->seed_edit, "77");
    std::string chosen;
    platform::set_file_dialog_handler([&](const platform::FileDialogRequest&) { return chosen; });
    const std::size_t boxes = message_boxes().size();
    for (const char* name : {"/no folder/level.vml", "/saved.vml"}) {
        chosen = run_folder() + name;
        click(screen->save_button);
    }
    platform::set_file_dialog_handler({});
    EXPECT_EQ(message_boxes().size(), boxes + 1);
    EXPECT_EQ(read_level_file(chosen, LevelParameters()).seed, 77u);
    game().close_top_state();
    frame();
}

TEST(HostMenu, ChecksAndTheServerItStarts) {
    click(main_menu()->host_button);
    QCHostMenu* host = top<QCHostMenu>();
    ASSERT_NE(host, nullptr);
    // The 300 x 430 panel's client area starts at 260, 95.
    const IntRect go = host->host_button->get_anchored_absolute_bounds();
    EXPECT_EQ(std::make_pair(go.x, go.y), std::make_pair(440, 481));
    const std::string record = run_folder() + "/server_arguments.txt";

    struct Values {
        const char *name, *port, *time, *lives;
    } refused[] = {{"", "4200", "5", "5"},   {"A", "4200", "", "5"},  {"A", "0", "5", "5"},
                   {"A", "65536", "5", "5"}, {"A", "4200", "5", "0"}, {"A", "4200", "5", "abc"}};
    for (const Values& v : refused) {
        retype(host->name_edit, v.name);
        retype(host->port_edit, v.port);
        retype(host->time_edit, v.time);
        retype(host->lives_edit, v.lives);
        click(host->host_button);
        EXPECT_EQ(visible_text(host->status_label), "Incorrect values entered. Please try again.") << v.port;
    }

    // Teams need an even player count; friendly fire needs teams and keeps its mark.
    host->players_scrollbar->set_value(4);
    click(host->teams_checkbox);
    click(host->friendly_fire_checkbox);
    host->players_scrollbar->set_value(5);
    EXPECT_EQ(host->players_label->get_text(), "5");
    EXPECT_FALSE(host->teams_checkbox->is_enabled() || host->teams_checkbox->is_checked());
    EXPECT_FALSE(host->friendly_fire_checkbox->is_enabled());

    const std::string name = "Say \"hi\" \\\"x\\\" & $(id)";
    retype(host->name_edit, name);
    retype(host->port_edit, "70000");
    retype(host->time_edit, "abc");
    retype(host->lives_edit, "-1");
    retype(host->respawn_edit, "2.5");
    click(host->host_button);
    ASSERT_TRUE(frames_until([&] { return std::filesystem::exists(record); }));
    using namespace std::string_literals;
    EXPECT_EQ(file_text(record),
              "4464\0"s + "5\0"s + "-1\0"s + "0.000000\0"s + "2.500000\0"s + "false\0"s + "true\0"s + name + '\0');
    EXPECT_EQ(std::make_tuple(config("host", "name"), config("host", "port"), config("host", "players"),
                              config("host", "time"), config("host", "lives"), config("host", "respawnTime")),
              std::make_tuple(name, std::string("70000"), std::string("5"), std::string("abc"), std::string("-1"),
                              std::string("2.5")));
    EXPECT_TRUE(ini_read_bool("host", "friendlyFire", false, kUserIni));
    EXPECT_EQ(visible_text(host->status_label), "<hidden>");
    // The gameplay screen connects over the menu; leaving it gives the menu back.
    ASSERT_NE(top<QCGamePlay>(), nullptr);
    game().close_top_state();
    frame();
    EXPECT_EQ(top<QCHostMenu>(), host);

    // The connection result arrives on another thread and shows in the next frame.
    std::thread([host] { host->on_connect_result(false); }).join();
    frame();
    EXPECT_EQ(visible_text(host->status_label), "Failed to connect to server.");
    click(host->cancel_button);
    EXPECT_EQ(top<QCMainMenu>(), main_menu());
}

namespace {
std::atomic<bool> lookup_released{false};
std::atomic<int> lookups_waiting{0};

// Answers once released; a frame that waited for it would come back after a minute at the most.
sf::IpAddress unanswered_lookup(const std::string&) {
    ++lookups_waiting;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!lookup_released && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    --lookups_waiting;
    return sf::IpAddress::None;
}
}  // namespace

TEST(JoinMenu, ListsAnnouncedServersAndChecksWhatIsTyped) {
    QCJoinMenu::browser_port = 0;
    click(main_menu()->join_button);
    QCJoinMenu* join = top<QCJoinMenu>();
    ASSERT_NE(join, nullptr);
    Udp announcer;
    announcer.add_peer(Connection(sf::IpAddress::LocalHost, join->browser.local_port()));
    const Connection server(sf::IpAddress::LocalHost, 4321);
    announcer.send(encode_announcement("Test Arena", server, 1));
    ASSERT_TRUE(frames_until([&] { return join->server_list->get_item_count() == 1; }));
    EXPECT_EQ(join->server_list->get_item_text(0), "Test Arena");

    // One click fills the edits; a second one soon after joins: the gameplay screen opens over
    // the menu, which is back when it closes.
    const IntRect list = join->server_list->get_anchored_absolute_bounds();
    click_at(list.x + 100, list.y + 17, 3);
    EXPECT_EQ(join->ip_edit->get_text(), "127.0.0.1");
    EXPECT_EQ(join->port_edit->get_text(), "4321");
    click_at(list.x + 100, list.y + 17);
    EXPECT_EQ(std::make_pair(config("join", "ip"), config("join", "port")),
              std::make_pair(std::string("127.0.0.1"), std::string("4321")));
    ASSERT_NE(top<QCGamePlay>(), nullptr);
    game().close_top_state();
    frame();
    EXPECT_EQ(top<QCJoinMenu>(), join);
    EXPECT_TRUE(join->join_button->is_enabled());

    for (const char* port : {"abc", "-1"}) {
        retype(join->port_edit, port);
        click(join->join_button);
        EXPECT_EQ(visible_text(join->error_label), "Invalid port.");
    }

    // A name that is never answered holds up neither the frames nor Cancel.
    const HostLookup::Resolver system_lookup = HostLookup::resolver;
    HostLookup::resolver = unanswered_lookup;
    retype(join->ip_edit, "no.answer.example");
    click(join->join_button);
    ASSERT_TRUE(frames_until([] { return lookups_waiting == 1; }));
    for (int i = 0; i < 5; ++i) frame();
    EXPECT_EQ(lookups_waiting, 1);
    EXPECT_FALSE(join->join_button->is_enabled());
    lookup_released = true;
    ASSERT_TRUE(frames_until([&] { return join->join_button->is_enabled(); }));
    EXPECT_EQ(visible_text(join->error_label), "Invalid IP address.");
    lookup_released = false;
    click(join->join_button);
    HostLookup::resolver = system_lookup;

    // A server that stops announcing leaves the list when its entry expires.
    ASSERT_TRUE(frames_until([&] { return join->server_list->get_item_count() == 0; }, 4000));
    click(join->cancel_button);
    EXPECT_EQ(top<QCMainMenu>(), main_menu());
    lookup_released = true;
}

TEST(Captions, EveryScreensCaptionsFitTheirBoxes) {
    click(main_menu()->settings_button);
    ASSERT_NE(QCSettingsWindow::instance, nullptr);
    EXPECT_EQ(test_support::cut_captions(QCSettingsWindow::instance), std::vector<std::string>()) << "settings";
    click(QCSettingsWindow::instance->cancel_button);
    const std::pair<const char*, std::function<QCGameState*()>> screens[] = {
        {"main menu", [] { return main_menu(); }},
        {"host menu", [] { return game().push_state<QCHostMenu>(); }},
        {"join menu", [] { return game().push_state<QCJoinMenu>(); }},
        {"level generator", [] { return game().push_state<QCLevelGen>(nullptr); }},
        {"spawn selection", [] { return game().push_state<QCSpawnSelect>(nullptr); }},
        {"scoreboard", [] { return game().push_state<QCScoreboard>(nullptr); }},
    };
    for (const auto& [name, open] : screens) {
        QCGameState* screen = open();
        frame();
        EXPECT_EQ(test_support::cut_captions(screen), std::vector<std::string>()) << name;
        if (screen != main_menu()) game().close_top_state();
        frame();
    }
    EXPECT_EQ(top<QCMainMenu>(), main_menu());
}
