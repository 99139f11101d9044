#include "client/client_main.h"
#include "engine/app/game_base.h"

int main(int argc, char** argv) {
    CGameBase::require_display();
    return client_main(argc, argv);
}
