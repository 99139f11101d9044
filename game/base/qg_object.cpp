#include "game/base/qg_object.h"

#include "game/base/drawing_services.h"
#include "game/base/qg_event.h"

QGObject::QGObject(GameSession* game_, unsigned int entity_id_, bool reliable_)
    : game(game_), entity_id(entity_id_), reliable(reliable_) {}

QGObject::~QGObject() = default;

void QGObject::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateObject>(IdRecord{entity_id});
}

void QGObject::update(float) {}

void QGObject::set_look(std::unique_ptr<ObjectLook> look) { look_ = std::move(look); }

void QGObject::drop_look() { look_.reset(); }
