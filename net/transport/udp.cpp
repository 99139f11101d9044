#include "net/transport/udp.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/core/logger.h"

Udp::Udp() : datagram_(sf::UdpSocket::MaxDatagramSize) { socket_.setBlocking(false); }

Udp::~Udp() { socket_.unbind(); }

bool Udp::bind(unsigned short port) {
    if (socket_.bind(port) != sf::Socket::Done) {
        print_net_line("UdpError! bind on port " + std::to_string(port) + " failed.");
        return false;
    }
    return true;
}

void Udp::unbind() { socket_.unbind(); }

void Udp::add_peer(const Connection& peer) { peers_.insert(peer); }

void Udp::remove_peer(const Connection& peer) {
    peers_.erase(peer);
    peer_states_.erase(peer);
    forget_peer(peer);
}

float Udp::peer_stretch(const Connection& peer) const {
    auto it = peer_states_.find(peer);
    return it == peer_states_.end() ? 1.0f : it->second.pace.stretch();
}

bool Udp::send(const ByteBuffer& packet) { return send_sync(packet, ChangeKeys()); }

bool Udp::send_sync(const ByteBuffer& packet, const ChangeKeys& keys) {
    const bool per_peer = refresh_sends != 0 || path_monitor;
    if (!per_peer && packet.size() <= datagram_limit) return send_to_peers(packet.data(), packet.size(), nullptr);
    const bool sync = is_well_formed_sync_packet(packet);
    return per_peer && sync ? send_per_peer(packet, keys) : send_whole(packet, sync, nullptr);
}

bool Udp::send_whole(const ByteBuffer& packet, bool sync, const Connection* only) {
    if (packet.size() <= datagram_limit || !sync) return send_to_peers(packet.data(), packet.size(), only);
    bool all_sent = true;
    for (const ByteBuffer& part : split_sync_packet(packet, datagram_limit))
        all_sent = send_to_peers(part.data(), part.size(), only) && all_sent;
    return all_sent;
}

bool Udp::send_per_peer(const ByteBuffer& packet, const ChangeKeys& keys) {
    const int64_t now = now_ms();
    // The peers that are due, the list turned by one more place at every send and then put in
    // the order of their due times, and of their last packets among those due together: when the
    // link takes only the first datagrams, no peer is first every time, and the one that waited
    // longest goes first.
    due_.clear();
    float packets_per_send = 0.0f;
    for (const Connection& peer : peers_) {
        PeerState& state = peer_states_[peer];
        if (path_monitor) {
            PathReport path;
            if (path_monitor->path_to(peer, path)) state.pace.observe(path, now);
            packets_per_send += state.pace.share(send_interval_ms);
            if (!state.pace.ready(now)) continue;
        }
        due_.push_back({&peer, &state});
    }
    if (!due_.empty()) std::rotate(due_.begin(), due_.begin() + std::ptrdiff_t(turn_++ % due_.size()), due_.end());
    if (path_monitor) {
        std::stable_sort(due_.begin(), due_.end(), [](const Due& a, const Due& b) {
            const SendPace &x = a.state->pace, &y = b.state->pace;
            return std::pair(x.due_ms(), x.last_sent_ms()) < std::pair(y.due_ms(), y.last_sent_ms());
        });
        // The packets of one send are as many as the peers' paces ask for on average (one more
        // may go, owed by the next send), so that peers whose stretched turns fall together go
        // over a few sends instead of in one burst.
        send_credit_ = std::min(send_credit_ + packets_per_send, packets_per_send + 1.0f);
    }
    bool all_sent = true;
    for (const Due& due : due_) {
        PeerState& state = *due.state;
        if (path_monitor) {
            if (send_credit_ <= 0.0f) break;
            state.pace.sent(now, send_interval_ms);
        }
        const ByteBuffer* out = &packet;
        if (refresh_sends != 0) {
            state.sent.pick(packet, keys, refresh_sends, picked_);
            out = &picked_;
        }
        // Nothing changed for this peer: no packet, as for a map with nothing to write.
        if (out->size() <= sync_header_size) continue;
        if (path_monitor) send_credit_ -= 1.0f;
        if (!send_whole(*out, true, due.peer)) {
            all_sent = false;
            state.pace.send_failed(now);
        }
    }
    return all_sent;
}

bool Udp::send_to_peers(const uint8_t* data, size_t size, const Connection* only) {
    if (size > sf::UdpSocket::MaxDatagramSize) {
        if (!reported_oversize_)
            log_message(LogLevel::Warning,
                        "Cannot send " + std::to_string(size) + " bytes in one datagram; such packets are dropped",
                        log_class_name_of(*this));
        reported_oversize_ = true;
        return false;
    }
    if (only) return send_datagram(data, size, *only);
    bool all_sent = true;
    for (const Connection& peer : peers_)
        if (!send_datagram(data, size, peer)) all_sent = false;
    return all_sent;
}

bool Udp::send_datagram(const uint8_t* data, size_t size, const Connection& to) {
    return socket_.send(data, size, to.address, to.port) == sf::Socket::Done;
}

void Udp::receive() {
    uint32_t taken = 0;
    for (;;) {
        size_t received = 0;
        sf::IpAddress address;
        unsigned short port = 0;
        if (socket_.receive(datagram_.data(), datagram_.size(), received, address, port) != sf::Socket::Done) break;
        Connection sender(address, port);
        const bool from_peer = peers_.count(sender) != 0;
        if (from_peer) file_packet(sender, ByteBuffer(datagram_.data(), received));
        else if (accept_unknown_senders)
            file_packet(Connection(sf::IpAddress::Broadcast, port), ByteBuffer(datagram_.data(), received));
        if (from_peer || accept_unknown_senders) bytes_received_ += received;
        if (max_packets_per_receive != 0 && ++taken >= max_packets_per_receive) break;
    }
}
