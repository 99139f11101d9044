#include "game/session/network_session.h"

#include "game/session/qg_game.h"
#include "net/transport/tcp_client.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"

namespace {

// Far enough ahead that every time-out of a connection attempt has run out.
constexpr int64_t kTeardownJumpMs = int64_t(1) << 40;

constexpr float kSendInterval = 0.033f;
// Longest frame a client takes from the server: far above the largest snapshot, map tile or
// water stream of a 4096 x 4096 level, far below what would hurt a client to hold.
constexpr uint32_t kMaxServerFrameBytes = 32 * 1024 * 1024;
constexpr uint32_t kPacketsPerReceive = 50;
// Most a client holds of the server's frames before it applies them: fifty of the longest would
// be 1.6 GiB. A legitimate server's largest frames, a 256 x 256 map tile of colours outside the
// palette or a water stream, are under half a MiB, so two of the longest frames still take more
// than a hundred of those in a step, or many seconds of a step's traffic read ahead while loading.
constexpr size_t kMaxServerWaitingBytes = size_t(2) * kMaxServerFrameBytes;

}  // namespace

int64_t NetworkSession::TeardownClock::now_ms() const {
    const int64_t now = (base ? base : &NetClock::system())->now_ms();
    return tearing_down.load(std::memory_order_acquire) ? now + kTeardownJumpMs : now;
}

NetworkSession::NetworkSession(QGGame& game, const NetClock* clock) : game_(game) {
    transport_clock_.base = clock ? clock : &NetClock::system();
}

void NetworkSession::shut_down() {
    transport_clock_.tearing_down.store(true, std::memory_order_release);
    // Deleting a transport closes its connections; no hook may reach the session from there.
    hooks_.reset();
}

void NetworkSession::close_transports() {
    hooks_.reset();
    udp_.reset();
    tcp_.reset();
}

void NetworkSession::install_transports(std::unique_ptr<Tcp> tcp, std::unique_ptr<Udp> udp) {
    hooks_.reset();
    tcp_ = std::move(tcp);
    udp_ = std::move(udp);
    for (Protocol* p : {static_cast<Protocol*>(tcp_.get()), static_cast<Protocol*>(udp_.get())}) {
        if (!p) continue;
        p->set_clock(transport_clock_);
        p->set_send_interval(kSendInterval);
        p->max_packets_per_receive = kPacketsPerReceive;
    }
    if (auto* client = dynamic_cast<TcpClient*>(tcp_.get())) {
        client->max_frame_bytes = kMaxServerFrameBytes;
        client->max_waiting_bytes = kMaxServerWaitingBytes;
    }
    if (tcp_) {
        // A long level generation must not end the connection.
        tcp_->timeout_ms = 0;
        tcp_->on_connect = ConnectionCallback(this, &NetworkSession::on_connect);
        tcp_->on_disconnect = ConnectionCallback(this, &NetworkSession::on_disconnect);
        hooks_ = ScopedLink([tcp = tcp_.get()] {
            tcp->on_connect = ConnectionCallback();
            tcp->on_disconnect = ConnectionCallback();
            if (auto* server = dynamic_cast<TcpServer*>(tcp)) server->on_frame = nullptr;
        });
    }
    transports_installed();
}
