#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <cstdint>
#include <string>

// The dedicated server's launch settings: the eight command-line arguments and the machine's
// addresses. Read by the server session's hosting, which copies them into the rules and the
// match settings.
struct HostParameters {
    sf::IpAddress local_address;
    sf::IpAddress public_address = sf::IpAddress::None;
    // TCP listening port and UDP game port.
    unsigned short port = 0;
    // 1 to 16; the match starts when this many clients are connected.
    int32_t num_players = 0;
    int32_t lives = 0;
    // Minutes; 0 or below: no time limit.
    float match_time = -1.0f;
    float respawn_time = 0.0f;
    bool teams = false;
    bool friendly_fire = false;
    std::string server_name;
};

// The text shown after rejected arguments, without a line feed after its last line.
extern const char* const kServerUsage;

// Reads the eight arguments after the program name (further ones are ignored) into out, the
// addresses excepted. False when fewer than eight are given, the port is 0 (as its low 16 bits)
// or the number of players lies outside 1 to 16; nothing else is checked.
bool parse_host_parameters(int argc, const char* const* argv, HostParameters& out);

// A float read from the start of the text as a stream reads it ("5min" is 5); the fallback
// when the text does not begin with a number.
float parse_float_argument(const std::string& text, float fallback);
