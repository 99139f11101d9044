#pragma once
#include <cstdint>
#include <map>
#include <tuple>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "engine/core/callback.h"
#include "net/sync/net_clock.h"
#include "net/sync/networkable.h"
#include "net/transport/connection.h"

using NetworkableMap = std::map<unsigned int, Networkable*>;

// The first 4 bytes (u32 little-endian) of every packet a transport sends.
enum class PacketKind : uint32_t {
    Data = 0,
    Ping = 1,
    Pong = 2,
};

// Kind and send time in front of the object records of a sync packet.
constexpr size_t sync_header_size = 12;
// Ping and pong: kind and a time.
constexpr size_t keep_alive_packet_size = 12;

// What a transport that leaves out the records a peer already has compares (see
// Protocol::build_sync_packet): the packet's bytes with 0 where an object marked them as worked out
// by the receiver from other records (empty when no object did), and the ids, ascending, of the
// records that report news rather than a state, which are never left out however alike they are.
struct ChangeKeys {
    ByteBuffer bytes;
    std::vector<uint32_t> news;
};

// The transport under all networked state: turns an object map into one sync packet per send
// interval, and the sync packets its concrete transport received into updates of those objects.
class Protocol {
public:
    Protocol() = default;
    virtual ~Protocol() = default;
    Protocol(const Protocol&) = delete;
    Protocol& operator=(const Protocol&) = delete;

    // Sends one packet to this transport's peer or peers. False when it could not be handed
    // to the network (a packet that a stream transport has queued counts as handed over).
    virtual bool send(const ByteBuffer& packet) = 0;
    // Sends a sync packet with its change keys beside it (see build_sync_packet): a transport that
    // leaves out what a peer already has compares the keys; the packet goes out as it is.
    virtual bool send_sync(const ByteBuffer& packet, const ChangeKeys& keys) {
        (void)keys;
        return send(packet);
    }
    // Takes waiting packets from the network, handles transport packets itself and files every
    // other packet among the waiting packets under its sender (file_packet).
    virtual void receive() = 0;

    // Builds and sends one sync packet once the send interval has elapsed. False when it is
    // too early, else true (also when no object had anything to send).
    bool send_objects(NetworkableMap& objects);
    // Receives, applies every waiting packet to the objects (dropping stale records), empties
    // the waiting packets and runs the interpolate pass.
    void receive_objects(NetworkableMap& objects);
    // Walks a sync packet received from the sender. It is checked whole first: when it is not a
    // well-formed sync packet, false, and nothing is handed on. Otherwise each record, in packet
    // order, whose object find(id) names (a pointer; null for none) and which is no older than the
    // newest one handed on from the sender for that object goes to apply(object, bytes, size,
    // spacing): its bytes (the caller reads them from a buffer of its own) and how far the packet
    // came after the sender's previous one. Its send time is the newest from then on, whether apply
    // takes the record or refuses it. Senders filed under the broadcast address are not checked for
    // staleness and have no spacing.
    template <class Find, class Apply>
    bool walk_sync_packet(const Connection& sender, ByteBuffer& packet, Find&& find, Apply&& apply);

    // The packets received and not yet applied, under their senders.
    const std::multimap<Connection, ByteBuffer>& waiting_packets() const { return inbox; }
    // Hands the waiting packets over; none wait afterwards.
    std::multimap<Connection, ByteBuffer> take_waiting_packets() { return std::exchange(inbox, {}); }
    // The newest send time of a record handed on from the sender for the object; none before the first.
    std::optional<int64_t> newest_send_time(uint32_t object_id, const Connection& sender) const;

    void set_send_interval(float seconds);
    // Milliseconds by which delayed events are held back: two send intervals.
    int64_t get_latency() const { return 2 * send_interval_ms; }
    // The interpolation factor runs from 0 at receipt to 1 one update spacing later, and no further
    // than this: a stalled sender is extrapolated half a spacing past its newest value at most.
    static constexpr float max_interpolation_factor = 1.5f;
    // The spacing is the send interval, or the spacing of the sender's packets when they come
    // further apart (a sender that thins its packets to a congested peer), up to this many
    // send intervals; packets further apart still are followed to their newest values in this
    // time, which are then held, not carried on.
    static constexpr int64_t max_update_spacing_intervals = 8;

    void set_clock(const NetClock& clock) { clock_ = &clock; }
    const NetClock& clock() const { return *clock_; }
    int64_t now_ms() const { return clock_->now_ms(); }

    // Appends the sync packet of the objects for the send time now to out (which is cleared
    // first); objects that write nothing get no record. With keys, also its change keys.
    static void build_sync_packet(NetworkableMap& objects, int64_t now, ByteBuffer& out, ChangeKeys* keys = nullptr);
    // True when the packet is a sync header of kind Data followed by whole records (id, byte
    // count, bytes) to its very end.
    static bool is_well_formed_sync_packet(const ByteBuffer& packet);
    // Cuts a well-formed sync packet into sync packets of whole records with its header, each at
    // most max_size bytes; a record too large for that travels alone in a larger one.
    static std::vector<ByteBuffer> split_sync_packet(const ByteBuffer& packet, size_t max_size);

    // Packets taken from the network per receive call (per client on the server); 0 = no cap.
    uint32_t max_packets_per_receive = 0;
    int64_t send_interval_ms = 50;
    int64_t next_send_ms = 0;

protected:
    // Files a packet taken from the network under its sender until it is applied.
    void file_packet(const Connection& sender, ByteBuffer packet) { inbox.emplace(sender, std::move(packet)); }
    // Forgets a peer: its waiting packets and its newest send times.
    void forget_peer(const Connection& peer);
    // Forgets every waiting packet and every newest send time.
    void forget_received();

private:
    using NewestTimes = std::map<uint32_t, std::map<Connection, int64_t>>;

    void apply_sync_packet(NetworkableMap& objects, const Connection& sender, ByteBuffer& packet);
    void apply_record(Networkable& object, const uint8_t* bytes, uint32_t size, int64_t now, int64_t spacing);
    // Notes a packet's send time; answers how far it came after the sender's previous one.
    int64_t note_send_time(const Connection& sender, int64_t sent);
    // Whether a record sent at `sent` is no older than the newest one handed on from the sender for
    // the object; it is noted as the newest then. Records come in id order, so the object's entry
    // is most often the one after the previous record's (hint): tried first, searched otherwise.
    bool is_newest(uint32_t object_id, const Connection& sender, int64_t sent, NewestTimes::iterator& hint);

    struct SenderPackets {
        int64_t newest_sent = 0;
        int64_t spacing_ms = 0;
    };

    const NetClock* clock_ = &NetClock::system();
    // Received packets waiting to be applied, under their senders.
    std::multimap<Connection, ByteBuffer> inbox;
    // Per object and sender, the newest send time handed on so far.
    NewestTimes newest_timestamps;
    std::map<Connection, SenderPackets> sender_packets_;
    ByteBuffer outgoing_;
    ChangeKeys outgoing_keys_;
};

// Inline: it runs for every record of every packet.
inline bool Protocol::is_newest(uint32_t object_id, const Connection& sender, int64_t sent,
                                NewestTimes::iterator& hint) {
    auto times = hint != newest_timestamps.end() && hint->first == object_id
                     ? hint
                     : newest_timestamps.try_emplace(hint, object_id);
    hint = std::next(times);
    // Most objects hear from one sender only.
    auto& senders = times->second;
    auto entry = senders.begin();
    bool inserted = false;
    if (!(senders.size() == 1 && entry->first == sender)) std::tie(entry, inserted) = senders.try_emplace(sender, sent);
    if (inserted) return true;
    if (sent < entry->second) return false;
    entry->second = sent;
    return true;
}

template <class Find, class Apply>
bool Protocol::walk_sync_packet(const Connection& sender, ByteBuffer& packet, Find&& find, Apply&& apply) {
    // The structure is checked as a whole first, so a cut, padded or garbage packet applies
    // nothing at all rather than the records in front of the damage.
    if (!is_well_formed_sync_packet(packet)) return false;
    packet.rewind();
    int64_t sent = 0;
    // Checked whole above: the header is there.
    if (!packet.skip(4) || !packet.read_i64_le(sent)) return false;
    const bool check_stale = sender.address != sf::IpAddress::Broadcast;
    // Unknown senders' packets, of any number of senders, have no spacing.
    const int64_t spacing = check_stale ? note_send_time(sender, sent) : 0;
    auto hint = newest_timestamps.begin();
    while (!packet.at_end()) {
        // The packet was checked whole above: every record header is there.
        const uint8_t* header = packet.read_pointer();
        const uint32_t id = net_detail::load_u32_be(header), size = net_detail::load_u32_be(header + 4);
        packet.skip(8);
        auto* object = find(id);
        if (object && (!check_stale || is_newest(id, sender, sent, hint)))
            apply(*object, packet.read_pointer(), size, spacing);
        packet.skip(size);
    }
    return true;
}

// The transport, the connection id, the local TCP port and the peer.
using ConnectionCallback = Callback<void, Protocol*, unsigned int, unsigned short, Connection>;

// A reliable stream transport: adds the keep-alive ping and pong and the connection hooks.
class Tcp : public Protocol {
public:
    // Sends a ping when the keep-alive interval has elapsed.
    virtual void keep_alive();
    // The ping that is due, the next one then scheduled; none before the interval has elapsed.
    std::optional<ByteBuffer> due_keep_alive();

    // A ping just received is answered with a pong carrying its time and consumed (true).
    // Any other packet is rewound and left to the caller (false).
    bool handle_ping(ByteBuffer& packet);
    // A ping just received is consumed (true), its pong put in pong when it carried its time.
    // Any other packet is rewound (false).
    static bool take_ping(ByteBuffer& packet, std::optional<ByteBuffer>& pong);
    // A pong sets last_receive_ms to now and latency_ms to half its round trip and is consumed
    // (true). Any other packet is rewound (false).
    bool handle_pong(ByteBuffer& packet, int64_t& last_receive_ms, int64_t& latency_ms) const;

    ConnectionCallback on_connect;
    ConnectionCallback on_disconnect;
    int64_t keep_alive_interval_ms = 1000;
    int64_t next_keep_alive_ms = 0;
    // A connection from which nothing arrived for this long is dropped; 0 = never.
    int64_t timeout_ms = 5000;
};

// A ping or pong packet.
ByteBuffer make_keep_alive_packet(PacketKind kind, int64_t time_ms);

// Prints a network failure line on standard output, the line written in one piece so that
// the connect thread and the main thread do not interleave within a line.
void print_net_line(const std::string& line);
