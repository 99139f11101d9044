#include "game/base/qg_event.h"

#include <algorithm>
#include <cstring>

namespace {

struct EventTypeFacts {
    uint32_t number;
    bool creation;
};

constexpr EventTypeFacts kFacts[] = {
#define QG_EVENT_FACTS(name, number, Record, creation, sender, action) {number, creation},
    QG_EVENT_TYPES(QG_EVENT_FACTS)
#undef QG_EVENT_FACTS
};

// The tables are indexed by number, so the list must hold each number once, in order.
constexpr bool numbered_in_order() {
    for (uint32_t i = 0; i < kEventTypeCount; ++i)
        if (kFacts[i].number != i) return false;
    return true;
}
static_assert(numbered_in_order(), "QG_EVENT_TYPES must list the numbers 0, 1, 2, ... in order");

}  // namespace

uint32_t event_payload_size(uint32_t type) { return event_wiring(type).payload_bytes; }

uint32_t event_payload_size(EQGEventType type) { return event_payload_size(uint32_t(type)); }

bool is_creation_event(uint32_t type) { return type < kEventTypeCount && kFacts[type].creation; }

void QGEvent::set_type(EQGEventType t) {
    if (t == type) return;
    type = t;
    data.assign(event_payload_size(t), 0);
}

void QGEvent::set_payload(const void* bytes, size_t n) {
    std::fill(data.begin(), data.end(), uint8_t(0));
    const size_t count = std::min(n, data.size());
    if (count) std::memcpy(data.data(), bytes, count);
}
