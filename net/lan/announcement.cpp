#include "net/lan/announcement.h"

#include <cstdlib>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

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

sf::IpAddress lookup_public_address(int time_limit_ms) {
    if (loopback_only()) return sf::IpAddress::None;
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        sf::IpAddress address = sf::IpAddress::None;
    };
    auto answer = std::make_shared<Answer>();
    // The request has a time limit, the name resolution before it has none: the lookup runs on a
    // thread of its own that shares only the answer, and the caller stops waiting for it at the
    // limit. Left behind, the thread ends by itself.
    std::thread([answer, time_limit_ms] {
        const sf::IpAddress address = sf::IpAddress::getPublicAddress(sf::milliseconds(time_limit_ms));
        std::lock_guard<std::mutex> lock(answer->mutex);
        answer->address = address;
        answer->done = true;
        answer->ready.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(answer->mutex);
    answer->ready.wait_for(lock, std::chrono::milliseconds(time_limit_ms), [&] { return answer->done; });
    return answer->address;
}

std::string public_address_text(const sf::IpAddress& address) {
    if (address == sf::IpAddress::None) return "unavailable";
    return address.toString();
}

std::string public_address_text() { return public_address_text(lookup_public_address()); }
