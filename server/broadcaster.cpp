#include "server/broadcaster.h"

#include <chrono>
#include <thread>

const char* const kFullSuffix = " (FULL)";

namespace {

constexpr auto kAnnouncePeriod = std::chrono::milliseconds(200);

// The address clients are told to connect to.
sf::IpAddress announced_address() {
    return loopback_only() ? sf::IpAddress::LocalHost : sf::IpAddress::getLocalAddress();
}

}  // namespace

std::string bounded_server_name(const std::string& name, size_t max_bytes) {
    if (name.size() <= max_bytes) return name;
    size_t end = max_bytes;
    // Back up over continuation bytes to the start of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

Broadcaster::Broadcaster(unsigned short tcp_port, unsigned short target_port, std::string name, float send_interval_s)
    : ServerAnnouncement(bounded_server_name(name), Connection(announced_address(), tcp_port)) {
    udp.add_peer(Connection(announcement_target_address(), target_port));
    udp.set_send_interval(send_interval_s);
    objects[0] = this;
}

void Broadcaster::announce() {
    // A failed send is not retried: the next period sends again.
    udp.send_objects(objects);
}

void run_broadcaster(std::string name, unsigned short tcp_port, std::atomic<bool>* running,
                     unsigned short target_port) {
    Broadcaster broadcaster(tcp_port, target_port, std::move(name), 0.0f);
    while (running && running->load()) {
        broadcaster.announce();
        std::this_thread::sleep_for(kAnnouncePeriod);
    }
}
