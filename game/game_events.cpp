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
    if (game && !game->is_server && event.read(params)) game->setup_game(params);
}

void set_spawn_positions_action(QGEventHandler& handler, const QGEvent& event) {
    SpawnPositions record;
    QGGame* game = QGGame::of(handler.game);
    if (game && event.read(record)) game->set_spawn_positions(record);
}

void start_game_action(QGEventHandler& handler, const QGEvent&) {
    if (QGGame* game = QGGame::of(handler.game)) game->start_game();
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

template <class Record>
bool sender_allows(EventSenderRule rule, const QGEvent&, uint32_t sender) {
    return rule.kind == EventSenderRule::Host && sender == 0;
}

// The sender's id is a field of the record as its field list reads it.
template <class Record, class Named>
bool sender_allows(OwnIdRule<Named> rule, const QGEvent& event, uint32_t sender) {
    static_assert(std::is_same_v<Record, Named>, "the sender field must be one of the row's record");
    Record record;
    return event.read(record) && record.*rule.field == sender;
}

template <class Record>
void notify_listeners(const QGEvent& event, const EventListeners& listeners) {
    Record record;
    if (!event.read(record)) return;
    for (const auto& listener : listeners)
        if (listener->active) listener->call(&record);
}

}  // namespace

const EventWiring& event_wiring(uint32_t type) {
    static const std::array<EventWiring, kEventTypeCount> table{{
#define QG_EVENT_WIRING(name, number, Record, creation, sender, action)                              \
    {uint32_t(record_size<Record>()), EventAction(action),                                           \
     [](const QGEvent& event, uint32_t from) { return sender_allows<Record>(sender, event, from); }, \
     &notify_listeners<Record>},
        QG_EVENT_TYPES(QG_EVENT_WIRING)
#undef QG_EVENT_WIRING
    }};
    static const EventWiring none;
    return type < kEventTypeCount ? table[type] : none;
}
