#include "game/entities/qg_tombstone.h"

#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/entities/death_messages.h"
#include "game/entities/entity_records.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_event.h"
#include "game/session/qg_game.h"

namespace {

constexpr uint16_t kTombstoneGroup = 0;
constexpr uint16_t kTombstoneMask = 1;  // the terrain only

DeathNames names_of(const QGGame* game, unsigned int victim, const DamageCause& cause) {
    DeathNames names;
    if (const QGPlayer* p = game ? game->get_player(victim) : nullptr) names.victim = p->name;
    if (const QGPlayer* p = game ? game->get_player(cause.source_player) : nullptr) names.source = p->name;
    names.self = cause.source_player == victim;
    return names;
}

}  // namespace

QGTombstone::QGTombstone(QGGame* game_, unsigned int entity_id_, unsigned int player_index_,
                         const DamageCause& cause_, float x, float y)
    : QGPhysObject(game_, entity_id_, {int(player_size.x), int(player_size.y)}, false, player_mass, player_friction,
                   player_air_friction, player_bounce, kTombstoneGroup, kTombstoneMask, player_buoyancy),
      player_index(player_index_),
      life_timer(tombstone_life_time),
      cause(cause_) {
    position = {x, y};
    previous_position = position;
    if (!game || game->is_server) return;
    if (has_drawing_services()) {
        // The looks of the player index; another index has a plain tombstone.
        const PlayerDefinition* def =
            player_index < unsigned(kPlayerDefinitionCount) ? &player_definitions[player_index] : nullptr;
        sprite = SpriteHolder<CImageSprite>(game->sprite_manager);
        sprite->set_size(float(size.x), float(size.y));
        sprite->set_z(0.01f);
        if (def) {
            sprite->set_texture(object_texture(game, def->tombstone_texture));
            sprite->set_tile_width(def->tile_size.x);
            sprite->set_tile_height(def->tile_size.y);
        }
        label = SpriteHolder<CLabelSprite>(game->sprite_manager, sprite.get(), label_font(game));
        label->set_size(player_label_size.x, player_label_size.y);
        label->set_x((sprite->get_width() - label->get_width()) * 0.5f);
        label->set_y(-label->get_height());
        label->set_text_box(0.0f, 0.0f, label->get_width(), label->get_height());
        if (def) label->set_text_color(def->color);
        label->set_horizontal_alignment(0);
        update_sprite();
    }
    death_label();
    death_message();
}

QGTombstone::~QGTombstone() {
    label.release();
    sprite.release();
}

void QGTombstone::write_creation_event(QGEvent& event) const {
    TombstoneRecord r;
    r.entity_id = entity_id;
    r.player_index = player_index;
    r.position = position;
    r.cause = cause;
    event.set_type(EQGEventType::CreateTombstone);
    event.set_delayed(false);
    event.set_payload(record_bytes(r));
}

std::string QGTombstone::death_label() {
    caption = death_label_text(names_of(game, player_index, cause), cause);
    if (label) label->set_text(caption);
    return caption;
}

void QGTombstone::death_message() {
    session_message(game, death_message_text(names_of(game, player_index, cause), cause));
}

void QGTombstone::update(float dt) {
    QGPhysObject::update(dt);
    if (life_timer > 0.0f) {
        life_timer -= dt;
        if (life_timer <= 0.0f && game) game->remove_object(entity_id);
    }
}

void QGTombstone::update_sprite() {
    if (!sprite) return;
    sprite->set_x(position.x);
    sprite->set_y(position.y);
    const float scale = sprite->get_absolute_scale();
    const float label_scale = scale > 0.0f ? 1.0f / scale : 1.0f;
    label->set_scale(label_scale);
    label->set_x((sprite->get_width() - label_scale * label->get_width()) * 0.5f);
    label->set_y(-(label_scale * label->get_height()));
}
