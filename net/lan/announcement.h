#pragma once
#include <SFML/Network/IpAddress.hpp>
#include <cstdint>
#include <string>

#include "engine/core/byte_buffer.h"
#include "net/sync/networkable.h"
#include "net/transport/connection.h"

// The UDP port on which servers announce themselves on the local network.
constexpr unsigned short lan_announce_port = 4201;

// The fields of a server's LAN announcement, object 0 of its sync packet: the server name
// (string form) and the server's Connection (8 raw bytes). The announcer sends it through a
// Udp of its own; the Browser reads the same bytes with its own field list.
class ServerAnnouncement : public Networkable {
public:
    ServerAnnouncement() = default;
    ServerAnnouncement(std::string name, const Connection& connection)
        : server_name(std::move(name)), server_connection(connection) {}

    void sync_fields() override;

    std::string server_name;
    Connection server_connection;
};

// The whole datagram: the sync packet of the one object 0, 32 + name length bytes.
ByteBuffer encode_announcement(const std::string& name, const Connection& connection, int64_t send_time_ms);
// Reads a datagram built by encode_announcement. False, leaving the outputs unchanged, for
// anything else: a cut or padded datagram, or one without exactly the record of object 0.
bool decode_announcement(const ByteBuffer& datagram, std::string& name, Connection& connection);

// True when BRAWL_LOOPBACK_ONLY=1 is set: nothing is sent beyond this machine.
bool loopback_only();
// Where announcements go: the broadcast address, or 127.0.0.1 in loopback-only mode.
sf::IpAddress announcement_target_address();
// The public address as a web service sees this machine, or None when no answer came within the
// time limit. In loopback-only mode nothing is asked: None.
sf::IpAddress lookup_public_address(int time_limit_ms = 3000);
// The address in dotted form; "unavailable" for None.
std::string public_address_text(const sf::IpAddress& address);
// The looked-up public address in dotted form; "unavailable" in loopback-only mode, where the
// lookup is skipped, and when it found nothing in time.
std::string public_address_text();
