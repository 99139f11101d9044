#include "game/base/qg_object.h"

#include "game/base/drawing_services.h"
#include "game/base/qg_event.h"
#include "game/session/qg_game.h"

QGObject::QGObject(QGGame* game_, unsigned int entity_id_, bool reliable_, bool keep_out)
    : game(game_), entity_id(entity_id_), reliable(reliable_) {
    if (keep_out || !game) return;
    if (game->is_server) entity_id = game->issue_entity_id();
    registered_ = game->register_object(this);
}

QGObject::~QGObject() = default;

void QGObject::write_creation_event(QGEvent& event) const {
    event.set_type(EQGEventType::CreateObject);
    event.set_delayed(false);
    event.set_payload(record_bytes(IdRecord{entity_id}));
}

void QGObject::update(float) {}

void QGObject::show_look() {
    if (look_) look_->update();
    else if (game && game->drawing()) look_ = game->drawing()->make_look(*this);
}

void QGObject::drop_look() { look_.reset(); }
