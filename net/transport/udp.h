#pragma once
#include <SFML/Network/UdpSocket.hpp>
#include <set>
#include <vector>

#include "net/sync/protocol.h"

// The unreliable channel: each packet goes as one datagram to every peer, a sync packet longer
// than datagram_limit as several sync packets of whole records; datagrams received are filed
// under their sender, or under {broadcast address, sender's port} for senders that are not peers
// when those are accepted at all.
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

    // One datagram (or one per part) per peer, in peer order. False when any could not be sent
    // (a datagram that is lost is not retried: the next sync packet carries the state again).
    bool send(const ByteBuffer& packet) override;
    void receive() override;

    sf::UdpSocket socket;
    std::set<Connection> peers;
    bool accept_unknown_senders = false;
    // Bytes of every datagram received so far.
    uint64_t bytes_received = 0;
    // Sync packets are cut into datagrams of at most this many bytes, so that each fits one IP
    // packet: a datagram split into IP fragments is lost when any fragment is.
    size_t datagram_limit = 1200;

protected:
    // Hands one datagram to the socket; the seam where tests put a bad network.
    virtual bool send_datagram(const uint8_t* data, size_t size, const Connection& to);

private:
    bool send_to_peers(const uint8_t* data, size_t size);

    std::vector<uint8_t> datagram_;
    bool reported_oversize_ = false;
};
