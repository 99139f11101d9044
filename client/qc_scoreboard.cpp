#include "client/qc_scoreboard.h"

#include <GL/glew.h>

#include <algorithm>

#include "client/client_skins.h"
#include "client/qc_game.h"
#include "engine/gfx/font.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/label.h"
#include "engine/ui/panel.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_game.h"
#include "game/session/client_session.h"

namespace {

constexpr float kRowPitch = 34;
// The players' colours read on a dark ground, the headings' dark text on a light one.
constexpr ColorRGB kRowsGround{14, 18, 30};
constexpr ColorRGB kHeadGround{226, 224, 218};

// A plain opaque rectangle under the cells, at the cells' place in the panel: the level, and the
// own player that the camera keeps in the middle of the window, must not show through the table.
class Ground : public CLabel {
public:
    Ground(CInterfaceElement* parent, ColorRGB colour) : CLabel(parent, nullptr), colour_(colour) {}
    void draw_image(SDL_Surface*) override {
        AnchoredPlacement placed(*this, *this);
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
        glDisable(GL_TEXTURE_2D);
        glColor4ub(colour_.r, colour_.g, colour_.b, 255);
        draw_pieces(nullptr);
        glPopAttrib();
    }

private:
    ColorRGB colour_;
};

}  // namespace

QCScoreboard::QCScoreboard(CTextureManager* textures, QCGame* owner, QGGame* session)
    : QCGameState(textures, owner), match(session) {
    set_z(1.0f);
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    CPanel* panel = new CPanel(this, textures);
    skin_panel(panel, textures, 220, 400);
    panel->set_horizontal_anchor(Anchor::Centre);
    panel->set_vertical_anchor(Anchor::Centre);
    panel->get_background()->set_alpha(128);
    add_child(panel);

    auto cell = [&](const std::string& text, float width, float x, float y, int alignment) {
        CLabel* label = new CLabel(panel, font);
        setup_label(label, width, 24, text);
        label->set_horizontal_alignment(alignment);
        label->CSprite::set_x(x);
        label->CSprite::set_y(y);
        panel->add_child(label);
        return label;
    };
    const std::vector<Row> rows = match ? ranked_rows(*match) : std::vector<Row>();
    // The grounds first, so the cells draw over them; each covers its rows and the gaps between.
    auto ground = [&](ColorRGB colour, float y, float height) {
        auto* g = new Ground(panel, colour);
        g->set_size(200, height);
        g->CSprite::set_y(y);
        panel->add_child(g);
    };
    ground(kHeadGround, -5, 2 * kRowPitch);
    if (!rows.empty()) ground(kRowsGround, 2 * kRowPitch - 5, float(rows.size()) * kRowPitch);

    constexpr int kLeft = 1, kCentred = 0, kRight = 2;
    int64_t ping = 0;
    if (const ClientSession* net = match ? match->client_network() : nullptr) ping = net->latency_ms();
    cell("Score", 100, 0, 0, kLeft);
    cell("Ping: " + std::to_string(ping) + "ms", 100, 100, 0, kRight);
    cell("Player", 110, 0, kRowPitch, kLeft);
    cell("Kills", 45, 110, kRowPitch, kCentred);
    cell("Lives", 45, 155, kRowPitch, kCentred);

    const bool teams = match && match->rules.teams;
    float y = 2 * kRowPitch;
    for (const Row& row : rows) {
        // Team colours are the looks of the player indexes equal to the team numbers.
        const unsigned int look = teams && row.team < unsigned(kPlayerDefinitionCount) ? row.team : row.player_index;
        const ColorRGB colour = player_definitions[look % kPlayerDefinitionCount].color;
        for (CLabel* label :
             {cell(row_name(row, teams), 90, 0, y, kLeft), cell(std::to_string(row.kills), 45, 110, y, kCentred),
              cell(std::to_string(row.lives), 45, 155, y, kCentred)})
            label->set_text_color(colour);
        y += kRowPitch;
    }
    panel->set_height(float(rows.size() + 2) * kRowPitch + 10);
}

void QCScoreboard::on_key_released(const SDL_KeyboardEvent& event) {
    QCGameState::on_key_released(event);
    if (event.keysym.sym == SDLK_TAB && match && !match->paused) game->close_top_state();
}

std::string QCScoreboard::row_name(const Row& row, bool teams) {
    return teams ? "[" + std::to_string(uint64_t(row.team) + 1) + "] " + row.name : row.name;
}

std::vector<QCScoreboard::Row> QCScoreboard::ranked_rows(const QGGame& session) {
    std::vector<Row> rows;
    for (unsigned int i = 0; i < session.rules.player_count; ++i) {
        const QGPlayer* player = session.registry().get_player(i);
        if (!player) continue;
        rows.push_back({player->player_index, player->team, player->kills, player->lives, player->name});
    }
    rank(rows, session.rules);
    return rows;
}

void QCScoreboard::rank(std::vector<Row>& rows, const GameParameters& rules) {
    const bool lives_in_play = rules.lives > 0;
    if (!rules.teams) {
        std::sort(rows.begin(), rows.end(), lives_in_play ? compare_lives_then_kills : compare_kills_then_lives);
        return;
    }
    TeamTotals totals;
    for (const Row& row : rows) {
        if (row.team >= kTeamSlots) continue;
        totals.kills[row.team] += row.kills;
        totals.lives[row.team] += row.lives;
    }
    std::sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        return lives_in_play ? compare_team_lives_first(totals, a, b) : compare_team_kills_first(totals, a, b);
    });
}

bool QCScoreboard::compare_lives_then_kills(const Row& a, const Row& b) {
    if (a.lives != b.lives) return a.lives > b.lives;
    return a.kills > b.kills;
}

bool QCScoreboard::compare_kills_then_lives(const Row& a, const Row& b) {
    if (a.kills != b.kills) return a.kills > b.kills;
    return a.lives > b.lives;
}

bool QCScoreboard::compare_team_lives_first(const TeamTotals& totals, const Row& a, const Row& b) {
    if (totals.lives_of(a.team) != totals.lives_of(b.team)) return totals.lives_of(a.team) > totals.lives_of(b.team);
    if (totals.kills_of(a.team) != totals.kills_of(b.team)) return totals.kills_of(a.team) > totals.kills_of(b.team);
    return compare_lives_then_kills(a, b);
}

bool QCScoreboard::compare_team_kills_first(const TeamTotals& totals, const Row& a, const Row& b) {
    if (totals.kills_of(a.team) != totals.kills_of(b.team)) return totals.kills_of(a.team) > totals.kills_of(b.team);
    if (totals.lives_of(a.team) != totals.lives_of(b.team)) return totals.lives_of(a.team) > totals.lives_of(b.team);
    return compare_kills_then_lives(a, b);
}
