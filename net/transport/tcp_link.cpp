#include "net/transport/tcp_link.h"

#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <limits>
#include <string>

#include "engine/core/logger.h"

namespace {

// Bytes of a frame body asked from the socket at a time, and so the most the receive buffer
// runs ahead of the bytes that actually arrived.
constexpr size_t receive_chunk = 64 * 1024;

int64_t clock_ms(const NetClock* clock) {
    if (clock) return clock->now_ms();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A congestion control that backs off on loss. The system's may be one that does not (BBR), which
// on a path whose lowest round trip was measured at loopback speed keeps its queue full with
// retransmissions, and the keep-alives behind them run into the time-out. The game's streams are
// thin (a few small frames in flight), so a loss is repaired by a retransmission time-out; doubled
// at every loss, two or three losses in a row would outlast the receive time-out, where linear
// time-outs try again every round trip or so.
//
// A process without the right to choose freely (a server not run as root) gets only what
// net.ipv4.tcp_allowed_congestion_control lists, and a refusal would leave the system's default in
// place; Reno also backs off on loss, and every process may set it.
void set_congestion_options(int handle) {
    static const char wanted[] = "cubic";
    static const char fallback[] = "reno";
    if (::setsockopt(handle, IPPROTO_TCP, TCP_CONGESTION, wanted, sizeof wanted - 1) != 0) {
        const bool refused = errno == EPERM;
        ::setsockopt(handle, IPPROTO_TCP, TCP_CONGESTION, fallback, sizeof fallback - 1);
        // Every connection after the first meets the same refusal.
        static std::atomic_flag said = ATOMIC_FLAG_INIT;
        char used[17] = {};
        socklen_t size = sizeof used - 1;
        if (!said.test_and_set() && ::getsockopt(handle, IPPROTO_TCP, TCP_CONGESTION, used, &size) == 0)
            log_message(LogLevel::Warning,
                        std::string("TCP congestion control ") + wanted +
                            (refused ? " is not allowed to this process (run as root, or add it to "
                                       "net.ipv4.tcp_allowed_congestion_control)"
                                     : " is not available") +
                            "; the connections use " + used + ".",
                        "TcpLink");
    }
    const int on = 1;
    ::setsockopt(handle, IPPROTO_TCP, TCP_THIN_LINEAR_TIMEOUTS, &on, sizeof on);
}

}  // namespace

TcpLink::TcpLink() { socket_.setBlocking(false); }

void TcpLink::reset_streams() {
    out_.clear();
    out_pos_ = 0;
    header_got_ = 0;
    body_size_ = 0;
    body_.clear();
    body_.shrink_to_fit();
    frame_refused_ = false;
    sent_.forget();
}

sf::Socket::Status TcpLink::connect(const sf::IpAddress& address, unsigned short port, int64_t timeout_ms,
                                    const NetClock* clock) {
    reset_streams();
    const int64_t deadline = clock_ms(clock) + timeout_ms;
    socket_.setBlocking(false);
    sf::Socket::Status status = socket_.connect(address, port);
    // The connection is under way; it is waited for in slices, so the clock is read between them.
    while (status == sf::Socket::NotReady) {
        const int64_t left = deadline - clock_ms(clock);
        if (left <= 0) break;
        if (!wait(POLLOUT, std::min(left, wait_slice_ms))) continue;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(socket_.getHandle(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            status = sf::Socket::Error;
        else status = sf::Socket::Done;
    }
    if (status == sf::Socket::Done) {
        remote_ = Connection(socket_.getRemoteAddress(), socket_.getRemotePort());
        set_congestion_options(socket_.getHandle());
    } else socket_.disconnect();
    return status;
}

sf::Socket::Status TcpLink::accept(sf::TcpListener& listener) {
    const sf::Socket::Status status = listener.accept(socket_);
    if (status != sf::Socket::Done) return status;
    reset_streams();
    socket_.setBlocking(false);
    remote_ = Connection(socket_.getRemoteAddress(), socket_.getRemotePort());
    set_congestion_options(socket_.getHandle());
    return status;
}

void TcpLink::disconnect() {
    socket_.disconnect();
    reset_streams();
}

sf::Socket::Status TcpLink::flush() {
    while (out_pos_ < out_.size()) {
        size_t sent = 0;
        sf::Socket::Status status = socket_.send(out_.data() + out_pos_, out_.size() - out_pos_, sent);
        out_pos_ += std::min(sent, out_.size() - out_pos_);
        if (status == sf::Socket::Done) continue;
        if (status == sf::Socket::Partial || status == sf::Socket::NotReady) {
            // Keep the queue from creeping: drop what went out once it is the larger part.
            if (out_pos_ > receive_chunk && out_pos_ * 2 > out_.size()) {
                out_.erase(out_.begin(), out_.begin() + std::ptrdiff_t(out_pos_));
                out_pos_ = 0;
            }
            return sf::Socket::NotReady;
        }
        return status;
    }
    out_.clear();
    out_pos_ = 0;
    return sf::Socket::Done;
}

sf::Socket::Status TcpLink::send(const ByteBuffer& packet) {
    if (packet.size() > std::numeric_limits<uint32_t>::max()) return sf::Socket::Error;
    const size_t start = out_.size();
    const uint32_t n = uint32_t(packet.size());
    const uint8_t header[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    out_.insert(out_.end(), header, header + 4);
    out_.insert(out_.end(), packet.data(), packet.data() + packet.size());
    sf::Socket::Status status = flush();
    if (status == sf::Socket::Done || status == sf::Socket::NotReady) return sf::Socket::Done;
    if (status == sf::Socket::Disconnected) {
        reset_streams();
        return status;
    }
    // Error (the queue was not compacted on this path, so start is still the frame's offset):
    // a frame that has not started to go out is taken back, so the failure report is true and
    // the stream keeps whole frames; one that is partly out has to be completed later.
    if (out_pos_ <= start) {
        out_.resize(start);
        if (out_pos_ >= out_.size()) {
            out_.clear();
            out_pos_ = 0;
        }
        return status;
    }
    return sf::Socket::Done;
}

sf::Socket::Status TcpLink::send_sync(const ByteBuffer& packet, const ChangeKeys& keys) {
    sent_.pick(packet, keys, kStateRefreshSends, picked_);
    if (picked_.size() <= sync_header_size) return sf::Socket::Done;
    const sf::Socket::Status status = send(picked_);
    // A frame taken back never reached the peer.
    if (status != sf::Socket::Done) sent_.forget();
    return status;
}

bool TcpLink::took_bytes() {
    if (bytes_received_ == bytes_seen_) return false;
    bytes_seen_ = bytes_received_;
    return true;
}

PathReport path_report(const tcp_info& info, uint64_t queued_bytes) {
    // An older kernel fills less; the fields it leaves out stay zero and read as a clear path.
    PathReport out;
    out.round_trip_us = info.tcpi_rtt;
    out.min_round_trip_us = info.tcpi_min_rtt ? info.tcpi_min_rtt : info.tcpi_rtt;
    out.unsent_bytes = uint64_t(info.tcpi_notsent_bytes) + queued_bytes;
    // Acknowledgements are cumulative: while anything is unacknowledged, the newest bytes are.
    out.unacknowledged_us = info.tcpi_unacked ? int64_t(info.tcpi_last_data_sent) * 1000 : 0;
    out.retransmit_timeout_us = info.tcpi_rto;
    return out;
}

bool TcpLink::path(PathReport& out) const {
    tcp_info info{};
    socklen_t size = sizeof info;
    const int handle = socket_.getHandle();
    if (handle < 0 || ::getsockopt(handle, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return false;
    out = path_report(info, queued_bytes());
    return true;
}

bool TcpLink::wait(short events, int64_t timeout_ms) {
    pollfd fd{};
    fd.fd = socket_.getHandle();
    fd.events = events;
    int ms = int(std::clamp<int64_t>(timeout_ms, 0, std::numeric_limits<int>::max()));
    return ::poll(&fd, 1, ms) > 0;
}

bool TcpLink::flush_within(int64_t timeout_ms, const NetClock* clock) {
    const int64_t deadline = clock_ms(clock) + timeout_ms;
    for (;;) {
        sf::Socket::Status status = flush();
        if (status == sf::Socket::Done) return true;
        if (status != sf::Socket::NotReady) return false;
        int64_t left = deadline - clock_ms(clock);
        if (left <= 0) return false;
        wait(POLLOUT, std::min(left, wait_slice_ms));
    }
}

sf::Socket::Status TcpLink::receive(ByteBuffer& packet) {
    if (frame_refused_) return sf::Socket::Error;
    while (header_got_ < 4) {
        size_t got = 0;
        sf::Socket::Status status = socket_.receive(header_ + header_got_, 4 - header_got_, got);
        if (status != sf::Socket::Done) return status;
        header_got_ += got;
        bytes_received_ += got;
        if (header_got_ == 4) {
            body_size_ = uint32_t(header_[0]) << 24 | uint32_t(header_[1]) << 16 | uint32_t(header_[2]) << 8 |
                         uint32_t(header_[3]);
            body_.clear();
            if (max_frame_bytes != 0 && body_size_ > max_frame_bytes) {
                frame_refused_ = true;
                return sf::Socket::Error;
            }
        }
    }
    while (body_.size() < body_size_) {
        size_t have = body_.size();
        size_t chunk = std::min<size_t>(body_size_ - have, receive_chunk);
        body_.resize(have + chunk);
        size_t got = 0;
        sf::Socket::Status status = socket_.receive(body_.data() + have, chunk, got);
        const size_t taken = status == sf::Socket::Done ? std::min(got, chunk) : 0;
        body_.resize(have + taken);
        bytes_received_ += taken;
        if (status != sf::Socket::Done) return status;
    }
    packet = ByteBuffer(std::move(body_));
    body_ = std::vector<uint8_t>();
    header_got_ = 0;
    body_size_ = 0;
    return sf::Socket::Done;
}

sf::Socket::Status TcpLink::receive_within(ByteBuffer& packet, int64_t timeout_ms, const NetClock* clock) {
    const int64_t deadline = clock_ms(clock) + timeout_ms;
    for (;;) {
        sf::Socket::Status status = receive(packet);
        if (status != sf::Socket::NotReady) return status;
        int64_t left = deadline - clock_ms(clock);
        if (left <= 0) return sf::Socket::NotReady;
        wait(POLLIN, std::min(left, wait_slice_ms));
    }
}
