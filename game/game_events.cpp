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
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "game/terrain/terrain_carver.h"
#include "game/water/water_object.h"

namespace {

void create_object_action(QGEventHandler& handler, const QGEvent& event) {
    handler.game->spawn<QGObject>(event_entity_id(event), false);
}

void create_phys_object_action(QGEventHandler& handler, const QGEvent& event) {
    PhysObjectRecord r;
    if (!event.read(r)) return;
    handler.game->spawn<QGPhysObject>(r.entity_id, r);
}

void remove_object_action(QGEventHandler& handler, const QGEvent& event) {
    handler.game->remove_object(event_entity_id(event));
}

void setup_game_action(QGEventHandler& handler, const QGEvent& event) {
    // The server sets its game up itself; it only sends the record.
    GameParameters params;
    QGGame* game = QGGame::of(handler.game);
    if (game && !game->is_server && event.read(params)) game->match_setup().setup_game(params);
}

void set_spawn_positions_action(QGEventHandler& handler, const QGEvent& event) {
    SpawnPositions record;
    QGGame* game = QGGame::of(handler.game);
    if (game && event.read(record)) game->match_setup().set_spawn_positions(record);
}

void start_game_action(QGEventHandler& handler, const QGEvent&) {
    if (QGGame* game = QGGame::of(handler.game)) game->match_setup().start_game();
}

void pause_action(QGEventHandler& handler, const QGEvent&) {
    QGGame* game = QGGame::of(handler.game);
    if (!game) return;
    game->paused = true;
    if (game->is_server) handler.post<EQGEventType::Pause>();
}

void resume_action(QGEventHandler& handler, const QGEvent&) {
    QGGame* game = QGGame::of(handler.game);
    if (!game) return;
    game->paused = false;
    if (game->is_server) handler.post<EQGEventType::Resume>();
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
// and the listeners needs the record.
template <class Record, class Rule, class Action>
bool deliver_event(QGEventHandler& handler, const QGEvent& event, const uint32_t* sender, const EventListeners& live,
                   Rule rule, Action action) {
    constexpr bool own_id_rule = !std::is_same_v<Rule, EventSenderRule>;
    constexpr bool typed_action = std::is_invocable_v<Action, QGEventHandler&, const Record&>;
    if constexpr (own_id_rule || typed_action) {
        // The sender's id is a field of the record as its field list reads it; a record it
        // refuses reaches nothing.
        Record record;
        const bool read = event.read(record);
        if constexpr (own_id_rule) {
            static_assert(std::is_same_v<Rule, OwnIdRule<Record>>, "the sender field must be one of the row's record");
            if (sender && !(read && record.*rule.field == *sender)) return false;
        } else {
            if (sender && !sender_allows(rule, *sender)) return false;
        }
        if (!read) return true;
        if constexpr (typed_action) action(handler, record);
        else if constexpr (!std::is_null_pointer_v<Action>) action(handler, event);
        notify_listeners(record, live);
    } else {
        if (sender && !sender_allows(rule, *sender)) return false;
        if constexpr (!std::is_null_pointer_v<Action>) action(handler, event);
        if (live.empty()) return true;
        Record record;
        if (event.read(record)) notify_listeners(record, live);
    }
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
