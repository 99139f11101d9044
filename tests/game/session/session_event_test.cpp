// Event messages, the handler's wire form, the dispatcher, delayed events, listeners, and what
// the server accepts from a client.
#include "support/session_test_support.h"

#include "game/base/session_records.h"
#include "game/terrain/qg_level.h"
#include "support/net_test_support.h"
#include "support/test_support.h"

using namespace session_test;
using net_test::hex;
using T = EQGEventType;

namespace {
// A listener that looks at the session when it runs.
struct SeenAtListener {
    QGGame* game = nullptr;
    uint32_t id = 0;
    bool held = false;
    int calls = 0;
    void on_event(const PhysObjectRecord& r) {
        id = r.entity_id;
        held = game->registry().holds(id), ++calls;
    }
};
ByteBuffer phys_record(uint32_t id) {
    PhysObjectRecord r;
    r.entity_id = id, r.size = {6, 7}, r.mass = 1.0f;
    return record_bytes(r);
}
}  // namespace

TEST(QGEventTest, SetTypeSizesThePayloadAndCopiesAreDeep) {
    QGEvent e;
    EXPECT_EQ(e.size(), 0u);
    e.set_type(T::SetSpawnPositions);
    EXPECT_EQ(e.size(), 132u);
    e.data[0] = 9;
    e.set_type(T::SetSpawnPositions);  // the same type keeps the payload
    EXPECT_EQ(e.data[0], 9);
    e.set_type(T::Explode);
    EXPECT_EQ(e.data, std::vector<uint8_t>(12, 0));
    e.set_type(EQGEventType(kEventTypeCount));
    EXPECT_EQ(e.size(), 0u);
    QGEvent a = make_event(T::RemoveObject, u32_payload(5), true), b = a;
    b.data[0] = 6;
    EXPECT_EQ(event_entity_id(a), 5u);
    EXPECT_EQ(event_entity_id(b), 6u);
    EXPECT_TRUE(b.delayed.get());
}

// An event takes only the record the table names for its type.
template <EQGEventType Type, class Record>
concept takes_record = requires(QGEvent e, const Record& r) {
    e.set_record<Type>(r);
};
static_assert(takes_record<T::CreatePlayer, PlayerRecord> && takes_record<T::CreatePortal, PlacedObjectRecord>);
static_assert(!takes_record<T::CreatePlayer, ItemRecord> && !takes_record<T::CreateWeapon, SpecialItemRecord> &&
              !takes_record<T::CreateObject, PlacedObjectRecord>);

TEST(QGEventTest, EveryRecordMeasuresTheSizeTheWireFixes) {
    const std::pair<uint32_t, std::vector<T>> sizes[] = {
        {0, {T::None, T::StartGame, T::Pause, T::Resume, T::MatchOver}},
        {4, {T::CreateObject, T::RemoveObject, T::CreateWaterObject, T::PlayerHit, T::CreateChat}},
        {8, {T::PlaySound, T::CreateMapSynchronizer}},
        {12, {T::Explode, T::Input, T::Aim, T::CreateSweetroll, T::CreatePortal}},
        {16, {T::SetupGame}},
        {20, {T::JoinGame, T::CreateWeapon, T::CreateSpecialItem}},
        {24, {T::CreateMatchController, T::SpawnEffect}},
        {28, {T::CreateProjectile, T::CreateTombstone}},
        {44, {T::CreatePlayer}},
        {52, {T::GenerateLevel}},
        {56, {T::CreatePhysObject, T::CreateItem}},
        {132, {T::SetSpawnPositions}},
    };
    size_t listed = 0;
    for (const auto& [bytes, types] : sizes) {
        listed += types.size();
        for (T type : types) EXPECT_EQ(event_payload_size(type), bytes) << "type " << uint32_t(type);
    }
    EXPECT_EQ(listed, kEventTypeCount);
    EXPECT_EQ(event_payload_size(kEventTypeCount), 0u);
}

TEST(EventHandlerWire, GoldenBytesOfThreeEventsAndNoneForAnEmptyQueue) {
    QGEventHandler handler(nullptr, 1);
    ByteBuffer out;
    handler.write_queue(out);
    EXPECT_TRUE(out.empty());
    handler.post<T::RemoveObject>(IdRecord{7}, true);
    handler.post<T::Pause>();
    GameParameters p;
    p.player_count = 2, p.lives = 3, p.respawn_time = 1.0f, p.friendly_fire = 1;
    handler.post<T::SetupGame>(p);
    handler.write_queue(out);
    EXPECT_EQ(hex(out.bytes()),
              "00 00 00 03 04 00 00 00 15 00 00 00 08 00 00 00 "
              "01 00 00 00 04 07 00 00 00 "
              "00 00 00 00 00 "
              "00 00 00 00 10 02 00 00 00 03 00 00 00 00 00 80 3F 00 01 00 00");
    EXPECT_EQ(out.size(), 4u + 3 * 4 + (1 + 4 + 4) + (1 + 4) + (1 + 4 + 16));
    EXPECT_TRUE(handler.queue.empty());
}

TEST(EventHandlerWire, GoldenBytesOfThePhysicsCreationRecord) {
    auto game = make_server_session();
    QGPhysObject o(game.get(), 5, {8, 12}, true, 2.0f, 0.25f, 0.125f, 0.5f, 2, 0xfff1, 1.0f);
    o.position = {1.5f, -2.0f}, o.velocity = {3.0f, 4.0f};
    QGEvent e;
    o.write_creation_event(e);
    EXPECT_EQ(e.type, T::CreatePhysObject);
    EXPECT_FALSE(e.delayed.get());
    EXPECT_EQ(hex(e.data),
              "05 00 00 00 00 00 C0 3F 00 00 00 C0 08 00 00 00 0C 00 00 00 01 00 00 00 "
              "00 00 40 40 00 00 80 40 00 00 00 40 00 00 80 3E 00 00 00 3E 00 00 00 3F "
              "00 00 80 3F 02 00 F1 FF");
    // A given mass of 0 or NaN becomes 1.
    for (float mass : {0.0f, std::nanf("")})
        EXPECT_EQ(QGPhysObject(game.get(), 6, {1, 1}, false, mass, 0, 0, 0, 1, 1, 0).mass, 1.0f) << mass;
}

TEST(EventHandlerWire, ClientBuildsObjectsFromTheServersRecords) {
    auto server = make_server_session();
    auto* o = server->spawn<QGPhysObject>(0, ivec2d{8, 12}, false, 2.0f, 0.25f, 0.125f, 0.5f, 2, 0xfff1, 1.0f);
    o->position = {30.5f, 40.25f}, o->velocity = {-3.0f, 9.0f};
    auto* plain = server->spawn<QGObject>(0, false);
    server->update(0.0f);
    ByteBuffer wire;
    server->event_handler->write_queue(wire);
    auto client = make_headless_client_session();
    receive_record(*client->event_handler, wire);
    client->update(0.0f);
    auto* copy = dynamic_cast<QGPhysObject*>(client->registry().find_object(o->entity_id));
    ASSERT_NE(copy, nullptr);
    QGEvent original, copied;
    o->write_creation_event(original);
    copy->write_creation_event(copied);
    EXPECT_EQ(hex(copied.data), hex(original.data));
    EXPECT_EQ(client->registry().unreliable_objects().count(o->entity_id), 1u);
    EXPECT_EQ(client->registry().physics_objects().size(), 1u);
    ASSERT_NE(client->registry().find_object(plain->entity_id), nullptr);
    EXPECT_FALSE(client->registry().find_object(plain->entity_id)->reliable);
}

TEST(Dispatcher, ClientIgnoresCreationRecordsForHeldOrInvalidIds) {
    auto client = make_headless_client_session();
    LogCapture log;
    QGEvent first = make_event(T::CreatePhysObject, phys_record(50));
    client->event_handler->dispatch(first);
    // Pending counts as held: a second record in the same packet builds nothing.
    client->event_handler->dispatch(first);
    client->update(0.0f);
    client->event_handler->dispatch(make_event(T::CreateObject, u32_payload(50)));
    client->event_handler->dispatch(make_event(T::CreateObject, u32_payload(0)));
    client->update(0.0f);
    EXPECT_EQ(client->registry().objects().size(), 2u);  // the handler and object 50
    EXPECT_NE(dynamic_cast<QGPhysObject*>(client->registry().find_object(50)), nullptr);
    EXPECT_EQ(client->registry().physics_objects().size(), 1u);
    EXPECT_TRUE(log.contains("Ignored a creation record (type 2) for EntityID 50, which is already taken."));
    EXPECT_TRUE(log.contains("for EntityID 0, which is invalid."));
    // No record of any other type that names the held id replaces its object.
    QGObject* held = client->registry().find_object(50);
    for (uint32_t t = 1; t < kEventTypeCount; ++t) {
        QGEvent e = make_event(T(t), u32_payload(50));
        if (e.size() < 4 || e.type == T::RemoveObject) continue;
        client->event_handler->dispatch(e);
        client->update(0.0f);
        EXPECT_EQ(client->registry().find_object(50), held) << "type " << t;
    }
}

TEST(Dispatcher, ListenerRunsAfterTheActionAndForTypesWithoutOne) {
    auto client = make_headless_client_session();
    SeenAtListener seen{client.get()};
    auto listening =
        client->event_handler->subscribe<T::CreatePhysObject>([&](const PhysObjectRecord& r) { seen.on_event(r); });
    ListenerLog effects;
    effects.listen(*client->event_handler, T::SpawnEffect);
    effects.listen(*client->event_handler, T::None);
    client->event_handler->dispatch(make_event(T::CreatePhysObject, phys_record(60)));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.id, 60u);
    EXPECT_TRUE(seen.held);
    QGEvent effect(T::SpawnEffect);
    effect.data[0] = 0xAB;
    client->event_handler->dispatch(effect);
    client->event_handler->dispatch(QGEvent(T::None));
    client->event_handler->dispatch(QGEvent(EQGEventType(31)));  // no slot at all
    EXPECT_EQ(effects.types, (std::vector<uint32_t>{19, 0}));
    EXPECT_EQ(effects.payloads[0][0], 0xAB);
}

// An ended subscription is not called, even later in the same dispatch, and lets go of its owner.
TEST(Dispatcher, AnEndedSubscriptionIsNotCalledAndLetsGoOfItsListener) {
    auto client = make_headless_client_session();
    auto owner = std::make_shared<int>(0);
    EventSubscription later;
    auto first = client->event_handler->subscribe<T::PlayerHit>([&](const IdRecord&) { later.reset(); });
    later = client->event_handler->subscribe<T::PlayerHit>([owner](const IdRecord&) { ++*owner; });
    client->event_handler->dispatch(make_event(T::PlayerHit, u32_payload(1)));
    EXPECT_EQ(*owner, 0);
    EXPECT_EQ(owner.use_count(), 1);
}

// A hostile server's frame of creation records: each costs no walk over the others (minutes so).
TEST(Dispatcher, AFrameOfManyCreationRecordsIsBuiltWhole) {
    std::shared_ptr<QGGame> client = make_headless_client_session();
    std::vector<QGEvent> events;
    for (uint32_t id = 2; id < 300002; ++id) events.push_back(make_event(T::CreateObject, u32_payload(id)));
    auto frame = std::make_shared<ByteBuffer>(record_of(events));
    ASSERT_TRUE(test_support::ends_within([client, frame] { receive_record(*client->event_handler, *frame); }, 60));
    client->update(0.0f);
    EXPECT_EQ(client->registry().objects().size(), 300001u);
}

TEST(Dispatcher, PauseAndResumeOnTheServerAreRepostedEachTime) {
    auto server = make_server_session();
    server->update(0.0f);
    server->event_handler->queue.clear();
    server->paused = false;
    server->event_handler->dispatch(QGEvent(T::Pause));
    server->event_handler->dispatch(QGEvent(T::Pause));
    EXPECT_TRUE(server->paused);
    ASSERT_EQ(server->event_handler->queue.size(), 2u);
    EXPECT_EQ(server->event_handler->queue[1].type, T::Pause);
    server->event_handler->dispatch(QGEvent(T::Resume));
    EXPECT_FALSE(server->paused);
    EXPECT_EQ(server->event_handler->queue.back().type, T::Resume);
    auto client = make_headless_client_session();
    client->event_handler->dispatch(QGEvent(T::Pause));
    EXPECT_TRUE(client->paused);
    EXPECT_TRUE(client->event_handler->queue.empty());
}

TEST(Dispatcher, ClientAppliesSetupGameAndRefusesAnOversizedTable) {
    auto client = make_headless_client_session();
    GameParameters p;
    p.player_count = 3, p.teams = 1;
    client->event_handler->dispatch(make_event(T::SetupGame, record_bytes(p)));
    EXPECT_EQ(client->registry().players().size(), 3u);
    EXPECT_TRUE(client->rules.teams);
    LogCapture log;
    p.player_count = 0xFFFFFFF0u;
    client->event_handler->dispatch(make_event(T::SetupGame, record_bytes(p)));
    EXPECT_EQ(client->registry().players().size(), 3u);
    EXPECT_EQ(client->rules.player_count, 3u);
    // The server ignores a received set-up.
    auto server = make_server_session();
    server->event_handler->dispatch(make_event(T::SetupGame, record_bytes(p)));
    EXPECT_EQ(server->rules.player_count, 0u);
}

TEST(DelayedEvents, ClientHoldsThemByTheDelayServerDispatchesAtOnce) {
    ManualNetClock clock(5000);
    auto client = make_headless_client_session(&clock);
    client->event_handler->delay_ms = 66;
    auto* target = client->spawn<QGObject>(70, false);
    ListenerLog hits;
    hits.listen(*client->event_handler, T::PlayerHit);
    client->update(0.0f);
    receive_record(*client->event_handler, record_of({make_event(T::RemoveObject, u32_payload(70), true),
                                                      make_event(T::PlayerHit, u32_payload(2), true)}));
    ASSERT_EQ(client->event_handler->delayed_events.size(), 2u);
    EXPECT_EQ(client->event_handler->delayed_events.front().due_ms, 5066);
    for (auto [step, due] : {std::pair{65, false}, {1, true}}) {
        clock.advance(step);
        client->update(0.0f);
        EXPECT_EQ(client->registry().find_object(70), due ? nullptr : target);
        EXPECT_EQ(hits.types, due ? std::vector<uint32_t>{26} : std::vector<uint32_t>{});
    }
    EXPECT_TRUE(client->event_handler->delayed_events.empty());
    // An undelayed event in the same record goes at once.
    receive_record(*client->event_handler, record_of({make_event(T::Pause, {}, false)}));
    EXPECT_TRUE(client->paused);
    auto server = make_server_session(&clock);
    ListenerLog inputs;
    inputs.listen(*server->event_handler, T::Input);
    receive_client_record(*server->event_handler, record_of({make_event(T::Input, record_bytes(PlayerInput{3}), true)}),
                          3);
    EXPECT_EQ(inputs.types.size(), 1u);
    EXPECT_TRUE(server->event_handler->delayed_events.empty());
}

TEST(ServerGate, ClientsMayOnlySendTheirOwnRequests) {
    auto server = make_server_session();
    auto* victim = server->spawn<QGPhysObject>(0, ivec2d{4, 4}, false, 1, 0, 0, 0, 1, 1, 0);
    server->update(0.0f);
    server->event_handler->queue.clear();
    const unsigned int victim_id = victim->entity_id;
    ListenerLog seen;
    for (uint32_t t = 0; t < kEventTypeCount; ++t) seen.listen(*server->event_handler, EQGEventType(t));
    // A player's input, aim and join request, each naming the player.
    auto requests_of = [](uint32_t player) {
        JoinRequest join;
        join.name = "mallory";
        join.player_id = player;
        ByteBuffer input = u32_payload(player);
        input.write_u32_le(1);
        input.write_u32_le(1);
        return std::vector<QGEvent>{make_event(T::Input, input), make_event(T::Aim, input),
                                    make_event(T::JoinGame, record_bytes(join))};
    };
    LogCapture log;
    server->paused = false;
    std::vector<QGEvent> record = {make_event(T::RemoveObject, u32_payload(victim_id)),
                                   make_event(T::CreatePhysObject, phys_record(99)),
                                   make_event(T::CreateObject, u32_payload(98))};
    for (T t : {T::Explode, T::StartGame, T::Pause, T::SetupGame}) record.push_back(make_event(t, {}));
    for (const QGEvent& e : requests_of(0)) record.push_back(e);
    for (T t : {T::GenerateLevel, T::SetSpawnPositions, T::SpawnEffect, T::None}) record.push_back(make_event(t, {}));
    for (const QGEvent& e : requests_of(1)) record.push_back(e);
    receive_client_record(*server->event_handler, record_of(record), 1);
    server->update(0.0f);
    // Only the sender's own input, aim and join got through.
    EXPECT_EQ(seen.types, (std::vector<uint32_t>{11, 12, 7}));
    EXPECT_EQ(server->registry().find_object(victim_id), victim);
    EXPECT_FALSE(server->registry().holds(98));
    EXPECT_FALSE(server->registry().holds(99));
    EXPECT_EQ(server->registry().objects().size(), 2u);
    EXPECT_FALSE(server->paused);
    EXPECT_TRUE(server->event_handler->queue.empty());
    EXPECT_TRUE(log.contains("Ignored event type 4 from connection 1."));
    // The host's client (connection 0) chooses the level and the spawn points.
    seen.types.clear();
    receive_client_record(
        *server->event_handler,
        record_of({make_event(T::GenerateLevel, {}), make_event(T::SetSpawnPositions, {}), make_event(T::Pause, {})}),
        0);
    EXPECT_EQ(seen.types, (std::vector<uint32_t>{5, 9}));
    // Without a known sender nothing is accepted.
    seen.types.clear();
    receive_record(*server->event_handler, record_of({requests_of(0)[0]}));
    EXPECT_TRUE(seen.types.empty());
}

// A paused client that logs every event type it delivers.
class ReceivedRecords : public ::testing::Test {
protected:
    void SetUp() override {
        client->paused = true;
        for (uint32_t t = 0; t < kEventTypeCount; ++t) seen.listen(*client->event_handler, EQGEventType(t));
    }
    void receive(const std::vector<uint8_t>& bytes) {
        receive_record(*client->event_handler, ByteBuffer(bytes.data(), bytes.size()));
    }
    // The head of a record of one undelayed Resume (type 22) without payload.
    static ByteBuffer lone_resume(uint32_t count) {
        ByteBuffer b;
        b.write_u32_be(count);
        b.write_u32_le(22);
        b.write_u8(0);
        b.write_u32_be(0);
        return b;
    }
    std::unique_ptr<QGGame> client = make_headless_client_session();
    ListenerLog seen;
    LogCapture log;
};

TEST_F(ReceivedRecords, CountsAndSizesAreBoundedByTheRecord) {
    // A count far beyond what the record holds allocates nothing and delivers nothing.
    receive_record(*client->event_handler, lone_resume(0x10000000u));
    EXPECT_TRUE(seen.types.empty());
    // A payload size beyond the record drops the whole record, the good events in front too; so do
    // bytes left over after the last event, and a cut record (types there, payloads missing).
    std::vector<uint8_t> oversized = record_of({QGEvent(T::Resume), make_event(T::PlayerHit, u32_payload(1))}).bytes();
    oversized[4 + 8 + 5 + 4] = 0x7F;  // the second event's size, high byte
    std::vector<uint8_t> trailing = record_of({QGEvent(T::Resume)}).bytes(), cut = lone_resume(1).bytes();
    trailing.push_back(0);
    cut.pop_back();
    for (const auto& b : {oversized, trailing, cut}) {
        receive(b);
        EXPECT_TRUE(seen.types.empty());
        EXPECT_TRUE(client->paused);
    }
}

// A reader allocates for no more elements than the bytes left hold: 64 bytes, 8 of 8 bytes, not 9.
TEST(RecordStreams, AClaimedCountIsHeldToTheElementsTheBytesLeftHold) {
    struct Watched : std::vector<uint64_t> {
        size_t most = 0;
        void resize(size_t n) { most = std::max(most, n); }
    } c;
    ByteBuffer in;
    in.write_u32_be(9), in.append(std::vector<uint8_t>(64).data(), 64);
    RecordStream<RecordMode::Read> s(in);
    EXPECT_FALSE(s.count(c, 8));
    EXPECT_EQ(c.most, 0u);
}

TEST_F(ReceivedRecords, AnEventWithTheWrongPayloadSizeIsDroppedAlone) {
    // Hand-made: Pause with 4 payload bytes, RemoveObject with 2, an unknown type with 3, then
    // a well-formed Resume.
    ByteBuffer record;
    record.write_u32_be(4);
    record.write_u32_le(21);
    record.write_u32_le(4);
    record.write_u32_le(77);
    record.write_u32_le(22);
    for (const std::vector<uint8_t>& payload : {std::vector<uint8_t>{0xEF, 0xBE, 0xAD, 0xDE}, {1, 0}, {1, 2, 3}, {}}) {
        record.write_u8(0);
        record.write_u32_be(uint32_t(payload.size()));
        for (uint8_t byte : payload) record.write_u8(byte);
    }
    receive_record(*client->event_handler, record);
    EXPECT_EQ(seen.types, (std::vector<uint32_t>{22}));
    EXPECT_FALSE(client->paused);
    EXPECT_TRUE(log.contains("Dropped event type 21 with a payload of 4 bytes."));
    EXPECT_TRUE(log.contains("Dropped event type 4 with a payload of 2 bytes."));
    // Locally built events of a wrong size do not reach the actions either.
    QGEvent odd(T::Pause);
    odd.data.resize(3);
    client->event_handler->dispatch(odd);
    EXPECT_FALSE(client->paused);
}

TEST(SessionRecords, JoinRequestNameKeepsItsTerminator) {
    JoinRequest r{"abcdefghijklmnopqrstuvwxyz", 0x01020304};
    ByteBuffer b = record_bytes(r);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "abcdefghijklmno");
    EXPECT_EQ(b.bytes()[15], 0);
    EXPECT_EQ(b.bytes()[16], 0x04);
    // A peer's name without a terminator is read within its 16 bytes.
    std::vector<uint8_t> raw(20, 'x');
    ByteBuffer in(raw.data(), raw.size());
    JoinRequest read;
    ASSERT_TRUE(read_record(in, read));
    EXPECT_EQ(read.name, std::string(16, 'x'));
    ByteBuffer short_in(raw.data(), 19);
    EXPECT_FALSE(read_record(short_in, read));
}

TEST(SessionRecords, SpawnPositionsAndGameParametersRoundTrip) {
    SpawnPositions s;
    EXPECT_EQ(s.positions[15].x, 0.0f);
    s.count = 2, s.positions[0] = {1.5f, 2.5f}, s.positions[1] = {-3.0f, 4.0f};
    ByteBuffer b = record_bytes(s);
    // The struct is laid out as its payload is.
    EXPECT_EQ(std::memcmp(b.data(), &s, sizeof s), 0);
    SpawnPositions back;
    ASSERT_TRUE(read_record(b, back));
    EXPECT_EQ(back.count, 2u);
    EXPECT_EQ(back.positions[1].x, -3.0f);
    // The host's client may claim any count; more than the 16 points is refused, not read past.
    SpawnPositions all;
    all.count = kMaxSpawnPositions;
    ByteBuffer full = record_bytes(all);
    ASSERT_TRUE(read_record(full, back));
    EXPECT_EQ(back.count, kMaxSpawnPositions);
    for (auto [claimed, x] : {std::pair{kMaxSpawnPositions + 1, 9.0f}, {0xFFFFFFFFu, 9.0f}, {1u, NAN}}) {
        SpawnPositions hostile, kept;
        hostile.count = claimed, hostile.positions[0] = {x, 9.0f};  // a point that is not a number is refused too
        kept.count = 3;
        ByteBuffer h = record_bytes(hostile);
        write_record(h, s);
        EXPECT_FALSE(read_record(h, kept));
        EXPECT_EQ(kept.count, 3u);
        EXPECT_EQ(kept.positions[0].x, 0.0f);
        // The refused record is passed over whole: the one behind it reads.
        EXPECT_TRUE(read_record(h, kept) && kept.count == 2u && h.at_end());
    }
    GameParameters p;
    p.player_count = 16, p.teams = 1;
    ByteBuffer g = record_bytes(p);
    EXPECT_EQ(std::memcmp(g.data(), &p, sizeof p), 0);
}
