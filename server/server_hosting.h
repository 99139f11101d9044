#pragma once
#include <atomic>
#include <string>
#include <thread>

class QGGame;
struct HostParameters;

// The dedicated server's hosting of its one game session, and the LAN announcement thread that
// runs meanwhile and afterwards. The thread shares only its running flag; the destructor stops
// and joins it.
class ServerHosting {
public:
    ServerHosting() = default;
    ~ServerHosting();
    ServerHosting(const ServerHosting&) = delete;
    ServerHosting& operator=(const ServerHosting&) = delete;

    // Creates and installs the game's transports, sets the game up, announces the server on the
    // local network, waits for all players, opens the UDP side and activates the game. False
    // when the TCP port cannot be listened on or the UDP port cannot be bound.
    bool host(QGGame& game, const HostParameters& params);

    std::atomic<bool> announce_running{false};
    std::thread announce_thread;

private:
    // Stops the announcement thread and joins it.
    void stop_announcing();
    void announce(const std::string& name, unsigned short port);
};
