#pragma once
#include <SFML/Network/UdpSocket.hpp>
#include <set>
#include <vector>

#include "net/sync/protocol.h"

// The unreliable channel: each packet goes as one datagram to every peer; datagrams received
// are filed under their sender, or under {broadcast address, sender's port} for senders that
// are not peers when those are accepted at all.
class Udp : public Protocol {
public:
    Udp();
    ~Udp() override;

    // Binds the socket to the port (0: a free one, see local_port).
    bool bind(unsigned short port);
    void unbind();
    unsigned short local_port() const { return socket.getLocalPort(); }

    void add_peer(const Connection& peer);
    // Forgets the peer with its waiting packets and newest send times.
    void remove_peer(const Connection& peer);

    // One datagram per peer, in peer order. False when any could not be sent (a datagram
    // that is lost is not retried: the next sync packet carries the state again).
    bool send(const ByteBuffer& packet) override;
    void receive() override;

    sf::UdpSocket socket;
    std::set<Connection> peers;
    bool accept_unknown_senders = false;
    // Bytes of every datagram received so far.
    uint64_t bytes_received = 0;

private:
    std::vector<uint8_t> datagram_;
};
