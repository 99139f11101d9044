#include "game/entities/qg_portal.h"

#include "game/config/object_definitions.h"
#include "game/entities/entity_records.h"
#include "game/session/qg_event.h"
#include "game/session/qg_game.h"

std::map<unsigned int, QGPortal*> all_portals;

namespace {

constexpr uint16_t kPortalGroup = 0;
constexpr uint16_t kPortalMask = 2;  // players

}  // namespace

QGPortal::QGPortal(QGGame* game_, unsigned int entity_id_)
    : QGPhysObject(game_, entity_id_, portal_definition.collider_size, true, 1.0f, 1.0f, 1.0f, 0.0f, kPortalGroup,
                   kPortalMask, 0.0f) {
    all_portals[entity_id] = this;
    if (!has_drawing_services()) return;
    const PortalDefinition& def = portal_definition;
    sprite = SpriteHolder<CImageSprite>(game->sprite_manager);
    sprite->set_size(def.display_size.x, def.display_size.y);
    sprite->set_texture(object_texture(game, def.texture));
    sprite->set_tile_width(def.tile_size.x);
    sprite->set_tile_height(def.tile_size.y);
    sprite->set_first_frame(def.idle_animation.first_frame);
    sprite->set_last_frame(def.idle_animation.last_frame);
    sprite->set_animation_speed(def.idle_animation.speed);
    sprite->set_repeat_count(def.idle_animation.repeat);
    sprite->set_playing(def.idle_animation.first_frame != def.idle_animation.last_frame);
    sprite->set_z(-0.5f);
    update_sprite();
}

QGPortal::~QGPortal() {
    auto entry = all_portals.find(entity_id);
    if (entry != all_portals.end() && entry->second == this) all_portals.erase(entry);
}

void QGPortal::write_creation_event(QGEvent& event) const {
    event.set_type(EQGEventType::CreatePortal);
    event.set_delayed(false);
    event.set_payload(record_bytes(PlacedObjectRecord{entity_id, position}));
}

void QGPortal::update(float dt) {
    cooldown_timer -= dt;
    QGPhysObject::update(dt);
}

void QGPortal::update_sprite() {
    if (!sprite) return;
    sprite->set_x(position.x + (float(size.x) - sprite->get_width()) * 0.5f);
    sprite->set_y(position.y + (float(size.y) - sprite->get_height()) * 0.5f);
}
