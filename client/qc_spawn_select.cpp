#include "client/qc_spawn_select.h"

#include <GL/glew.h>

#include <algorithm>

#include "client/client_skins.h"
#include "client/qc_game.h"
#include "client/qc_game_play.h"
#include "engine/gfx/font.h"
#include "engine/gfx/texture_manager.h"
#include "engine/scene/image_sprite.h"
#include "engine/ui/button.h"
#include "engine/ui/label.h"
#include "engine/ui/panel.h"
#include "game/drawing/game_drawing.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"

QCSpawnSelect* QCSpawnSelect::instance = nullptr;

namespace {

constexpr ColorRGB kPlainTint{255, 255, 255};
constexpr ColorRGB kOnTerrainTint{255, 70, 70};
constexpr float kHeldAlpha = 128;

// The marker's picture, tinted while it stands on terrain.
class MarkerSprite : public CImageSprite {
public:
    using CImageSprite::CImageSprite;
    void draw_image(SDL_Surface* screen) override {
        glColor4d(tint.r / 255.0, tint.g / 255.0, tint.b / 255.0, get_alpha() / 255.0);
        CImageSprite::draw_image(screen);
    }
    ColorRGB tint = kPlainTint;
};

bool holds(const IntRect& r, int x, int y) { return x >= r.x && x <= r.x + r.width && y >= r.y && y <= r.y + r.height; }

}  // namespace

QCSpawnSelect::QCSpawnSelect(CTextureManager* textures, QCGame* owner, QCGamePlay* screen)
    : QCGameState(textures, owner), game_screen(screen) {
    instance = this;
    CFont* font = game->get_font_factory()->get_font(menu_font_size, menu_font);

    panel = new CPanel(this, textures);
    // Wide enough for the title in our DejaVu face.
    skin_panel(panel, textures, 160, 68);
    panel->set_horizontal_anchor(Anchor::Start);
    panel->set_vertical_anchor(Anchor::End);
    add_child(panel);

    CLabel* title = new CLabel(panel, font);
    setup_label(title, 140, 24, "Select Spawn Positions");
    panel->add_child(title);

    done_button = new CButton(panel, font);
    skin_button(done_button, textures, 140, 24, "Done");
    done_button->on_click = on_done;
    done_button->CSprite::set_y(title->CSprite::get_y() + title->get_height());
    panel->add_child(done_button);

    QGGame* match = session();
    if (!match) return;
    // One marker per player slot, never more than a spawn list holds.
    const unsigned int count = std::min(match->rules.player_count, kMaxSpawnPositions);
    const auto* level = look_of<LevelLook>(match->level);
    const float scale = level ? level->terrain_sprite->get_absolute_scale() : 1.0f;
    const float level_width = float(match->terrain().width());
    const float level_height = float(match->terrain().height());
    for (unsigned int i = 0; i < count; ++i) {
        auto* marker = new MarkerSprite(this);
        marker->set_scale(scale);
        marker->set_texture(textures ? textures->get_texture(true, false, "gfx\\spawn.png") : nullptr);
        marker->set_size(player_size.x, player_size.y);
        const fvec2d start{(level_width - float(count) * player_size.x) * 0.5f + float(i) * player_size.x,
                           (level_height - player_size.y) * 0.5f};
        const fvec2d on_screen = to_screen(start);
        marker->set_absolute_x(on_screen.x);
        marker->set_absolute_y(on_screen.y);
        marker->set_z(1.0f);
        add_child(marker);
        markers.push_back(marker);
    }
    show_markers();
}

QCSpawnSelect::~QCSpawnSelect() {
    if (instance == this) instance = nullptr;
}

QGGame* QCSpawnSelect::session() { return game_screen ? game_screen->client_game.get() : nullptr; }

fvec2d QCSpawnSelect::to_level(fvec2d point) {
    QGGame* match = session();
    if (auto* level = look_of<LevelLook>(match ? match->level : nullptr))
        return level->terrain_sprite->point_to_local(point);
    return point;
}

fvec2d QCSpawnSelect::to_screen(fvec2d point) {
    QGGame* match = session();
    if (auto* level = look_of<LevelLook>(match ? match->level : nullptr))
        return level->terrain_sprite->point_to_global(point);
    return point;
}

fvec2d QCSpawnSelect::marker_level_position(CImageSprite* marker) {
    return to_level({marker->get_absolute_x(), marker->get_absolute_y()});
}

bool QCSpawnSelect::marker_is_free(CImageSprite* marker) {
    QGGame* match = session();
    QGPlayer* host = match ? match->registry().get_player(0) : nullptr;
    if (!host) return false;
    const fvec2d at = marker_level_position(marker);
    return !host->overlaps_terrain(int(at.x), int(at.y), int(player_size.x), int(player_size.y), false);
}

bool QCSpawnSelect::marker_blocks_done(CImageSprite* marker) {
    return marker == held_marker || !marker_is_free(marker);
}

void QCSpawnSelect::show_markers() {
    for (CImageSprite* marker : markers) {
        if (auto* look = dynamic_cast<MarkerSprite*>(marker))
            look->tint = marker_is_free(marker) ? kPlainTint : kOnTerrainTint;
        marker->set_alpha(marker == held_marker ? kHeldAlpha : 255.0f);
    }
}

bool QCSpawnSelect::on_panel(int x, int y) { return holds(panel->get_anchored_absolute_bounds(), x, y); }

void QCSpawnSelect::end_panel_press() {
    if (!panel_press_) return;
    if (CImageSprite* picked = panel_press_->picked) {
        picked->set_absolute_x(panel_press_->picked_from.x);
        picked->set_absolute_y(panel_press_->picked_from.y);
    }
    held_marker = panel_press_->held_before;
    panel_press_.reset();
}

void QCSpawnSelect::on_mouse_button_down(const SDL_MouseButtonEvent& event) {
    QCGameState::on_mouse_button_down(event);
    CImageSprite* held_before = held_marker;
    for (CImageSprite* marker : markers) {
        if (holds(marker->get_absolute_bounds(), event.x, event.y)) {
            held_marker = marker;
            break;
        }
    }
    // A press on the panel picks a marker under it so that it can be dragged out from there;
    // a release over the panel undoes the pick.
    panel_press_.reset();
    if (on_panel(event.x, event.y)) {
        CImageSprite* picked = held_marker != held_before ? held_marker : nullptr;
        panel_press_ = PanelPress{held_before, picked,
                                  picked ? fvec2d{picked->get_absolute_x(), picked->get_absolute_y()} : fvec2d{}};
    }
    show_markers();
}

void QCSpawnSelect::on_mouse_motion(const SDL_MouseMotionEvent& event) {
    QCGameState::on_mouse_motion(event);
    if (!held_marker) return;
    held_marker->set_absolute_x(held_marker->get_absolute_x() + float(event.xrel));
    held_marker->set_absolute_y(held_marker->get_absolute_y() + float(event.yrel));
    fvec2d at = marker_level_position(held_marker);
    QGGame* match = session();
    if (match && match->terrain().width() > 0) {
        // The whole box stays on the level.
        const float level_width = float(match->terrain().width());
        const float level_height = float(match->terrain().height());
        at.x = std::max(at.x, 0.0f);
        if (at.x + player_size.x > level_width) at.x = level_width - player_size.x;
        at.y = std::max(at.y, 0.0f);
        if (at.y + player_size.y > level_height) at.y = level_height - player_size.y;
    }
    const fvec2d on_screen = to_screen(at);
    held_marker->set_absolute_x(on_screen.x);
    held_marker->set_absolute_y(on_screen.y);
    show_markers();
}

void QCSpawnSelect::on_mouse_button_up(const SDL_MouseButtonEvent& event) {
    QCGameState::on_mouse_button_up(event);  // "Done" acts in here
    if (on_panel(event.x, event.y)) {
        // What lies under the panel is hidden: free ground there may be open sea.
        end_panel_press();
    } else {
        panel_press_.reset();
        if (held_marker && marker_is_free(held_marker)) held_marker = nullptr;
    }
    show_markers();
}

void QCSpawnSelect::on_done(CInterfaceElement* sender, const SDL_MouseButtonEvent*) {
    // The screen that holds the button: with a second selection over it, `instance` names the
    // newer one, or nobody once that one is gone.
    QCSpawnSelect* screen = nullptr;
    for (CInterfaceElement* e = sender; e && !screen; e = e->get_parent()) screen = dynamic_cast<QCSpawnSelect*>(e);
    if (!screen || sender != screen->done_button) return;
    QGGame* match = screen->session();
    // Without markers the server would have no spawn point to give anybody.
    if (!match || !match->event_handler || screen->markers.empty()) return;
    // A marker the press on "Done" picked up is not on the mouse; one held before the press is
    // not placed yet, wherever the click left it.
    screen->end_panel_press();
    for (CImageSprite* marker : screen->markers)
        if (screen->marker_blocks_done(marker)) return;

    screen->game->close_top_state();
    SpawnPositions record;
    record.count = uint32_t(screen->markers.size());
    for (std::size_t i = 0; i < screen->markers.size(); ++i) {
        const fvec2d at = screen->marker_level_position(screen->markers[i]);
        record.positions[i] = {at.x, at.y};
    }
    match->event_handler->post<EQGEventType::SetSpawnPositions>(record);
}
