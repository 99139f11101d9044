#pragma once
#include <set>
#include <vector>

#include "game/session/network_session.h"

class TcpServer;

// The dedicated server's network side.
class ServerSession : public NetworkSession {
public:
    ServerSession(QGGame& game, const NetClock* clock);

    // Sends every object to all clients, except the objects meant for one connection, which go
    // to it alone; reads what each client may write; sends the unreliable objects; takes at most
    // one newcomer.
    void exchange() override;
    void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                    Connection remote) override;
    void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                       Connection remote) override;

    // Sends a newcomer that cannot play the current state of the game, to it alone; when a
    // level exists, a map synchronizer then streams the current terrain to it.
    void send_spectator_snapshot(unsigned int connection_id);
    // Applies a sync packet the client on the connection (from remote) sent to the objects whose
    // fields clients may write, in the client's name; records older than the newest applied from
    // it are skipped. Without a TCP transport, which keeps those send times, nothing is applied.
    void on_frame(unsigned int client, const Connection& remote, ByteBuffer& packet);

private:
    // A frame one client sent, kept until the step applies it.
    struct Frame {
        unsigned int client;
        Connection remote;
        ByteBuffer packet;
        // The client went before its frames were applied.
        bool gone = false;
    };

    // The TCP server hands every frame a client sent to keep_frame; the session keeps it typed.
    void transports_installed() override;
    // The TCP transport as the server it is; null without one (a test's plain transport).
    TcpServer* server() const { return tcp_ ? server_ : nullptr; }
    // Keeps a frame a client sent until the step applies it.
    void keep_frame(unsigned int client, const Connection& remote, ByteBuffer& packet);
    void send_reliable();
    // A packet holding only the object's record, to the one connection; none when the object
    // wrote nothing.
    void send_alone(TcpServer& tcp_server, unsigned int id, Networkable& object, unsigned int connection, int64_t now);
    // The events posted for one client each (QGEventHandler::post_to), a packet to each.
    void send_addressed_events(TcpServer& tcp_server, int64_t now);
    // The client's connection holds more than a packet that has not left yet.
    static bool backed_up(const TcpServer& tcp_server, unsigned int client);
    void receive_from_clients();
    // Stops the map synchronizers that stream to the connection, which has gone.
    void stop_map_synchronizers(unsigned int connection_id);

    TcpServer* server_ = nullptr;
    std::vector<Frame> frames_;
    ByteBuffer one_client_packet_;
    // The connections that watch without a player and have had their snapshot.
    std::set<unsigned int> spectators_;
};
