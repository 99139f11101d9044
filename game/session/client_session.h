#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <string>
#include <thread>

#include "game/session/network_session.h"

class TcpClient;

// A client's network side: connects on a thread of its own and joins under its name.
class ClientSession : public NetworkSession {
public:
    // Opens the connection on a thread of its own; on_connected is called once on that thread.
    // An empty join name joins under config.ini's.
    ClientSession(QGGame& game, const NetClock* clock, unsigned short port, sf::IpAddress server,
                  Callback<void, bool> on_connected, std::string join_name);
    // A client that does not connect: its event handler is entered under id 1 at once.
    ClientSession(QGGame& game, const NetClock* clock);
    ~ClientSession() override;

    // The connect thread's body.
    bool connect(unsigned short port, sf::IpAddress server, Callback<void, bool> result);
    // Sends the client's requests; receives the world on both channels.
    void exchange() override;
    void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                    Connection remote) override;
    void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port,
                       Connection remote) override;
    void shut_down() override;
    void answer_pings() override;
    // Half the round trip of the newest keep-alive; 0 without a connection.
    int64_t latency_ms() const;
    // The bytes received from the server so far, on both channels.
    uint64_t bytes_received() const;
    // What the client's log names its server by.
    std::string server_peer() const;

private:
    // The session keeps the TCP transport typed as the client it is.
    void transports_installed() override;
    // The TCP transport as the client it is; null without one (an offline session).
    TcpClient* client() const { return tcp_ ? client_ : nullptr; }
    void post_join_request(unsigned int connection_id);
    // The event handler takes the id it has on every side.
    void enter_event_handler();

    std::string join_name_;
    TcpClient* client_ = nullptr;
    bool shut_down_ = false;
    std::thread connect_thread_;
};
