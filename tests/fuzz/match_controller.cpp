// The match controller's timer and state as a client receives them.
#include "fuzz_support.h"
#include "game/match/qg_match_controller.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto game = fuzz::session(false);
    auto* controller = game->spawn<QGMatchController>(5, MatchSettings{});
    fuzz::feed(*game, *controller, data, size);
    (void)controller->info_text();
    return 0;
}
