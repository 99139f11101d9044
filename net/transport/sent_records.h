#pragma once
#include <cstdint>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "net/sync/protocol.h"

// A record that did not change comes again at least once in this many packets to a peer: what a
// peer missed of it (a lost datagram, a record read before its object was built) is not missed
// for good.
constexpr uint32_t kStateRefreshSends = 8;

// The records of the sync packets last sent to one peer, to leave out what it already has.
class SentRecords {
public:
    // Puts into out the header of the sync packet and those of its records that go to the peer:
    // a record whose bytes differ from the last ones sent, an unchanged one once more (the
    // receiver's older and newer values are then equal, so it holds the object where it
    // stopped), and every record on its turn, one packet in refresh_sends, so that what a lost
    // datagram carried comes again. Records are expected in ascending id, as the sender's map
    // lists them; one out of order is sent. With key bytes of the packet's size (its change keys, see
    // ChangeKeys), records are compared by their keys and sent as they are; news always goes.
    void pick(const ByteBuffer& packet, const ChangeKeys& keys, uint32_t refresh_sends, ByteBuffer& out);
    // The peer may have missed what was picked last (a new connection, a send that failed):
    // everything goes again.
    void forget();

private:
    struct Entry {
        uint32_t id = 0;
        size_t offset = 0;
        uint32_t size = 0;
        // Sent twice or more with these bytes.
        bool repeated = false;
    };
    std::vector<Entry> entries_, next_entries_;
    std::vector<uint8_t> bytes_, next_bytes_;
    uint32_t sends_ = 0;
};
