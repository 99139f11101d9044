#pragma once
#include <atomic>
#include <cstddef>
#include <string>

#include "net/lan/announcement.h"
#include "net/sync/protocol.h"
#include "net/transport/udp.h"

// Longest server name announced, in bytes; a longer one is cut (at a character boundary) so
// that the datagram, 32 bytes plus the name, always fits.
constexpr size_t kMaxAnnouncedNameBytes = 1024;
// Suffix of the name once all players are connected.
extern const char* const kFullSuffix;

// The name cut to at most max_bytes bytes without splitting a UTF-8 character.
std::string bounded_server_name(const std::string& name, size_t max_bytes = kMaxAnnouncedNameBytes);

// Announces one server on the local network: the announcement's fields (name, and the address
// and TCP port clients connect to) sent as object 0 of a sync packet through a Udp of its own,
// to the broadcast address, or to 127.0.0.1 in loopback-only mode.
class Broadcaster : public ServerAnnouncement {
public:
    Broadcaster(unsigned short tcp_port, unsigned short target_port, std::string name, float send_interval_s);

    // One datagram (the send interval permitting).
    void announce();

    Udp udp;
    NetworkableMap objects;
};

// The announcement thread's body: while *running is true (tested before the first datagram
// too), one announcement every 200 ms.
void run_broadcaster(std::string name, unsigned short tcp_port, std::atomic<bool>* running,
                     unsigned short target_port = lan_announce_port);
