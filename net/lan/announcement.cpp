#include "net/lan/announcement.h"

#include <cstdlib>
#include <cstring>

#include "net/sync/protocol.h"

void ServerAnnouncement::sync_fields() {
    sync_field(server_name);
    sync_field(server_connection);
}

ByteBuffer encode_announcement(const std::string& name, const Connection& connection, int64_t send_time_ms) {
    ServerAnnouncement announcement(name, connection);
    NetworkableMap objects{{0u, &announcement}};
    ByteBuffer datagram;
    Protocol::build_sync_packet(objects, send_time_ms, datagram);
    return datagram;
}

bool decode_announcement(const ByteBuffer& datagram, std::string& name, Connection& connection) {
    if (!Protocol::is_well_formed_sync_packet(datagram)) return false;
    ByteBuffer in(datagram.data(), datagram.size());
    uint32_t id = 1, n = 0;
    in.skip(sync_header_size);
    if (!in.read_u32_be(id) || id != 0 || !in.read_u32_be(n) || n != in.remaining()) return false;
    std::string read_name;
    Connection read_connection;
    if (!in.read_string(read_name) || !read_connection.read(in) || !in.at_end()) return false;
    name = std::move(read_name);
    connection = read_connection;
    return true;
}

bool loopback_only() {
    const char* value = std::getenv("BRAWL_LOOPBACK_ONLY");
    return value && std::strcmp(value, "1") == 0;
}

sf::IpAddress announcement_target_address() {
    return loopback_only() ? sf::IpAddress::LocalHost : sf::IpAddress::Broadcast;
}

std::string public_address_text() {
    if (loopback_only()) return "unavailable";
    return sf::IpAddress::getPublicAddress().toString();
}
