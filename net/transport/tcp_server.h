#pragma once
#include <SFML/Network/TcpListener.hpp>
#include <SFML/System/Time.hpp>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "net/sync/protocol.h"
#include "net/transport/tcp_link.h"

// sf::TcpListener with its descriptor in reach, for the options its connections inherit.
class ListenSocket : public sf::TcpListener {
public:
    using sf::TcpListener::getHandle;
};

// One accepted client of a TcpServer.
struct ConnectedClient {
    // The accept's time, then that of each receive that found bytes from the client.
    int64_t last_receive_ms = 0;
    // The accept's time, then each pong's: a client that talks but reads nothing is dropped too.
    int64_t last_pong_ms = 0;
    // Half the round trip of the last ping; 0 until the first pong.
    int64_t latency_ms = 0;
    std::unique_ptr<TcpLink> link;
    // Found gone while the client table was being walked; removed once the walk is over.
    bool dropped = false;
};

// A newcomer that was offered its id and has not echoed it yet.
struct PendingHandshake {
    unsigned int id = 0;
    // On the transport's clock; the newcomer is closed when it has not echoed by then.
    int64_t deadline_ms = 0;
    std::unique_ptr<TcpLink> link;
};

// The server's end of the reliable channel: listens on the game port, gives each newcomer the
// lowest free connection id, sends to all clients or to one, reads what each client sends,
// answers and sends pings, and drops clients that disconnect.
//
// A client found gone while the table is being walked (by a receive, a send to all, or by a
// hook that such a walk calls) is only marked; it is disconnected and erased after the
// outermost walk, so no walk ever loses the record it stands on.
//
// The id exchange never blocks: a newcomer is offered its id, and each later accept call checks
// for its echo, so the caller's loop keeps running while any number of newcomers take their
// time. What a client sends is not trusted to be small: a frame longer than the frame limit, or
// an outgoing queue beyond its cap (a client that does not read), drops that client.
class TcpServer : public Tcp, public PathMonitor {
public:
    TcpServer();
    ~TcpServer() override;

    // Listens on the port (0: a free one, see listening_port) and waits, serving the clients
    // already connected, until client_count clients are connected. False when the port cannot
    // be listened on, or when cancel_wait was set before all clients came.
    bool listen_start(unsigned short port, unsigned int client_count);
    // Takes the waiting connections (at most max_accepts_per_call) into the id exchange and
    // advances the exchanges under way, registering each newcomer that echoed its id; in
    // blocking mode it serves the clients and repeats until one more client is registered or
    // cancel_wait is set.
    void accept_client();
    // True once the blocking wait has been told to stop.
    bool wait_cancelled() const { return cancel_wait && cancel_wait->load(); }
    // Sends to every client that is not dropped; false when any send failed.
    bool send(const ByteBuffer& packet) override;
    // A sync packet to every client, each getting the records its connection has not carried yet
    // (see TcpLink::send_sync).
    bool send_sync(const ByteBuffer& packet, const ChangeKeys& keys) override;
    // Sends to the client with the id alone; false when it is not connected or the send failed.
    bool send_to_client(unsigned int id, const ByteBuffer& packet);
    // Reads what every client sent (at most max_packets_per_receive frames each), answers each
    // ping to the client that sent it, and hands every data frame to on_frame with the client it
    // came from (without one, files it in the inbox under the sender's address); then removes
    // the clients found gone and sends the keep-alive.
    void receive() override;
    // The ping to every client.
    void keep_alive() override;

    void disconnect_all();
    // The path under the connection of the client at that address and port.
    bool path_to(const Connection& peer, PathReport& out) const override;

    unsigned short listening_port() const { return listener.getLocalPort(); }
    // The clients registered (newcomers still in the id exchange are not).
    size_t client_count() const { return clients.size(); }
    // The registered client with the id, or null.
    const ConnectedClient* client(unsigned int id) const;

    // Longest segment on the clients' connections, both ways: a segment as large as loopback
    // allows (64 KiB) is lost for good on a shaped path whose burst is smaller, and the stream
    // behind it with it; this fits one packet of any path.
    static constexpr int max_segment_bytes = 1200;
    // Takes no newcomer once this many clients are connected or in the id exchange; 0: no limit.
    unsigned int max_clients = 0;
    // Ends a blocking wait when set (the session's quit flag); null: the wait has no way out.
    const std::atomic<bool>* cancel_wait = nullptr;
    // Connections taken from the listener in one accept call: a burst of silent connections is
    // worked off in a few calls, so a real newcomer behind it is not kept waiting for seconds.
    unsigned int max_accepts_per_call = 64;
    // Measured on the transport's clock; the newcomer's connection's round trip, twice, and its
    // retransmission time-out are waited beyond it (up to max_echo_allowance_ms).
    sf::Time handshake_timeout = sf::seconds(1);
    static constexpr int64_t max_echo_allowance_ms = 8000;
    // A client that answered no ping for this many receive time-outs is dropped, however much it
    // sends: far beyond what a congested link delays a pong.
    static constexpr int64_t unanswered_ping_timeouts = 6;
    // Bytes that may wait in one client's outgoing queue; a client beyond it is dropped.
    size_t max_queued_bytes = 8 * 1024 * 1024;
    // Longest frame a client may send; 0 = no limit.
    uint32_t max_client_frame_bytes = 0;
    Callback<void, TcpServer*> on_full;
    // A data frame a client sent: its connection id, its address and the packet.
    std::function<void(unsigned int client, const Connection& remote, ByteBuffer& packet)> on_frame;

private:
    class Walk;
    friend class Walk;

    // The lowest id at or above next_id_hint that is neither in use nor offered to a newcomer;
    // the hint moves up over the ids in use.
    unsigned int next_free_id();
    // Sends on one client's link; marks it dropped when the socket is gone.
    // With keys, a sync packet through the link's record filter.
    bool send_to(unsigned int id, ConnectedClient& client, const ByteBuffer& packet, const ChangeKeys* keys = nullptr);
    bool send_to_every_client(const ByteBuffer& packet, const ChangeKeys* keys);
    void mark_dropped(unsigned int id, ConnectedClient& client);
    // Accepts one waiting connection and offers it its id; false when none was waiting or no
    // more may be taken.
    bool start_handshake();
    // Takes the waiting connections, up to max_accepts_per_call.
    void start_handshakes();
    // Registers the newcomers that echoed their ids and closes those that failed or ran out
    // of time.
    void advance_handshakes();
    static int64_t echo_allowance_ms(const TcpLink& link);
    void register_client(unsigned int id, std::unique_ptr<TcpLink> link);
    // Runs the on_disconnect hook, closes the link, frees the id and forgets the client's
    // packets; the caller erases the record afterwards.
    void disconnect_client(unsigned int id, TcpLink& link);
    void remove_dropped();

    ListenSocket listener;
    // Takes the next accepted connection.
    std::unique_ptr<TcpLink> pending;
    std::map<unsigned int, ConnectedClient> clients;
    // Every id below it is in use.
    unsigned int next_id_hint = 0;
    std::set<unsigned int> ids_in_use;
    // Only while listen_start waits for its clients.
    bool blocking_accept = false;
    std::vector<PendingHandshake> handshakes;
    int walk_depth_ = 0;
    bool removing_ = false;
    std::set<unsigned int> dropped_ids_;
    uint64_t registrations_ = 0;
};
