#include "editor/kxp_main.h"
#include "engine/app/game_base.h"

int main() {
    CGameBase::require_display();
    return editor_main();
}
