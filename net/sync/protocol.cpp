#include "net/sync/protocol.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <tuple>
#include <utility>

#include "engine/core/logger.h"

void print_net_line(const std::string& line) { print_console_line(line); }

ByteBuffer make_keep_alive_packet(PacketKind kind, int64_t time_ms) {
    ByteBuffer p;
    p.write_u32_le(uint32_t(kind));
    p.write_i64_le(time_ms);
    return p;
}

void Protocol::set_send_interval(float seconds) {
    // Computed in float: 0.033 s is 33 ms, as the game expects (a double product gives 32).
    float ms = seconds > 0.0f ? seconds * 1000.0f : 0.0f;
    if (!(ms < float(std::numeric_limits<int32_t>::max()))) ms = float(std::numeric_limits<int32_t>::max());
    send_interval_ms = int64_t(ms);
    int64_t now = now_ms();
    if (next_send_ms - now > send_interval_ms) next_send_ms = now + send_interval_ms;
}

void Protocol::build_sync_packet(NetworkableMap& objects, int64_t now, ByteBuffer& out, ChangeKeys* keys) {
    out.clear();
    out.write_u32_le(uint32_t(PacketKind::Data));
    out.write_i64_le(now);
    // Gathered for the keys only.
    std::vector<std::pair<size_t, size_t>> ranges;
    if (keys) keys->news.clear();
    for (auto& [id, object] : objects) {
        if (!object) continue;
        // The record is written in place: header first, its byte count filled in afterwards,
        // and taken back when the object wrote nothing.
        size_t header = out.size();
        const size_t marked = ranges.size();
        out.write_u32_be(id);
        out.write_u32_be(0);
        object->derived_ranges = keys ? &ranges : nullptr;
        object->wrote_news = false;
        object->run_pass(Networkable::Write, &out);
        object->derived_ranges = nullptr;
        size_t n = out.size() - header - 8;
        if (n == 0 || n > std::numeric_limits<uint32_t>::max()) {
            out.truncate(header);
            ranges.resize(marked);
        } else {
            out.overwrite_u32_be(header + 4, uint32_t(n));
            if (keys && object->wrote_news) keys->news.push_back(id);
        }
    }
    if (!keys) return;
    keys->bytes.clear();
    if (ranges.empty()) return;
    // Marks come in packet order, each within the record being written.
    static constexpr uint8_t zeros[64] = {};
    size_t copied = 0;
    for (auto [from, to] : ranges) {
        from = std::max(from, copied);
        keys->bytes.append(out.data() + copied, from - copied);
        for (size_t at = from; at < to; at += sizeof zeros) keys->bytes.append(zeros, std::min(sizeof zeros, to - at));
        copied = std::max(copied, to);
    }
    keys->bytes.append(out.data() + copied, out.size() - copied);
}

bool Protocol::send_objects(NetworkableMap& objects) {
    int64_t now = now_ms();
    if (now < next_send_ms) return false;
    build_sync_packet(objects, now, outgoing_, &outgoing_keys_);
    if (outgoing_.size() > sync_header_size) send_sync(outgoing_, outgoing_keys_);
    next_send_ms = now + send_interval_ms;
    return true;
}

namespace {

// The end of the record at pos (its id, byte count and bytes), or 0 when it runs past size.
size_t sync_record_end(const uint8_t* p, size_t pos, size_t size) {
    if (size - pos < 8) return 0;
    size_t n = size_t(p[pos + 4]) << 24 | size_t(p[pos + 5]) << 16 | size_t(p[pos + 6]) << 8 | size_t(p[pos + 7]);
    if (n > size - pos - 8) return 0;
    return pos + 8 + n;
}

}  // namespace

bool Protocol::is_well_formed_sync_packet(const ByteBuffer& packet) {
    const uint8_t* p = packet.data();
    size_t size = packet.size();
    if (size < sync_header_size) return false;
    // Only data packets carry records (the kind is little-endian).
    if (p[0] != uint8_t(PacketKind::Data) || p[1] != 0 || p[2] != 0 || p[3] != 0) return false;
    for (size_t pos = sync_header_size; pos < size;) {
        pos = sync_record_end(p, pos, size);
        if (pos == 0) return false;
    }
    return true;
}

std::vector<ByteBuffer> Protocol::split_sync_packet(const ByteBuffer& packet, size_t max_size) {
    std::vector<ByteBuffer> parts;
    const uint8_t* p = packet.data();
    const size_t size = packet.size();
    size_t pos = sync_header_size;
    while (pos < size) {
        size_t end = sync_record_end(p, pos, size);
        if (end == 0) break;
        // Whole records while they fit; the first one goes in even when it does not.
        for (size_t next;
             end < size && (next = sync_record_end(p, end, size)) != 0 && sync_header_size + (next - pos) <= max_size;)
            end = next;
        ByteBuffer& part = parts.emplace_back();
        part.append(p, sync_header_size);
        part.append(p + pos, end - pos);
        pos = end;
    }
    return parts;
}

void Protocol::receive_objects(NetworkableMap& objects) {
    receive();
    for (auto& [sender, packet] : inbox) apply_sync_packet(objects, sender, packet);
    inbox.clear();

    // One frame, one time for every object.
    const int64_t now = now_ms();
    for (auto& [id, object] : objects) {
        if (!object || object->previous_state.empty()) continue;
        // One spacing of the sender's packets from the older to the newer update, so that a client
        // receiving a packet every spacing moves on evenly and arrives as the next one comes in.
        float factor = 1.0f;
        if (send_interval_ms > 0) {
            const int64_t longest = max_update_spacing_intervals * send_interval_ms;
            const int64_t spacing = std::clamp(object->update_spacing_ms, send_interval_ms, longest);
            // Packets further apart than that are not followed: the newest state is held until
            // the next one, since carrying it on would overshoot and jump back.
            const float most = object->update_spacing_ms > longest ? 1.0f : max_interpolation_factor;
            const int64_t age = now - object->last_receive_ms;
            factor = age <= 0 ? 0.0f : std::min(float(age) / float(spacing), most);
        }
        object->interpolation_factor = factor;
        object->run_pass(Networkable::Interpolate, &object->received_state);
    }
}

void Protocol::apply_sync_packet(NetworkableMap& objects, const Connection& sender, ByteBuffer& packet) {
    // The records of one packet arrived together.
    const int64_t now = now_ms();
    // Records come in id order as the sender's map lists them, so the object is most often the
    // entry after the previous record's: tried first, searched otherwise.
    auto hint = objects.begin();
    const auto find = [&](uint32_t id) -> Networkable* {
        auto it = hint != objects.end() && hint->first == id ? hint : objects.find(id);
        if (it == objects.end() || !it->second) return nullptr;
        hint = std::next(it);
        return it->second;
    };
    const auto apply = [&](Networkable& object, const uint8_t* bytes, uint32_t size, int64_t spacing) {
        apply_record(object, bytes, size, now, spacing);
    };
    if (!walk_sync_packet(sender, packet, find, apply))
        log_message(
            LogLevel::Warning,
            "Dropped a malformed sync packet of " + std::to_string(packet.size()) + " bytes from " + sender.to_string(),
            log_class_name_of(*this));
}

std::optional<int64_t> Protocol::newest_send_time(uint32_t object_id, const Connection& sender) const {
    auto times = newest_timestamps.find(object_id);
    if (times == newest_timestamps.end()) return std::nullopt;
    auto entry = times->second.find(sender);
    if (entry == times->second.end()) return std::nullopt;
    return entry->second;
}

int64_t Protocol::note_send_time(const Connection& sender, int64_t sent) {
    auto [it, first] = sender_packets_.try_emplace(sender, SenderPackets{sent, 0});
    SenderPackets& packets = it->second;
    // Parts of one packet share its send time; an older one overtook nothing.
    if (!first && sent > packets.newest_sent) {
        // The sender's word: measured without overflow and kept within a day.
        const uint64_t apart = uint64_t(sent) - uint64_t(packets.newest_sent);
        packets.spacing_ms = int64_t(std::min<uint64_t>(apart, 86'400'000));
        packets.newest_sent = sent;
    }
    return packets.spacing_ms;
}

void Protocol::apply_record(Networkable& object, const uint8_t* bytes, uint32_t size, int64_t now, int64_t spacing) {
    // A record short of a field is refused whole, before it displaces the states kept.
    if (!object.holds_every_field(bytes, size)) return;
    // An object that snapshots nothing has nothing to interpolate.
    // The interpolation runs between the two newest updates; only the first one starts from the
    // values shown. Starting every update from the values shown would freeze a client that applies
    // a packet each frame (the factor is 0 each time) and would build on every extrapolation.
    // After the first, a snapshot would only tell whether there is anything to interpolate, which
    // the read of the update before already met.
    const bool first = object.received_state.empty();
    object.previous_state.clear();
    if (first) object.run_pass(Networkable::Snapshot, &object.previous_state);
    else if (object.fields_met) std::swap(object.previous_state, object.received_state);

    // The record gets a buffer of its own, so a field list that reads too much or too little
    // cannot disturb the records behind it.
    object.received_state.clear();
    object.received_state.append(bytes, size);
    object.last_receive_ms = now;
    object.update_spacing_ms = spacing;

    object.run_pass(Networkable::Read, &object.received_state);
}

void Protocol::forget_peer(const Connection& peer) {
    inbox.erase(peer);
    sender_packets_.erase(peer);
    for (auto it = newest_timestamps.begin(); it != newest_timestamps.end();) {
        it->second.erase(peer);
        if (it->second.empty()) it = newest_timestamps.erase(it);
        else ++it;
    }
}

void Protocol::forget_received() {
    inbox.clear();
    newest_timestamps.clear();
}

void Tcp::keep_alive() {
    if (std::optional<ByteBuffer> ping = due_keep_alive()) send(*ping);
}

std::optional<ByteBuffer> Tcp::due_keep_alive() {
    int64_t now = now_ms();
    if (now < next_keep_alive_ms) return std::nullopt;
    next_keep_alive_ms = now + keep_alive_interval_ms;
    return make_keep_alive_packet(PacketKind::Ping, now);
}

bool Tcp::handle_ping(ByteBuffer& packet) {
    std::optional<ByteBuffer> pong;
    if (!take_ping(packet, pong)) return false;
    if (pong) send(*pong);
    return true;
}

bool Tcp::take_ping(ByteBuffer& packet, std::optional<ByteBuffer>& pong) {
    packet.rewind();
    uint32_t kind = 0;
    if (!packet.read_u32_le(kind) || kind != uint32_t(PacketKind::Ping)) {
        packet.rewind();
        return false;
    }
    int64_t time = 0;
    // A ping without its time is consumed unanswered: it cannot be a sync packet either.
    if (packet.read_i64_le(time)) pong = make_keep_alive_packet(PacketKind::Pong, time);
    return true;
}

bool Tcp::handle_pong(ByteBuffer& packet, int64_t& last_receive_ms, int64_t& latency_ms) const {
    packet.rewind();
    uint32_t kind = 0;
    if (!packet.read_u32_le(kind) || kind != uint32_t(PacketKind::Pong)) {
        packet.rewind();
        return false;
    }
    int64_t time = 0;
    if (packet.read_i64_le(time)) {
        int64_t now = now_ms();
        last_receive_ms = now;
        // The echoed time is the peer's word; the difference wraps instead of overflowing.
        latency_ms = int64_t(uint64_t(now) - uint64_t(time)) / 2;
    }
    return true;
}
