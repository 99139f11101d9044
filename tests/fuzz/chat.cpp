// The chat's queue of lines, as the server takes it from client 0 to 3 (first byte bit 2 set,
// bits 0 and 1) or as a client takes it from the server.
#include "fuzz_support.h"
#include "game/match/qg_chat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    auto game = fuzz::session(data[0] & 4);
    game->message_hook = +[](const std::string&) {};
    auto* chat = game->spawn<QGChat>(5);
    fuzz::feed(*game, *chat, data + 1, size - 1, data[0] & 3);
    return 0;
}
