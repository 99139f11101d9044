// A LAN announcement datagram: one that decodes must encode to a datagram that decodes the same.
#include <cstdlib>

#include "net/lan/announcement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name, name_again;
    Connection server, server_again;
    if (!decode_announcement(ByteBuffer(data, size), name, server)) return 0;
    if (!decode_announcement(encode_announcement(name, server, 0), name_again, server_again) || name_again != name ||
        server_again != server)
        std::abort();
    return 0;
}
