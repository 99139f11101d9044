#include "net/lan/browser.h"

#include "engine/core/logger.h"

Browser::Browser(float entry_life_s, unsigned short port, const NetClock* clock) {
    if (clock) udp_.set_clock(*clock);
    udp_.bind(port);
    udp_.accept_unknown_senders = true;
    float ms = entry_life_s > 0.0f ? entry_life_s * 1000.0f : 0.0f;
    if (!(ms < 2.0e9f)) ms = 2.0e9f;
    entry_life_ms = int64_t(ms);
    objects_[0] = this;
}

void Browser::update() {
    udp_.receive_objects(objects_);
    const int64_t now = udp_.now_ms();
    for (auto it = servers.begin(); it != servers.end();) {
        if (it->second.expiry_ms <= now) it = servers.erase(it);
        else ++it;
    }
}

void Browser::list_servers(std::vector<ServerInfo>& out) const {
    out.clear();
    for (const auto& [connection, entry] : servers) out.push_back({entry.name, connection});
}

void Browser::sync_fields() {
    if (mode != Read || !current_packet) return;
    std::string name;
    Connection connection;
    sync_field(name);
    sync_field(connection);
    // Only a whole announcement names a server: a cut or padded record creates and
    // refreshes nothing.
    if (!current_packet->ok() || !current_packet->at_end()) {
        log_message(LogLevel::Warning, "Ignored a malformed server announcement", log_class_name_of(*this));
        return;
    }
    ServerEntry& entry = servers[connection];
    entry.name = std::move(name);
    entry.expiry_ms = udp_.now_ms() + entry_life_ms;
}
