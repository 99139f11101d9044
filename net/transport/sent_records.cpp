#include "net/transport/sent_records.h"

#include <cstring>

void SentRecords::pick(const ByteBuffer& packet, const ChangeKeys& keys, uint32_t refresh_sends, ByteBuffer& out) {
    // The packet is a well-formed sync packet: every record header and its bytes are there.
    const uint8_t* p = packet.data();
    // The keys have the packet's records at the same places.
    const uint8_t* key = keys.bytes.size() == packet.size() ? keys.bytes.data() : p;
    auto news = keys.news.begin();
    out.clear();
    out.append(p, sync_header_size);
    next_entries_.clear();
    next_bytes_.clear();
    size_t k = 0;
    for (size_t pos = sync_header_size; pos < packet.size();) {
        const uint32_t id = net_detail::load_u32_be(p + pos), n = net_detail::load_u32_be(p + pos + 4);
        const uint8_t* bytes = key + pos + 8;
        while (news != keys.news.end() && *news < id) ++news;
        if (news != keys.news.end() && *news == id) {
            // Not kept: the next news goes whatever it holds.
            out.append(p + pos, 8 + size_t(n));
            pos += 8 + size_t(n);
            continue;
        }
        while (k < entries_.size() && entries_[k].id < id) ++k;
        const bool same = k < entries_.size() && entries_[k].id == id && entries_[k].size == n &&
                          (n == 0 || std::memcmp(bytes_.data() + entries_[k].offset, bytes, n) == 0);
        const bool refresh = refresh_sends != 0 && (sends_ + id) % refresh_sends == 0;
        if (!same || !entries_[k].repeated || refresh) out.append(p + pos, 8 + size_t(n));
        next_entries_.push_back({id, next_bytes_.size(), n, same});
        next_bytes_.insert(next_bytes_.end(), bytes, bytes + n);
        pos += 8 + size_t(n);
    }
    entries_.swap(next_entries_);
    bytes_.swap(next_bytes_);
    ++sends_;
}

void SentRecords::forget() {
    entries_.clear();
    bytes_.clear();
}
