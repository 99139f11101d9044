#include "server/host_parameters.h"

#include <cstdlib>
#include <sstream>

#include "game/base/session_records.h"

const char* const kServerUsage =
    "Invalid launch parameters.\n"
    "Usage: server.exe <port> <num players> <num lives> <time> <respawn time> <teams><friendly fire> <server "
    "name>\n"
    "Port specifies the port on which to host the connection.\n"
    "Num players specifies the number of players for the game (1- 16).\n"
    "Num lives is the number of lives each player starts with.\n"
    "Time is the duration of the match in minutes (<0 = infinite)\n"
    "Respawn time is the duration between a player's death and respawn.\n"
    "Whether teams are enabled (true / false).\n"
    "Whether friendly fire is enabled in teams (true / false).\n"
    "Server name is the name the server will show in the server browser.\n"
    "Press any key to exit...";

namespace {

// atoi's reading (leading blanks, a sign, digits) without its undefined overflow: the value is
// taken modulo 2^32 as a signed 32-bit number, which is what atoi gives on this system.
int32_t int_argument(const char* text) {
    return static_cast<int32_t>(static_cast<uint32_t>(std::strtoll(text, nullptr, 10)));
}

}  // namespace

float parse_float_argument(const std::string& text, float fallback) {
    std::istringstream in(text);
    float value = 0.0f;
    in >> value;
    return in.fail() || in.bad() ? fallback : value;
}

bool parse_host_parameters(int argc, const char* const* argv, HostParameters& out) {
    if (argc < 9 || !argv) return false;
    HostParameters p;
    p.port = static_cast<unsigned short>(static_cast<uint32_t>(int_argument(argv[1])) & 0xFFFFu);
    p.num_players = int_argument(argv[2]);
    p.lives = int_argument(argv[3]);
    p.match_time = parse_float_argument(argv[4], -1.0f);
    p.respawn_time = parse_float_argument(argv[5], 0.0f);
    p.teams = std::string(argv[6]) == "true";
    p.friendly_fire = std::string(argv[7]) == "true";
    p.server_name = argv[8];
    if (p.port == 0) return false;
    if (static_cast<uint32_t>(p.num_players) - 1u >= kMaxPlayers) return false;
    out = p;
    return true;
}
