// The event table's records and actions, wired for the session: each type's payload size is its
// record's measured size, and its action is the one its row names.
#include <array>
#include <type_traits>

#include "game/entities/entity_actions.h"
#include "game/entities/entity_records.h"
#include "game/levelgen/level_parameters.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event_handler.h"
#include "game/base/game_session.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "game/terrain/terrain_carver.h"
#include "game/water/water_object.h"

namespace {

void create_object_action(QGEventHandler& handler, const IdRecord& record) {
    handler.game->spawn<QGObject>(record.id, false);
}

void create_phys_object_action(QGEventHandler& handler, const PhysObjectRecord& record) {
    handler.game->spawn<QGPhysObject>(record.entity_id, record);
}

void remove_object_action(QGEventHandler& handler, const IdRecord& record) { handler.game->remove_object(record.id); }

void setup_game_action(QGEventHandler& handler, const GameParameters& params) {
    // The server sets its game up itself; it only sends the record.
    if (!handler.game->is_server) handler.game->match_setup().setup_game(params);
}

void set_spawn_positions_action(QGEventHandler& handler, const SpawnPositions& record) {
    handler.game->match_setup().set_spawn_positions(record);
}

void start_game_action(QGEventHandler& handler, const NoPayload&) { handler.game->match_setup().start_game(); }

void pause_action(QGEventHandler& handler, const NoPayload&) {
    handler.game->paused = true;
    if (handler.game->is_server) handler.post<EQGEventType::Pause>();
}

void resume_action(QGEventHandler& handler, const NoPayload&) {
    handler.game->paused = false;
    if (handler.game->is_server) handler.post<EQGEventType::Resume>();
}

// The rule of the server-only and host-only types asks for no field of the record.
bool sender_allows(EventSenderRule rule, uint32_t sender) { return rule.kind == EventSenderRule::Host && sender == 0; }

template <class Record>
void notify_listeners(const Record& record, const EventListeners& live) {
    if (live.empty()) return;
    // A copy: a listener may subscribe or end subscriptions while they run.
    const EventListeners listeners = live;
    for (const auto& listener : listeners)
        if (listener->active) listener->call(&record);
}

// One event of a row: its payload is decoded once, for whichever of the sender rule, the action
// and the listeners needs the record, and not at all when none does. A record its field list
// refuses reaches nothing.
template <class Record, class Rule, class Action>
bool deliver_event(QGEventHandler& handler, const QGEvent& event, const uint32_t* sender, const EventListeners& live,
                   Rule rule, Action action) {
    constexpr bool own_id_rule = !std::is_same_v<Rule, EventSenderRule>;
    constexpr bool has_action = !std::is_null_pointer_v<Action>;
    static_assert(!has_action || std::is_invocable_v<Action, QGEventHandler&, const Record&>,
                  "an action takes its row's record");
    if constexpr (!own_id_rule) {
        // The rule asks for no field: a refused sender's record is not read.
        if (sender && !sender_allows(rule, *sender)) return false;
        if (!has_action && live.empty()) return true;
    }
    Record record;
    const bool read = event.read(record);
    if constexpr (own_id_rule) {
        // The sender's id is a field of the record as its field list reads it.
        static_assert(std::is_same_v<Rule, OwnIdRule<Record>>, "the sender field must be one of the row's record");
        if (sender && !(read && record.*rule.field == *sender)) return false;
    }
    if (!read) return true;
    if constexpr (has_action) action(handler, record);
    notify_listeners(record, live);
    return true;
}

}  // namespace

const EventWiring& event_wiring(uint32_t type) {
    static const std::array<EventWiring, kEventTypeCount> table{{
#define QG_EVENT_WIRING(name, number, Record, creation, sender, action)                                    \
    {uint32_t(record_size<Record>()),                                                                      \
     [](QGEventHandler& handler, const QGEvent& event, const uint32_t* from, const EventListeners& live) { \
         return deliver_event<Record>(handler, event, from, live, sender, action);                         \
     }},
        QG_EVENT_TYPES(QG_EVENT_WIRING)
#undef QG_EVENT_WIRING
    }};
    static const EventWiring none;
    return type < kEventTypeCount ? table[type] : none;
}
