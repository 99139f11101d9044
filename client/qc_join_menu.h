#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "client/host_lookup.h"
#include "client/qc_game_state.h"
#include "net/lan/browser.h"

class CButton;
class CEdit;
class CLabel;
class CListBox;

// Joining a match someone else hosts: the servers announcing themselves on the local network,
// or a typed address and port. The address is checked (a host name is looked up without
// holding up the window), both texts are remembered in config.ini and the gameplay screen is
// opened on top.
class QCJoinMenu : public QCGameState {
public:
    // Two clicks on list entries closer than this join the second one.
    static constexpr uint32_t kDoubleClickMs = 500;

    QCJoinMenu(CTextureManager* textures, QCGame* game);
    ~QCJoinMenu() override;

    bool runs_when_inactive() override { return keep_running; }
    // Both buttons come back when the screen above closes.
    void on_uncovered() override;
    // Takes in the announcements, refreshes the list, finishes a lookup or a connection
    // result that has arrived, then updates the widgets.
    void update(float dt) override;

    static void on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_server_list_click(CListBox* list, const SDL_MouseButtonEvent* event, int index);
    // The connection outcome, told on the game's connection thread; the screen acts on it in
    // its next update.
    void on_connect_result(bool success);

    Browser browser;
    std::vector<ServerInfo> servers;
    bool keep_running = true;
    uint32_t last_click_ms = 0;
    CListBox* server_list = nullptr;
    CEdit* ip_edit = nullptr;
    CEdit* port_edit = nullptr;
    CLabel* error_label = nullptr;
    CButton* cancel_button = nullptr;
    CButton* join_button = nullptr;

    static QCJoinMenu* instance;
    // Where the browser listens for announcements; tests use a free port (0).
    static unsigned short browser_port;

private:
    void refresh_list();
    // The checks and the join once the address is known.
    void finish_join(const sf::IpAddress& address);
    void show_error(const std::string& text);

    HostLookup lookup;
    // The texts as they were when Join was pressed.
    std::string join_ip_text;
    std::string join_port_text;
    // -1: nothing to act on; 0 failure; 1 success.
    std::atomic<int> pending_connect_result{-1};
};
