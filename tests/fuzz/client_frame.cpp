// A frame a client sent, as the server applies it in that client's name: a sync packet whose
// records reach the objects that read client fields (the event queue, id 1, and the chat, id 2).
// The first byte's bits 0 and 1 pick the client, 0 to 3. The frames come through a TCP transport,
// which keeps the newest send times.
#include "fuzz_support.h"
#include "game/match/qg_chat.h"
#include "game/session/server_session.h"
#include "support/net_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    auto game = fuzz::session(true);
    game->network().install_transports(std::make_unique<net_test::MemoryTcp>(), nullptr);
    game->spawn<QGChat>(0);
    game->flush_registrations();
    ByteBuffer frame(data + 1, size - 1);
    const unsigned int client = data[0] & 3;
    const Connection remote(sf::IpAddress::LocalHost, uint16_t(50000 + client));
    dynamic_cast<ServerSession&>(game->network()).on_frame(client, remote, frame);
    game->update(0.016f);
    game->update(0.016f);
    return 0;
}
