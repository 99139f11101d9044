#include "net/transport/udp.h"

#include <string>

Udp::Udp() : datagram_(sf::UdpSocket::MaxDatagramSize) {
    socket.setBlocking(false);
}

Udp::~Udp() {
    socket.unbind();
}

bool Udp::bind(unsigned short port) {
    if (socket.bind(port) != sf::Socket::Done) {
        print_net_line("UdpError! bind on port " + std::to_string(port) + " failed.");
        return false;
    }
    return true;
}

void Udp::unbind() {
    socket.unbind();
}

void Udp::add_peer(const Connection& peer) {
    peers.insert(peer);
}

void Udp::remove_peer(const Connection& peer) {
    peers.erase(peer);
    forget_peer(peer);
}

bool Udp::send(const ByteBuffer& packet) {
    if (packet.size() > sf::UdpSocket::MaxDatagramSize) return false;
    bool all_sent = true;
    for (const Connection& peer : peers)
        if (socket.send(packet.data(), packet.size(), peer.address, peer.port) != sf::Socket::Done)
            all_sent = false;
    return all_sent;
}

void Udp::receive() {
    uint32_t taken = 0;
    for (;;) {
        size_t received = 0;
        sf::IpAddress address;
        unsigned short port = 0;
        if (socket.receive(datagram_.data(), datagram_.size(), received, address, port) != sf::Socket::Done) break;
        bytes_received += received;
        Connection sender(address, port);
        if (peers.count(sender)) inbox.emplace(sender, ByteBuffer(datagram_.data(), received));
        else if (accept_unknown_senders)
            inbox.emplace(Connection(sf::IpAddress::Broadcast, port), ByteBuffer(datagram_.data(), received));
        if (max_packets_per_receive != 0 && ++taken >= max_packets_per_receive) break;
    }
}
