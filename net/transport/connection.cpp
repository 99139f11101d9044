#include "net/transport/connection.h"

#include "engine/core/byte_buffer.h"

void Connection::write(ByteBuffer& out) const {
    // toInteger() gives the first octet in the top byte, so big-endian is address order.
    out.write_u32_be(address.toInteger());
    out.write_u16_le(port);
    out.write_u16_le(0);
}

bool Connection::read(ByteBuffer& in) {
    if (!in.ok() || in.remaining() < wire_size) {
        in.skip(wire_size);  // marks the buffer as failed
        return false;
    }
    uint32_t a = 0;
    uint16_t p = 0, padding = 0;
    if (!in.read_u32_be(a) || !in.read_u16_le(p) || !in.read_u16_le(padding)) return false;
    address = sf::IpAddress(a);
    port = p;
    return true;
}

std::string address_text(const sf::IpAddress& address) {
    uint32_t a = address.toInteger();
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." + std::to_string((a >> 8) & 0xFF) +
           "." + std::to_string(a & 0xFF);
}

std::string Connection::to_string() const { return address_text(address) + ":" + std::to_string(port); }
