// What the match screens decide without a window: level files and the scoreboard's ranking.
#include <gtest/gtest.h>

#include "client/level_file.h"
#include "client/qc_scoreboard.h"
#include "game/session/qg_game.h"
#include "support/test_support.h"

TEST(LevelFile, RoundTripAndWhatTheServerWouldUse) {
    test_support::ScratchDir dir;
    LevelParameters sent;
    sent.gen = 3;
    sent.seed = uint32_t(-7);
    sent.size_x = 1000;
    sent.octaves = 4;
    sent.additional = 0.125f;
    const std::string path = dir.file("level.vml");
    ASSERT_TRUE(write_level_file(path, sent));
    EXPECT_EQ(read_level_file(path, LevelParameters()), sent);

    // Missing keys keep the current values (a missing seed is 0); absurd ones become what the
    // server would make of them.
    LevelParameters current;
    current.water_level = 0.75f;
    current.size_y = 700;
    const std::string absurd = dir.write("absurd.vml",
                                         "[level]\ngen=9\nsizeX=99999\noctaves=-3\nscaleX=7.5\nscaleY=nan\n"
                                         "offsetX=-1\nsolidThreshold=abc\n");
    LevelParameters expected = current;
    expected.seed = 0;
    expected.gen = 5;  // Hills, as the generator runs every unknown preset
    expected.size_x = 4096;
    expected.octaves = 0;
    expected.scale_x = 1.0f;
    expected.offset_x = 0.0f;
    EXPECT_EQ(read_level_file(absurd, current), expected);
    const LevelParameters sizes = read_level_file(dir.write("sizes.vml", "[level]\nsizeX=-5\nsizeY=tall\n"), current);
    EXPECT_EQ(std::make_pair(sizes.size_x, sizes.size_y), std::make_pair(4096u, 1024u));
    EXPECT_EQ(read_level_file(dir.file("none.vml"), current).water_level, 0.75f);
}

namespace {

using Row = QCScoreboard::Row;

std::vector<unsigned int> order(std::vector<Row> rows, int lives, bool teams) {
    GameParameters rules;
    rules.lives = lives;
    rules.teams = teams;
    QCScoreboard::rank(rows, rules);
    std::vector<unsigned int> indexes;
    for (const Row& row : rows) indexes.push_back(row.player_index);
    return indexes;
}

}  // namespace

TEST(Scoreboard, RanksByTheMatchRules) {
    // index, team, kills, lives
    const std::vector<Row> solo = {{0, 0, 5, 1, "a"}, {1, 1, 0, 2, "b"}, {2, 2, 3, 2, "c"}};
    EXPECT_EQ(order(solo, 3, false), (std::vector<unsigned int>{2, 1, 0}));  // lives, then kills
    EXPECT_EQ(order(solo, 0, false), (std::vector<unsigned int>{0, 2, 1}));  // kills, then lives

    // Both teams have 4 lives left; team 1 has more kills, so all its players come first.
    const std::vector<Row> teams = {{0, 0, 0, 3, "a"}, {1, 0, 1, 1, "b"}, {2, 1, 2, 2, "c"}, {3, 1, 0, 2, "d"}};
    EXPECT_EQ(order(teams, 3, true), (std::vector<unsigned int>{2, 3, 0, 1}));

    // A team number from the network that no team table holds counts for no team.
    const std::vector<Row> stray = {{0, 99, 9, 9, "x"}, {1, 0, 0, 1, "y"}, {2, 4000000000u, 1, 1, "z"}};
    EXPECT_EQ(order(stray, 3, true), (std::vector<unsigned int>{1, 0, 2}));
    EXPECT_EQ(QCScoreboard::row_name(stray[2], true), "[4000000001] z");
    EXPECT_EQ(QCScoreboard::row_name(stray[2], false), "z");
}
