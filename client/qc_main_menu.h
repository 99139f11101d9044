#pragma once
#include <cstddef>
#include "client/qc_game_state.h"

class CButton;
class CEdit;

// The first screen, at the bottom of the stack for the whole run: the character name and the
// ways into joining, hosting, the settings window and out of the program.
class QCMainMenu : public QCGameState {
public:
    // Longest name kept: the join request holds 16 bytes with the terminating NUL.
    static constexpr std::size_t kMaxNameLength = 15;

    QCMainMenu(CTextureManager* textures, QCGame* game);
    ~QCMainMenu() override;

    static void on_button(CInterfaceElement* sender, const SDL_MouseButtonEvent* event);
    static void on_name_changed(CInterfaceElement* sender);

    CEdit* name_edit = nullptr;
    CButton* join_button = nullptr;
    CButton* host_button = nullptr;
    CButton* settings_button = nullptr;
    CButton* exit_button = nullptr;
    // Child index of the settings window this menu opened; -1: none yet.
    int settings_window_index = -1;

    static QCMainMenu* instance;
};
