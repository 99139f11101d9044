#pragma once
#include <set>

#include "game/session/network_session.h"

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
    // level exists, a map synchronizer then streams the current terrain to it. The lines it prints
    // are limited per address of the remote end.
    void send_spectator_snapshot(unsigned int connection_id, const Connection& remote);

private:
    // A stand-in transport that replays the packets one client sent, so that what they carry
    // is applied knowing its sender.
    class SenderReplay : public Protocol {
    public:
        bool send(const ByteBuffer&) override { return false; }
        void receive() override {}
        void forget(const Connection& peer) { forget_peer(peer); }
    };

    void send_reliable();
    void receive_from_clients();
    // Stops the map synchronizers that stream to the connection, which has gone.
    void stop_map_synchronizers(unsigned int connection_id);

    SenderReplay replay_;
    ByteBuffer one_client_packet_;
    // The connections that watch without a player and have had their snapshot.
    std::set<unsigned int> spectators_;
};
