#pragma once
#include <string>
#include <vector>

#include "client/qc_game_state.h"

class QGGame;
struct GameParameters;

// The score table over the gameplay screen: every player of the match with kills and lives,
// ranked by the match's rules, and the client's ping. A snapshot taken when it opens. Releasing
// Tab closes it while the game runs; at the end of the match (paused) it stays.
class QCScoreboard : public QCGameState {
public:
    // Team numbers the team totals are kept for; a player outside them counts for no team.
    static constexpr unsigned int kTeamSlots = 16;

    struct Row {
        unsigned int player_index = 0;
        unsigned int team = 0;
        int kills = 0;
        int lives = 0;
        std::string name;
    };
    // Kills and lives summed per team number.
    struct TeamTotals {
        int kills[kTeamSlots] = {};
        int lives[kTeamSlots] = {};
        int kills_of(unsigned int team) const { return team < kTeamSlots ? kills[team] : 0; }
        int lives_of(unsigned int team) const { return team < kTeamSlots ? lives[team] : 0; }
    };

    QCScoreboard(CTextureManager* textures, QCGame* game, QGGame* match);

    void on_key_released(const SDL_KeyboardEvent& event) override;

    // The present players of the match (empty slots and slots past the table skipped), in the
    // order the rules rank them: with lives in play lives first, else kills first; with teams
    // the team's totals before the player's own numbers.
    static std::vector<Row> ranked_rows(const QGGame& match);
    static void rank(std::vector<Row>& rows, const GameParameters& rules);
    // The row's caption: the team number (from 1) before the name when the match has teams.
    static std::string row_name(const Row& row, bool teams);

    static bool compare_lives_then_kills(const Row& a, const Row& b);
    static bool compare_kills_then_lives(const Row& a, const Row& b);
    static bool compare_team_lives_first(const TeamTotals& totals, const Row& a, const Row& b);
    static bool compare_team_kills_first(const TeamTotals& totals, const Row& a, const Row& b);

    QGGame* match = nullptr;
};
