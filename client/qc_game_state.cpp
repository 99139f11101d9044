#include "client/qc_game_state.h"

#include "engine/app/game_base.h"

QCGameState::QCGameState(CTextureManager* textures, QCGame* owner)
    : CInterfaceContainer(nullptr, textures), game(owner) {
    set_client_rect(0, 0, 0, 0);
    const float width = float(CGameBase::window_width);
    const float height = float(CGameBase::window_height);
    set_width(width);
    set_height(height);
    set_client_rect(0, 0, width, height);
}

void QCGameState::on_window_resized(const SDL_ResizeEvent& event) {
    const float width = float(event.w);
    const float height = float(event.h);
    set_width(width);
    set_height(height);
    set_client_rect(0, 0, width, height);
}
