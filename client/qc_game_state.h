#pragma once
#include <SDL/SDL.h>

#include "engine/ui/interface_container.h"

class CTextureManager;
class QCGame;

// The base of every client screen: a widget container spanning the window and a sprite manager
// that owns the screen's sprites. Screens live on QCGame's stack; the one on top is active.
// A covered screen is updated, drawn and given input only as far as its two queries allow.
class QCGameState : public CInterfaceContainer {
public:
    QCGameState(CTextureManager* textures, QCGame* game);

    virtual bool runs_when_inactive() { return false; }
    virtual bool takes_input_when_inactive() { return false; }
    virtual void on_entered() {}
    virtual void on_closed() {}
    virtual void on_covered() {}
    virtual void on_uncovered() {}
    // Keeps the screen as large as the window; overrides call this first.
    virtual void on_window_resized(const SDL_ResizeEvent& event);

    QCGame* game = nullptr;
    // Set and cleared only by the stack (QCGame::push_state and QCGame::close_top_state).
    bool active = false;
};
