#pragma once
#include <SFML/Network/IpAddress.hpp>
#include <cstdint>
#include <string>

class ByteBuffer;

// A peer endpoint, the key under which every transport files what it receives.
struct Connection {
    sf::IpAddress address;
    unsigned short port = 0;

    // On the wire: the IPv4 octets in address order, the port little-endian, 2 zero bytes.
    static constexpr size_t wire_size = 8;

    Connection() = default;
    Connection(const sf::IpAddress& a, unsigned short p) : address(a), port(p) {}

    void write(ByteBuffer& out) const;
    // Reads the 8 bytes (the padding is ignored); unchanged when fewer than 8 remain.
    bool read(ByteBuffer& in);

    // "a.b.c.d:port", as the connection lines print it.
    std::string to_string() const;

    bool operator==(const Connection& o) const { return port == o.port && address == o.address; }
    bool operator!=(const Connection& o) const { return !(*this == o); }
    // By port first, then by sf::IpAddress's own order: peers and servers are listed this way.
    bool operator<(const Connection& o) const {
        if (port != o.port) return port < o.port;
        return address < o.address;
    }
};

// The dotted form of an address.
std::string address_text(const sf::IpAddress& address);
