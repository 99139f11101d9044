#pragma once
#include <SFML/Network/TcpListener.hpp>
#include <SFML/System/Time.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "net/sync/protocol.h"
#include "net/transport/tcp_link.h"

// One accepted client of a TcpServer.
struct ConnectedClient {
    // The accept's time, then each pong's.
    int64_t last_receive_ms = 0;
    // Half the round trip of the last ping; 0 until the first pong.
    int64_t latency_ms = 0;
    std::unique_ptr<TcpLink> link;
    // Found gone while the client table was being walked; removed once the walk is over.
    bool dropped = false;
};

// The server's end of the reliable channel: listens on the game port, gives each newcomer the
// lowest free connection id, sends to all clients or to one, reads what each client sends,
// answers and sends pings, and drops clients that disconnect.
//
// A client found gone while the table is being walked (by a receive, a send to all, or by a
// hook that such a walk calls) is only marked; it is disconnected and erased after the
// outermost walk, so no walk ever loses the record it stands on.
class TcpServer : public Tcp {
public:
    TcpServer();
    ~TcpServer() override;

    // Listens on the port (0: a free one, see listening_port) and waits, serving the clients
    // already connected, until client_count clients are connected.
    bool listen_start(unsigned short port, unsigned int client_count);
    // Accepts at most one client; in blocking mode waits for one.
    void accept_client();
    // The lowest id at or above next_id_hint that is not in use; the hint moves up to it.
    unsigned int next_free_id();

    bool send(const ByteBuffer& packet) override;
    void receive() override;
    void keep_alive() override;

    // Runs the on_disconnect hook, closes the link, frees the id and forgets the client's
    // packets; the caller erases the record afterwards.
    void disconnect_client(unsigned int id, TcpLink& link);
    void disconnect_all();

    unsigned short listening_port() const { return listener.getLocalPort(); }

    sf::TcpListener listener;
    std::unique_ptr<TcpLink> pending;
    std::map<unsigned int, ConnectedClient> clients;
    unsigned int max_clients = 0;
    unsigned int next_id_hint = 0;
    std::set<unsigned int> ids_in_use;
    bool blocking_accept = false;
    sf::Time handshake_timeout = sf::seconds(1);
    bool send_to_all = true;
    unsigned int current_sender = 0;
    Callback<void, TcpServer*> on_full;

private:
    class Walk;
    friend class Walk;

    // Sends on one client's link; marks it dropped when the socket is gone.
    bool send_to(unsigned int id, ConnectedClient& client, const ByteBuffer& packet);
    void mark_dropped(unsigned int id, ConnectedClient& client);
    void remove_dropped();

    int walk_depth_ = 0;
    bool removing_ = false;
    std::set<unsigned int> dropped_ids_;
};
