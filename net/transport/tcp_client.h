#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include <SFML/Network/IpAddress.hpp>

#include "net/sync/protocol.h"
#include "net/transport/tcp_link.h"

// The client's end of the reliable channel: opens the connection with a time-out, learns its
// connection id in the handshake, answers and sends pings, and drops the connection, with a
// log line naming the reason, on a socket error, on a frame longer than max_frame_bytes or
// when no pong arrived for the receive time-out.
//
// open may run on a connect thread of its own (it touches only this object, the clock and
// standard output); everything else runs on the thread that owns the transport afterwards.
class TcpClient : public Tcp {
public:
    TcpClient() = default;
    ~TcpClient() override;

    // Connects within timeout_s seconds of the transport's clock, then waits as long again for
    // the handshake; true when connected.
    bool open(const sf::IpAddress& address, unsigned short port, float timeout_s);
    // Drops the connection (the on_disconnect hook first, while the peer is still known).
    void disconnect();

    bool send(const ByteBuffer& packet) override;
    // Without the records the server already has (see TcpLink::send_sync).
    bool send_sync(const ByteBuffer& packet, const ChangeKeys& keys) override;
    void receive() override;
    // For a caller busy for seconds between receives (generating a large level): answers the
    // server's pings and sends the keep-alive, so that the server, whose time-out runs once the
    // match starts, does not take the client for gone. Every other frame is held, in order, for
    // the next receive. Never disconnects: a failure is left for the next receive to find.
    void answer_pings();
    // The server was heard from otherwise (its state on the unreliable channel): the receive
    // time-out counts from now.
    void heard_from_server() { last_receive_ms_ = now_ms(); }

    // The connection as it stands: its link (ports, bytes received, queue), the id learnt in the
    // handshake, the time of the handshake and of every receive since that found bytes (the
    // receive time-out counts from it), and half the round trip of the last ping.
    const TcpLink& link() const { return link_; }
    bool connected() const { return connected_; }
    uint32_t connection_id() const { return connection_id_; }
    int64_t last_receive_ms() const { return last_receive_ms_; }
    int64_t latency_ms() const { return latency_ms_; }

    // Longest frame accepted from the server, from the next open on; 0 = no limit.
    uint32_t max_frame_bytes = 0;
    // Most bytes of the server's frames held waiting to be applied (read ahead by answer_pings,
    // taken by a receive); 0 = no limit. A receive reads from the socket while less than that
    // waits, so one frame may pass the bound; the rest stays in the socket until the next receive,
    // and the first time that happens on a connection is logged.
    size_t max_waiting_bytes = 0;

private:
    // Receives the id and echoes it by deadline_ms on the transport's clock.
    bool handshake(const sf::IpAddress& address, unsigned short port, int64_t deadline_ms);
    // Bytes from the server, a part of a long frame too, show it there (a pong waits for our
    // ping's round trip, and behind a map tile on a thin link).
    void note_arrivals();
    // A sync packet with its keys goes through the link's record filter.
    bool send_on_link(const ByteBuffer& packet, const ChangeKeys* keys);
    // Whether waiting bytes leave room for another frame; when not, says so once a connection.
    bool room_to_wait(size_t waiting);
    static std::string endpoint_text(const sf::IpAddress& address, unsigned short port);

    TcpLink link_;
    std::atomic<bool> connected_{false};
    uint32_t connection_id_ = 0;
    int64_t last_receive_ms_ = 0;
    int64_t latency_ms_ = 0;

    // Frames answer_pings read ahead of the next receive, and their bytes.
    std::vector<ByteBuffer> held_;
    size_t held_bytes_ = 0;
    bool told_waiting_ = false;
};
