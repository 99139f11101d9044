#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/core/scoped_link.h"
#include "net/sync/net_clock.h"
#include "net/sync/protocol.h"
#include "net/transport/connection.h"
#include "net/transport/udp.h"

class QGGame;
class Udp;

// The session's network side: it owns the two transports and runs the step's exchange over them.
// Its client half connects and sends the client's requests; its server half reads every client's
// requests tied to its connection and sends the world to all and the records meant for one to
// that one alone.
class NetworkSession {
public:
    NetworkSession(QGGame& game, const NetClock* clock);
    virtual ~NetworkSession() = default;
    NetworkSession(const NetworkSession&) = delete;
    NetworkSession& operator=(const NetworkSession&) = delete;

    // Takes ownership of the transports and gives them the session's settings: send interval
    // 33 ms, 50 packets per receive, no receive time-out, the transports' clock and the
    // connection hooks on the TCP transport; a client's link takes frames of at most 32 MiB and
    // holds at most 64 MiB of them waiting.
    void install_transports(std::unique_ptr<Tcp> tcp, std::unique_ptr<Udp> udp);
    // The step's part: both channels, and on the server one accept.
    virtual void exchange() = 0;
    // The TCP transport's connection hooks.
    virtual void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                            Connection remote) = 0;
    virtual void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                               Connection remote) = 0;
    // The first step of the teardown: a connection attempt in progress gives up at once and its
    // thread is joined, and no hook of a transport reaches the session any more.
    virtual void shut_down();
    // Deletes the transports, which closes their connections.
    void close_transports();
    // While the step is busy for long: a client answers the server's pings (the server has
    // nothing to answer).
    virtual void answer_pings() {}

    Tcp* tcp_transport() const { return tcp_.get(); }
    Udp* udp_transport() const { return udp_.get(); }
    // The game port: on a client the server's port, on the server its own.
    unsigned short game_port() const { return game_port_; }
    void set_game_port(unsigned short port) { game_port_ = port; }

protected:
    // The transports' clock: the session's clock, which jumps past every time-out once the
    // session is being torn down, so that a connection attempt gives up at once.
    class TeardownClock : public NetClock {
    public:
        int64_t now_ms() const override;
        const NetClock* base = nullptr;
        std::atomic<bool> tearing_down{false};
    };

    // The transports were installed: a half hooks what it needs of them.
    virtual void transports_installed() {}

    QGGame& game_;
    TeardownClock transport_clock_;
    std::unique_ptr<Tcp> tcp_;
    std::unique_ptr<Udp> udp_;
    unsigned short game_port_ = 0;
    // The TCP transport's hooks into this session, which end before the transports go.
    ScopedLink hooks_;
};
