#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <cmath>
#include <cstdint>
#include <string>

#include "engine/core/byte_buffer.h"
#include "game/base/record_stream.h"
#include "game/base/qg_object.h"

class QGEventHandler;

// The host's choices for the match, as the server's hosting hands them in and as they travel in
// the controller's creation record (20 bytes after the entity id).
struct MatchSettings {
    sf::IpAddress local_address;
    sf::IpAddress public_address;
    uint16_t port = 0;
    // Minutes; 0 or less: no time limit.
    float time_limit = 0.0f;
    bool teams = false;
    bool friendly_fire = false;
};

// Addresses as SFML holds them, the four bytes in network order. A time limit that is not a
// finite number reads as none.
template <class S>
bool serialize(S& s, MatchSettings& m) {
    uint32_t local = m.local_address.toInteger(), remote = m.public_address.toInteger();
    if (!s.u32_be(local) || !s.u32_be(remote) || !s.value(m.port) || !s.pad(2) || !s.value(m.time_limit) ||
        !s.value(m.teams) || !s.value(m.friendly_fire) || !s.pad(2))
        return false;
    if constexpr (S::reading) {
        m.local_address = sf::IpAddress(local);
        m.public_address = sf::IpAddress(remote);
        if (!std::isfinite(m.time_limit)) m.time_limit = 0.0f;
    }
    return true;
}

// CreateMatchController: the controller's id and the settings.
struct MatchControllerRecord {
    uint32_t entity_id = 0;
    MatchSettings settings;
};
template <class S>
bool serialize(S& s, MatchControllerRecord& r) {
    return s.value(r.entity_id) && serialize(s, r.settings);
}

// The rules of a match, run on the server: a ready countdown while the game is paused, the match
// with its optional time limit and its win check (by remaining players, lives or teams), a short
// game-over phase and the result phase, after which the session ends. State and timer travel to
// the clients, which only show them (the game mode and the phase).
class QGMatchController : public QGObject {
public:
    enum class State : int32_t {
        Countdown = 0,
        Running = 1,
        GameOver = 2,
        Closing = 3,
    };

    // On the unreliable channel, in the countdown, with the ready time on the timer.
    QGMatchController(GameSession* game, unsigned int entity_id, const MatchSettings& settings);

    // The timer (interpolated), then the state.
    void sync_fields() override;
    // CreateMatchController: the entity id, then the settings.
    void write_creation_event(QGEvent& event) const override;
    // The countdown runs while the server is paused.
    bool updates_while_paused() const override { return true; }
    // The state machine (server only: clients never run it).
    void update(float dt) override;

    // Hours, minutes, seconds and hundredths, two digits each: "01:02:05:50". A time below zero
    // (the step that ran past the limit) or one that is not a number shows as zero.
    static std::string format_time(float seconds);
    // The game mode line for the rules.
    static std::string mode_text(int32_t lives, float time_limit, bool teams, bool friendly_fire);
    // The whole text shown: the mode, then the phase.
    std::string info_text() const;
    // Whether the rules have decided the match: fewer than two players left (no lives limit),
    // fewer than two alive (lives), or a team without a living player.
    bool match_decided() const;

    State state = State::Countdown;
    MatchSettings settings;
    // Seconds left in the current phase.
    float timer = 0.0f;

private:
    void enter(State next, float seconds);
    // The default float interpolation, held to finite values: the timer comes from the network.
    void interpolate_timer(float& out, const float& old_value, const float& new_value, float t);
    int living_players() const;
};

// CreateMatchController: the controller of the record's id and settings.
void create_match_controller_action(QGEventHandler& handler, const MatchControllerRecord& record);
