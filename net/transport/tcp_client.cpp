#include "net/transport/tcp_client.h"

#include "engine/core/logger.h"
#include "platform/clock.h"

#include <optional>
#include <string>
#include <utility>

TcpClient::~TcpClient() {
    if (connected_) disconnect();
}

std::string TcpClient::endpoint_text(const sf::IpAddress& address, unsigned short port) {
    return "address " + address_text(address) + " and port " + std::to_string(port);
}

bool TcpClient::open(const sf::IpAddress& address, unsigned short port, float timeout_s) {
    if (connected_) disconnect();
    link_.max_frame_bytes = max_frame_bytes;
    const int64_t start = now_ms();
    float limit_ms = timeout_s > 0.0f ? timeout_s * 1000.0f : 0.0f;
    if (!(limit_ms < 2.0e9f)) limit_ms = 2.0e9f;
    const int64_t limit = int64_t(limit_ms);
    // Every wait below is measured on the transport's clock and read again at least every
    // wait_slice_ms, so a clock that jumps past the time-out (a session being torn down) ends
    // the attempt at once. The loop ends at the time-out.
    for (;;) {
        int64_t left = limit - (now_ms() - start);
        if (link_.connect(address, port, left, &clock()) == sf::Socket::Done) break;
        if (now_ms() - start >= limit) {
            print_net_line("TcpError! open on " + endpoint_text(address, port) + " failed.");
            return false;
        }
        // A refused attempt answers at once; wait a little before the next one.
        platform::sleep_ms(10);
    }
    // The id gets a whole time-out of its own, counted from the connect.
    return handshake(address, port, now_ms() + limit);
}

bool TcpClient::handshake(const sf::IpAddress& address, unsigned short port, int64_t deadline_ms) {
    // The id packet is sent back unchanged; it must hold at least the id.
    ByteBuffer id_packet;
    uint32_t id = 0;
    if (link_.receive_within(id_packet, deadline_ms - now_ms(), &clock()) != sf::Socket::Done ||
        !id_packet.read_u32_be(id) || link_.send(id_packet) != sf::Socket::Done ||
        !link_.flush_within(deadline_ms - now_ms(), &clock())) {
        link_.disconnect();
        print_net_line("TcpError! handshake on " + endpoint_text(address, port) + " failed.");
        return false;
    }
    connection_id_ = id;
    told_waiting_ = false;
    last_receive_ms_ = now_ms();
    link_.took_bytes();  // the id
    latency_ms_ = 0;
    connected_ = true;
    if (on_connect.is_valid()) on_connect(this, connection_id_, link_.local_port(), link_.remote());
    return true;
}

void TcpClient::disconnect() {
    if (connected_ && on_disconnect.is_valid()) on_disconnect(this, connection_id_, link_.local_port(), link_.remote());
    link_.disconnect();
    forget_peer(link_.remote());
    forget_received();
    held_.clear();
    held_bytes_ = 0;
    latency_ms_ = 0;
    connected_ = false;
}

bool TcpClient::send(const ByteBuffer& packet) { return send_on_link(packet, nullptr); }

bool TcpClient::send_sync(const ByteBuffer& packet, const ChangeKeys& keys) {
    return send_on_link(packet, is_well_formed_sync_packet(packet) ? &keys : nullptr);
}

bool TcpClient::send_on_link(const ByteBuffer& packet, const ChangeKeys* keys) {
    if (!connected_) return false;
    sf::Socket::Status status = keys ? link_.send_sync(packet, *keys) : link_.send(packet);
    if (status == sf::Socket::Disconnected) {
        disconnect();
        return false;
    }
    return status == sf::Socket::Done;
}

void TcpClient::receive() {
    if (!connected_) return;
    // Bytes a previous send could not hand over go first.
    if (link_.flush() == sf::Socket::Disconnected) {
        disconnect();
        return;
    }
    // What answer_pings read ahead came first on the stream.
    for (ByteBuffer& held : held_) file_packet(link_.remote(), std::move(held));
    held_.clear();
    size_t waiting = std::exchange(held_bytes_, 0);
    uint32_t taken = 0;
    sf::Socket::Status status = sf::Socket::NotReady;
    ByteBuffer packet;
    while (room_to_wait(waiting) && (status = link_.receive(packet)) == sf::Socket::Done) {
        if (!handle_ping(packet) && !handle_pong(packet, last_receive_ms_, latency_ms_)) {
            waiting += packet.size();
            file_packet(link_.remote(), std::move(packet));
        }
        // Answering a ping can find the connection gone.
        if (!connected_) return;
        packet = ByteBuffer();
        if (max_packets_per_receive != 0 && ++taken >= max_packets_per_receive) break;
    }
    if (status == sf::Socket::Disconnected) {
        disconnect();
        return;
    }
    if (link_.frame_refused()) {
        // Nothing behind an unframeable length can be read as packets any more.
        log_message(LogLevel::Warning,
                    "Closed the connection to " + link_.remote().to_string() + ": it sent a frame longer than " +
                        std::to_string(link_.max_frame_bytes) + " bytes.",
                    log_class_name_of(*this));
        disconnect();
        return;
    }
    note_arrivals();
    if (timeout_ms != 0 && now_ms() - last_receive_ms_ >= timeout_ms) {
        log_message(LogLevel::Warning,
                    "Closed the connection to " + link_.remote().to_string() + ": nothing came back from it for " +
                        std::to_string(now_ms() - last_receive_ms_) + " ms.",
                    log_class_name_of(*this));
        disconnect();
        return;
    }
    keep_alive();
}

void TcpClient::answer_pings() {
    if (!connected_) return;
    // Straight to the link: a send that finds the connection gone must not disconnect here, in
    // the middle of the step that called.
    // A server that floods the stream meanwhile is read no further than the cap; it gets its
    // pongs again from the next receive on.
    ByteBuffer packet;
    while (room_to_wait(held_bytes_) && link_.receive(packet) == sf::Socket::Done) {
        std::optional<ByteBuffer> pong;
        if (take_ping(packet, pong)) {
            if (pong) link_.send(*pong);
        } else if (!handle_pong(packet, last_receive_ms_, latency_ms_)) {
            held_bytes_ += packet.size();
            held_.push_back(std::move(packet));
        }
        packet = ByteBuffer();
    }
    note_arrivals();
    if (std::optional<ByteBuffer> ping = due_keep_alive()) link_.send(*ping);
}

bool TcpClient::room_to_wait(size_t waiting) {
    if (max_waiting_bytes == 0 || waiting < max_waiting_bytes) return true;
    if (!told_waiting_) {
        told_waiting_ = true;
        log_message(LogLevel::Warning,
                    "The frames of " + link_.remote().to_string() + " waiting to be applied reached " +
                        std::to_string(max_waiting_bytes) + " bytes; the rest wait in the socket.",
                    log_class_name_of(*this));
    }
    return false;
}

void TcpClient::note_arrivals() {
    if (link_.took_bytes()) last_receive_ms_ = now_ms();
}
