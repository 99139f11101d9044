// What travels and what is drawn: records with a field out of its range are refused, names keep
// to their 16 bytes, a projectile goes off once, portals leave their registry, items used on
// touch, and a client with drawing services (no window, missing images) builds every object's
// looks.
#include "support/entity_test_support.h"
#include "support/terrain_test_support.h"

#include <cstring>

#include "engine/gfx/shader.h"
#include "game/drawing/game_drawing.h"
#include "game/entities/death_messages.h"
#include "game/entities/entity_records.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_tombstone.h"
#include "game/entities/qg_weapon.h"
#include "game/match/qg_chat.h"
#include "game/water/water_object.h"
#include "support/level_test_support.h"

using namespace entity_test;
using namespace session_test;

namespace {

class Records : public EntityTest {};

template <typename Record>
QGEvent event_of(EQGEventType type, const Record& r) {
    return make_event(type, record_bytes(r));
}

size_t objects_after(QGGame& game, const QGEvent& event) {
    const size_t before = game.registry().pending_objects().size();
    game.event_handler->dispatch(event);
    return game.registry().pending_objects().size() - before;
}

// The record as its writer sends it is read back; with the one field spoiled, its field list
// refuses it and consumes its bytes.
template <class R, class Spoil>
bool refused(R record, Spoil spoil) {
    R back;
    ByteBuffer good = record_bytes(record);
    if (!read_record(good, back)) return false;
    spoil(record);
    ByteBuffer bad = record_bytes(record);
    return !read_record(bad, back) && bad.ok() && bad.at_end();
}

// A state record as a client holds it once a second copy has come: read, and interpolated from it
// to it.
void receive_state(Networkable& o, const ByteBuffer& state) {
    o.previous_state = o.received_state = state;
    o.run_pass(Networkable::Read, &o.received_state);
    o.run_pass(Networkable::Interpolate, &o.received_state);
}

// Whether the object's state record is whole, and refused once `spoil` has put a value out of its
// field's range into the object; the object reads its whole record back afterwards.
template <class O, class Spoil>
bool state_refused(O& o, Spoil spoil) {
    ByteBuffer good, bad;
    o.run_pass(Networkable::Write, &good);
    spoil(o);
    o.run_pass(Networkable::Write, &bad);
    receive_state(o, good);
    return o.holds_every_field(good.data(), good.size()) && !o.holds_every_field(bad.data(), bad.size());
}

TEST_F(Records, EveryFieldWithARangeRefusesWhatLiesOutsideIt) {
    const float nan = std::nanf("");
    using K = InputKind;
    const PlayerInput press{1, K::Left, 1};
    const WeaponRecord gun{{42, {}, kGun, kNoPlayerIndex}};
    const SpecialItemRecord crate{{43, {}, kCrate, 3}};
    const ProjectileRecord shot{44, {}, {}, kTriple, 1};
    const GameParameters rules{2, 3, 1.0f};
    const EffectSpawn effect{0, 10, 0.5f};
    const std::pair<const char*, bool> cases[] = {
        {"player slot", refused(PlayerRecord{}, [](auto& r) { r.player_index = kMaxPlayers; })},
        {"player speed", refused(PlayerRecord{}, [&](auto& r) { r.velocity.y = nan; })},
        {"input slot", refused(press, [](auto& r) { r.player_index = 16; })},
        {"no input kind", refused(press, [](auto& r) { r.kind = K(0); })},
        {"input kind past the last", refused(press, [](auto& r) { r.kind = K(8); })},
        // What names nobody, or presses, or selects the last slot, is read: these are kept.
        {"pressed as 2", !refused(press, [](auto& r) { r.value = 2; })},
        {"slot past a byte", !refused(PlayerInput{1, K::SelectSlot, 255}, [](auto& r) { r.value = 256; })},
        {"item owner 16", !refused(ItemRecord{}, [](auto& r) { r.owner = kMaxPlayers; })},
        {"weapon owner 18", !refused(gun, [](auto& r) { r.owner = kNoPlayerIndex + 1; })},
        {"shooter 17", !refused(shot, [](auto& r) { r.shooter = kNoPlayerIndex; })},
        {"tombstone's player 50", !refused(TombstoneRecord{}, [](auto& r) { r.player_index = 50; })},
        {"aim slot", refused(PlayerAim{}, [](auto& r) { r.player_index = 40; })},
        {"aim x", refused(PlayerAim{}, [&](auto& r) { r.x = nan; })},
        {"aim y", refused(PlayerAim{}, [&](auto& r) { r.y = nan; })},
        {"item width", refused(ItemRecord{}, [](auto& r) { r.collider_size.x = -5; })},
        {"item height", refused(ItemRecord{}, [](auto& r) { r.collider_size.y = kMaxRecordColliderSide + 1; })},
        {"weapon definition", refused(gun, [](auto& r) { r.definition = 2; })},
        {"item definition", refused(crate, [](auto& r) { r.definition = 2; })},
        {"shot's weapon", refused(shot, [](auto& r) { r.weapon_definition = 2; })},
        {"no players", refused(rules, [](auto& r) { r.player_count = 0; })},
        {"too many players", refused(rules, [](auto& r) { r.player_count = kMaxPlayers + 1; })},
        {"respawn time", refused(rules, [&](auto& r) { r.respawn_time = nan; })},
        {"effect index", refused(effect, [](auto& r) { r.effect_id = -1; })},
        {"effect particles", refused(effect, [](auto& r) { r.particles = -1; })},
        {"effect time", refused(effect, [](auto& r) { r.particle_time = INFINITY; })},
        {"effect place", refused(effect, [&](auto& r) { r.y = nan; })},
        {"endless sound", refused(SoundRequest{}, [](auto& r) { r.second_word = 0x80000000u; })},
        {"sweetroll place", refused(PlacedObjectRecord{}, [&](auto& r) { r.position.x = nan; })},
        {"object height", refused(PhysObjectRecord{}, [](auto& r) { r.size.y = -1; })},
        {"blast radius", refused(Explosion{}, [](auto& r) { r.radius = -1.0f; })},
    };
    for (const auto& [field, ok] : cases) EXPECT_TRUE(ok) << field;

    // A server refuses indices from its own tables as well: nothing is built, nothing ends.
    auto server = make_server_session();
    EXPECT_EQ(QGWeapon::create(server.get(), 0, 2), nullptr);
    EXPECT_EQ(QGSpecialItem::create(server.get(), 0, 2), nullptr);
    EXPECT_EQ(QGProjectile::create(server.get(), 0, 0, 7, {}, {}), nullptr);
    default_weapons = {-1, 5, int(kGun)};
    server->rules.player_count = 1;
    auto* p = server->spawn<QGPlayer>(0, 0, 0, "P");
    p->give_default_loadout();
    EXPECT_EQ(p->inventory.size(), 1u);
    EXPECT_TRUE(state_refused(*p, [&](QGPlayer& o) { o.position.y = nan; }));
    EXPECT_TRUE(state_refused(*p, [&](QGPlayer& o) { o.set_aim({0, 0.0f, nan}); }));
    EXPECT_TRUE(state_refused(*p, [](QGPlayer& o) { o.face_direction = QGPlayer::FaceDirection(2); }));
    EXPECT_TRUE(state_refused(*p, [](QGPlayer& o) { o.animation = EQGPlayerAnimation(7); }));
    // A slot past the inventory is read.
    EXPECT_FALSE(state_refused(
        *p, [](QGPlayer& o) { o.inventory.resize(6), o.select_inventory_slot(5), o.inventory.resize(1); }));
    EXPECT_TRUE(state_refused(*QGWeapon::create(server.get(), 0, kGun), [&](QGItem& o) { o.rotation_center.y = nan; }));

    // Refused, a record builds nothing and reaches no listener, on a client and in the server's own dispatch.
    PlayerRecord slot_16;
    slot_16.entity_id = 45, slot_16.player_index = kMaxPlayers;
    using T = EQGEventType;
    const QGEvent spoiled[] = {event_of(T::CreatePlayer, slot_16),
                               event_of(T::CreateWeapon, WeaponRecord{{46, {}, 2, 0}}),
                               event_of(T::Input, PlayerInput{0, K(0), 1}), event_of(T::Aim, PlayerAim{0, nan, 0.0f}),
                               event_of(T::SpawnEffect, EffectSpawn{-1, 10})};
    auto client = make_headless_client_session();
    for (QGGame* game : {client.get(), server.get()}) {
        ListenerLog heard;
        for (uint32_t t = 0; t < kEventTypeCount; ++t) heard.listen(*game->event_handler, T(t));
        for (const QGEvent& e : spoiled) EXPECT_EQ(objects_after(*game, e), 0u) << uint32_t(e.type);
        EXPECT_TRUE(heard.types.empty());
    }
}

// Every replicated class as a server makes it and a client builds it from its creation record: the
// copy's creation record and, once it holds the server's state record, its own are the server's.
TEST_F(Records, EveryReplicatedClassComesBackByteForByte) {
    auto server = make_server_session();
    auto client = make_headless_client_session();
    server->rules.player_count = client->rules.player_count = 2;
    server->match_setup().generate_level(level_test::creation(level_test::hills(96, 64)));
    const std::vector<QGObject*> rows = {
        server->level,
        server->registry().all_of<sph::WaterObject>().at(0),
        server->spawn<QGObject>(0, true),
        server->spawn<QGPhysObject>(0, ivec2d{8, 12}, false, 2.0f, 0.25f, 0.125f, 0.5f, 2, 0xfff1, 1.0f),
        server->spawn<QGPlayer>(0, 1, 0, "Row"),
        QGWeapon::create(server.get(), 0, kGun),
        server->spawn<QGItem>(0, ItemRecord{}),
        QGSpecialItem::create(server.get(), 0, kCrate),
        QGProjectile::create(server.get(), 0, 1, kTriple, {5, 5}, {2, -9}),
        server->spawn<QGTombstone>(0, 0, DamageCause{DamageType::Weapon, kGun, 1}, 3, 4),
        server->spawn<QGPortal>(0),
        server->spawn<QGSweetroll>(0),
        server->spawn<QGMatchController>(0, MatchSettings{}),
        server->spawn<QGChat>(0)};
    for (QGObject* o : rows) {
        QGEvent sent, built;
        o->write_creation_event(sent);
        client->event_handler->dispatch(sent);
        client->flush_registrations();
        QGObject* copy = client->registry().find_object(o->entity_id);
        ASSERT_NE(copy, nullptr) << uint32_t(sent.type);
        copy->write_creation_event(built);
        ByteBuffer state, shown;
        o->run_pass(Networkable::Write, &state);
        receive_state(*copy, state);
        copy->run_pass(Networkable::Write, &shown);
        EXPECT_TRUE(built.type == sent.type && built.data == sent.data) << uint32_t(sent.type);
        EXPECT_EQ(shown.bytes(), state.bytes()) << uint32_t(sent.type);
    }
}

TEST_F(Records, NamesTravelInSixteenBytesWithTheirEnd) {
    auto server = make_server_session();
    server->rules.player_count = 1;
    auto* p = server->spawn<QGPlayer>(0, 0, 0, "A name of twenty chr");
    QGEvent record;
    p->write_creation_event(record);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data.data() + 28)), "A name of twent");
    EXPECT_EQ(record.data[43], 0u);
    // A sender that puts no NUL: the name is read within its field.
    std::memset(record.data.data() + 28, 'x', 16);
    auto client = make_headless_client_session();
    client->event_handler->dispatch(record);
    ASSERT_NE(client->registry().get_player(0), nullptr);
    EXPECT_EQ(client->registry().get_player(0)->name, std::string(16, 'x'));
}

TEST_F(Records, AProjectileTouchingAnObjectAndTheTerrainInOneStepGoesOffOnce) {
    ServerWorld w(1);
    QGProjectile* shot = QGProjectile::create(w.game.get(), 0, 5, kGun, {100.0f, 190.0f}, {300.0f, 0.0f});
    w.step();
    w.game->event_handler->queue.clear();
    shot->on_object_collision(w.players[0], {300.0f, 0.0f});
    shot->on_terrain_collision({0.0f, 300.0f});
    shot->update(10.0f);
    EXPECT_TRUE(shot->has_exploded());
    size_t blasts = 0;
    for (const QGEvent& e : w.game->event_handler->queue) blasts += e.type == EQGEventType::Explode;
    EXPECT_EQ(blasts, 1u);
    EXPECT_EQ(w.game->registry().removal_queue().count(shot->entity_id), 1u);
}

TEST_F(Records, PortalsLeaveTheRegistryAndSessionsSharingAnIdKeepTheirs) {
    auto server = make_server_session();
    auto client = make_headless_client_session();
    auto* portal = server->spawn<QGPortal>(0);
    const unsigned int id = portal->entity_id;
    QGEvent record;
    portal->write_creation_event(record);
    client->event_handler->dispatch(record);
    client->flush_registrations();
    auto* copy = dynamic_cast<QGPortal*>(client->registry().find_object(id));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(all_portals.count(id), 1u);
    server->remove_object(id);  // still pending there: deleted at once
    EXPECT_EQ(all_portals.count(id), 1u);
    client.reset();
    EXPECT_EQ(all_portals.count(id), 0u);
}

TEST_F(Records, ItemsUsedOnTouchAndHealsAtFullHealth) {
    item_definitions[kHeal].activate_on_pickup = true;
    item_definitions[kHeal].snd_use = 3;
    ServerWorld w(1);
    QGPlayer* p = w.players[0];
    // A loadout item used on touch while still waiting for its commit.
    default_items = {int(kHeal)};
    p->health = 50.0f;
    p->give_default_loadout();
    EXPECT_EQ(p->health, 80.0f);
    EXPECT_EQ(p->inventory.size(), 1u);  // the weapon; the heal is gone
    // At full health nothing is healed and the item stays, but it was used.
    QGSpecialItem* heal = QGSpecialItem::create(w.game.get(), 0, kHeal);
    w.step();
    p->health = player_max_health;
    w.game->event_handler->queue.clear();
    heal->give_to(p);
    EXPECT_EQ(w.game->registry().find_object(heal->entity_id), heal);
    EXPECT_TRUE(w.game->registry().removal_queue().empty());
    EXPECT_EQ(heal->use_timer, item_definitions[kHeal].use_timeout);
    EXPECT_EQ(heal->pickup_timer, heal->pickup_cooldown);
    EXPECT_EQ(heal->owner, kNoPlayerIndex);
}

TEST_F(Records, DeathWordsNameWhoIsKnown) {
    struct Case {
        DeathNames names;
        DamageCause cause;
        const char* label;
        const char* line;
    };
    suicide_messages.clear();
    weapon_definitions[kGun].death_messages.clear();
    const DamageCause gun{DamageType::Weapon, kGun, 1};
    const DamageCause unknown_gun{DamageType::Weapon, 9, 1};
    const Case cases[] = {
        {{"V", "S", false}, gun, "V: Killed", "S [Gun] V"},
        {{"V", std::nullopt, false}, unknown_gun, "V: Killed", "<Anonymous> killed V"},
        {{std::nullopt, "S", false}, gun, "<Anonymous>: Killed", "S [Gun] <Anonymous>"},
        {{"V", "V", true}, gun, "V: Committed suicide", "V committed suicide."},
        {{"V", "S", false}, {DamageType::Sweetroll, 0, 1}, "V: Sweetened", "V met S's weaponized kitten."},
        {{std::nullopt, std::nullopt, false},
         {DamageType::Impact, 0, 1},
         "<Anonymous>: Splattered",
         "Somebody, somewhere committed a murder right now."},
        {{"V", std::nullopt, true},
         {DamageType(9), 0, 0},
         "V: Deceased",
         "Something died, apparently... we're not quite sure what or who or how."},
    };
    sweetroll_messages.clear();
    impact_messages.clear();
    for (const Case& c : cases) {
        EXPECT_EQ(death_label_text(c.names, c.cause), c.label);
        EXPECT_EQ(death_message_text(c.names, c.cause), c.line);
    }
}

// A client that draws through a sprite manager and a shader factory of its own (no window: GL
// calls do nothing). The player sheet is an image of the test's own; the other images may be
// missing.
TEST_F(Records, ADrawingClientBuildsEveryLookWithoutAWindow) {
    const std::string sheet = ::testing::TempDir() + "entity_sheet.bmp";
    ASSERT_TRUE(terrain_test::write_bmp(sheet, 8 * 64, 5 * 64, [](int x, int) {
        return ColorRGBA{uint8_t(x), 90, 90, 255};
    }));
    for (auto& def : player_definitions) {
        def.texture = sheet;
        def.tile_size = {64, 64};
    }
    using Anim = EQGPlayerAnimation;
    auto& animations = player_definitions[1].animations;
    animations[size_t(Anim::IdleLeft)] = {5, 5, 10.0f, false};
    animations[size_t(Anim::WalkRight)] = {8, 11, 2.0f, false};
    animations[size_t(Anim::Die)] = {32, 36, 20.0f, true};
    CSpriteManager view;
    CShaderFactory shaders;
    GameDrawing drawing(&view, &shaders, nullptr);
    {
        auto client = make_headless_client_session(nullptr, &drawing);
        client->rules.teams = true;
        Messages messages;
        client->message_hook = messages.hook();

        PlayerRecord r;
        r.entity_id = 20;
        r.player_index = 1;
        r.team = 40;  // no such team colour: its own colour
        r.name = "Drawn";
        client->event_handler->dispatch(event_of(EQGEventType::CreatePlayer, r));
        QGPlayer* p = client->registry().get_player(1);
        auto* look = look_of<PlayerLook>(p);
        ASSERT_TRUE(look);
        EXPECT_EQ(look->label->get_text(), "[41] Drawn: 100 HP");
        // Played for a while, a single frame stands, a loop runs at its speed and an animation
        // played once rests on its last frame. A number beyond the table keeps that.
        struct Shown {
            Anim animation;
            bool playing;
            float lowest, highest;
        };
        for (const Shown& s : {Shown{Anim::IdleLeft, false, 5, 5}, Shown{Anim::WalkRight, true, 9.49f, 9.51f},
                               Shown{Anim::Die, false, 36, 36}, Shown{Anim(77), false, 36, 36}}) {
            p->set_animation(s.animation);
            look->update();
            look->sprite->update(0.75f);
            EXPECT_EQ(look->sprite->is_playing(), s.playing) << int(s.animation);
            EXPECT_GE(look->sprite->get_frame(), s.lowest) << int(s.animation);
            EXPECT_LE(look->sprite->get_frame(), s.highest) << int(s.animation);
        }

        // Every other object with its looks, from the records a server sends.
        auto server = make_server_session();
        server->rules.player_count = 2;
        auto* shooter = server->spawn<QGPlayer>(0, 1, 0, "Drawn");
        std::vector<QGObject*> made = {QGWeapon::create(server.get(), 0, kGun),
                                       QGSpecialItem::create(server.get(), 0, kCrate),
                                       QGProjectile::create(server.get(), 0, 1, kTriple, {5, 5}, {0, -9}),
                                       server->spawn<QGTombstone>(0, 0, DamageCause{DamageType::Weapon, kGun, 1}, 3, 4),
                                       server->spawn<QGPortal>(0),
                                       server->spawn<QGSweetroll>(0)};
        (void)shooter;
        for (QGObject* o : made) {
            QGEvent record;
            o->write_creation_event(record);
            const int sprites = view.get_child_count();
            EXPECT_EQ(objects_after(*client, record), 1u) << uint32_t(record.type);
            EXPECT_GT(view.get_child_count(), sprites) << uint32_t(record.type);
        }
        client->flush_registrations();
        client->update(0.0f);
        view.update(0.1f);
        EXPECT_TRUE(messages.has("Drawn [Gun] <Anonymous>"));
        EXPECT_TRUE(messages.has("A challenger appears!"));
    }
    // The session is gone: its objects let go of their sprites, which the manager deletes.
    view.update(0.0f);
    int left = 0;
    for (int i = 0; i < view.get_child_count(); ++i) left += view.get_child(i) != nullptr;
    EXPECT_EQ(left, 0);
    for (CShaderProgram* program : shaders.programs) EXPECT_EQ(program, nullptr);
}

}  // namespace
