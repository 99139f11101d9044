// A peer's event queue with every record it may carry: first byte bit 2 picks the server (the
// queue then comes from client 0 to 3, bits 0 and 1) or a client.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    auto game = fuzz::session(data[0] & 4);
    fuzz::feed(*game, *game->event_handler, data + 1, size - 1, data[0] & 3);
    return 0;
}
