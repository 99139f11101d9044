#pragma once
#include <SFML/Network/TcpListener.hpp>
#include <SFML/Network/TcpSocket.hpp>
#include <cstdint>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "net/sync/net_clock.h"
#include "net/transport/connection.h"
#include "net/transport/send_pace.h"
#include "net/transport/sent_records.h"

struct tcp_info;

// The pace's view of the path from the kernel's report on a connection (TCP_INFO), with
// queued_bytes of our own still to go out.
PathReport path_report(const tcp_info& info, uint64_t queued_bytes);

// The longest single wait of the *_within calls and of connect; between waits the clock is read.
constexpr int64_t wait_slice_ms = 50;

// sf::TcpSocket with its descriptor in reach, for waiting until it can write.
class LinkSocket : public sf::TcpSocket {
public:
    using sf::TcpSocket::getHandle;
};

// One non-blocking TCP connection carrying whole packets, each framed as sf::TcpSocket frames
// an sf::Packet: its length as u32 big-endian, then its bytes.
//
// What the socket does not take at once stays queued, in order, and goes out with the next
// send or flush, so a send that the socket answers Partial is completed and the frames on the
// stream stay whole. Incoming frames are assembled as their bytes arrive; the buffer grows
// with what was received, never with what a length field claims.
class TcpLink {
public:
    TcpLink();

    // Queues one framed packet and sends as much of the queue as the socket takes. Done when
    // the packet was sent or queued; Disconnected or Error when the socket failed.
    sf::Socket::Status send(const ByteBuffer& packet);
    // Sends a well-formed sync packet without the records this connection already carried (see
    // SentRecords; keys as for Protocol::send_sync): an unchanged object costs the link one record
    // in kStateRefreshSends packets, and a packet left with no record is not sent (Done). A frame
    // taken back after an error leaves every record to go again.
    sf::Socket::Status send_sync(const ByteBuffer& packet, const ChangeKeys& keys);
    // Sends queued bytes. Done when nothing is left, NotReady when some still wait,
    // Disconnected or Error when the socket failed.
    sf::Socket::Status flush();
    // Flushes, waiting up to timeout_ms for the socket to take everything. The time-out is
    // measured on clock when one is given (else the steady clock), which is read again at least
    // every wait_slice_ms, so a clock that jumps ahead ends the wait.
    bool flush_within(int64_t timeout_ms, const NetClock* clock = nullptr);

    // One whole packet into packet (Done), or NotReady when none is complete yet,
    // Disconnected when the peer closed, Error. A frame longer than max_frame_bytes is Error
    // from its length field on (frame_refused), since nothing behind it can be framed any more.
    sf::Socket::Status receive(ByteBuffer& packet);
    // As receive, waiting up to timeout_ms for a whole packet (NotReady on time-out); the
    // time-out as for flush_within.
    sf::Socket::Status receive_within(ByteBuffer& packet, int64_t timeout_ms, const NetClock* clock = nullptr);

    // One connect attempt of up to timeout_ms, the time-out as for flush_within: Done, NotReady
    // on time-out, or the failure. SFML's non-blocking connect starts over on every call, so the
    // attempt calls it once and then waits for the socket to become writable.
    sf::Socket::Status connect(const sf::IpAddress& address, unsigned short port, int64_t timeout_ms,
                               const NetClock* clock = nullptr);
    // Accepts the connection waiting at the listener into this link: Done when one was taken.
    sf::Socket::Status accept(sf::TcpListener& listener);

    // Closes the connection and drops queued and half-received bytes.
    void disconnect();

    // The peer as it was when the connection was made (still known after a disconnect).
    const Connection& remote() const { return remote_; }
    unsigned short local_port() const { return socket_.getLocalPort(); }
    size_t queued_bytes() const { return out_.size() - out_pos_; }
    // Memory held for the packet being received (a length field alone does not grow it).
    size_t receive_capacity() const { return body_.capacity(); }
    bool frame_refused() const { return frame_refused_; }
    // Bytes of whole and partial frames received so far, length fields included.
    uint64_t bytes_received() const { return bytes_received_; }
    // True when bytes (of a whole frame or a part of one) came since the last call.
    bool took_bytes();
    // The kernel's view of the path (round trips, bytes it has not sent, how long the newest
    // bytes sent wait for their acknowledgement) with our own queue added to the unsent bytes;
    // false when the socket cannot tell (not connected).
    bool path(PathReport& out) const;
    // The socket's descriptor, for options and waits beyond the link's own.
    sf::SocketHandle handle() const { return socket_.getHandle(); }

    // Longest frame accepted from the peer; 0 = no limit.
    uint32_t max_frame_bytes = 0;

private:
    void reset_streams();
    bool wait(short events, int64_t timeout_ms);

    LinkSocket socket_;
    std::vector<uint8_t> out_;
    size_t out_pos_ = 0;
    uint8_t header_[4] = {};
    size_t header_got_ = 0;
    uint32_t body_size_ = 0;
    std::vector<uint8_t> body_;
    bool frame_refused_ = false;
    uint64_t bytes_received_ = 0;
    uint64_t bytes_seen_ = 0;
    SentRecords sent_;
    ByteBuffer picked_;
    Connection remote_;
};
