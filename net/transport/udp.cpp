#include "net/transport/udp.h"

#include <string>

#include "engine/core/logger.h"

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
    if (packet.size() <= datagram_limit || !is_well_formed_sync_packet(packet))
        return send_to_peers(packet.data(), packet.size());
    bool all_sent = true;
    for (const ByteBuffer& part : split_sync_packet(packet, datagram_limit))
        all_sent = send_to_peers(part.data(), part.size()) && all_sent;
    return all_sent;
}

bool Udp::send_to_peers(const uint8_t* data, size_t size) {
    if (size > sf::UdpSocket::MaxDatagramSize) {
        if (!reported_oversize_)
            log_message(LogLevel::Warning,
                        "Cannot send " + std::to_string(size) + " bytes in one datagram; such packets are dropped",
                        log_class_name_of(*this));
        reported_oversize_ = true;
        return false;
    }
    bool all_sent = true;
    for (const Connection& peer : peers)
        if (!send_datagram(data, size, peer)) all_sent = false;
    return all_sent;
}

bool Udp::send_datagram(const uint8_t* data, size_t size, const Connection& to) {
    return socket.send(data, size, to.address, to.port) == sf::Socket::Done;
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
