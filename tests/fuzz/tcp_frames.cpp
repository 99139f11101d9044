// A TCP stream from a peer over loopback: the link cuts it into frames (at most 64 KiB each, as a
// server takes them), and each frame meets the keep-alive handlers and the sync packet check.
#include <SFML/Network/TcpListener.hpp>
#include <cstdlib>

#include "support/net_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sf::TcpListener listener;
    static const bool listening = listener.listen(0, sf::IpAddress::LocalHost) == sf::Socket::Done;
    if (!listening) std::abort();
    sf::TcpSocket peer;
    TcpLink link;
    link.max_frame_bytes = 1 << 16;
    if (peer.connect(sf::IpAddress::LocalHost, listener.getLocalPort()) != sf::Socket::Done ||
        link.accept(listener) != sf::Socket::Done)
        std::abort();
    if (size > 0 && peer.send(data, size) != sf::Socket::Done) std::abort();
    peer.disconnect();
    net_test::MemoryTcp keep_alive;
    ManualNetClock clock;
    keep_alive.set_clock(clock);
    int64_t last_receive = 0, latency = 0;
    ByteBuffer packet;
    // The peer has closed: the link reads to the end of the stream, never waiting for more.
    while (link.receive_within(packet, 10000) == sf::Socket::Done) {
        if (!keep_alive.handle_ping(packet) && !keep_alive.handle_pong(packet, last_receive, latency))
            Protocol::is_well_formed_sync_packet(packet);
    }
    return 0;
}
