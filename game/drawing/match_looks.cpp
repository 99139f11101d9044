// The match controller's label and the chat's input box.
#include "engine/gfx/font.h"
#include "engine/ui/edit.h"
#include "engine/ui/interface_container.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/drawing/looks.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/session/qg_game.h"

namespace {

const char* const kLabelTexture = "gfx\\blend.png";
const char* const kInputFont = "fnt\\DejaVuSans.ttf";
constexpr int kInputFontSize = 14;
const char* const kInputTexture = "gfx\\background.png";

}  // namespace

MatchLook::MatchLook(const GameDrawing& drawing, const QGMatchController& controller)
    : label(drawing.sprites, nullptr, drawing.font(match_info_font_size, match_info_font)), controller_(controller) {
    // The camera moves and scales the world's sprite manager; the label is placed on what holds
    // the manager (the screen), so it stays at the top left while the view follows the player.
    if (CSprite* screen = drawing.sprites->get_parent()) label->set_parent(screen);
    const float width = match_info_size.x, height = match_info_size.y;
    label->set_x(10.0f);
    label->set_y(10.0f);
    label->set_z(1.0f);
    label->set_size(width, height);
    label->set_text_box(10.0f, 10.0f, width - 20.0f, height - 20.0f);
    label->set_text_color(match_info_color);
    label->set_multiline(true);
    label->set_horizontal_alignment(1);
    label->set_vertical_alignment(1);
    label->set_texture(drawing.texture(kLabelTexture));
    label->set_visible(false);
}

void MatchLook::update() {
    const bool running = controller_.game->match_running;
    label->set_visible(running);
    if (!running) return;
    std::string text = controller_.info_text();
    if (text == shown_text_) return;
    shown_text_ = text;
    label->set_text(std::move(text));
}

ChatLook::ChatLook(const GameDrawing& drawing, QGChat& chat) : chat_(chat) {
    CSpriteManager* world = drawing.sprites;
    // The box sits beside the world, in the screen that holds it, so the camera does not move it.
    CSprite* screen = world->get_parent();
    auto* container = dynamic_cast<CInterfaceContainer*>(screen);
    input = new CEdit(dynamic_cast<CInterfaceElement*>(screen), drawing.font(kInputFontSize, kInputFont));
    const float width = world->get_width() * 0.5f - 10.0f, height = 24.0f;
    input->set_size(width, height);
    input->set_texture(drawing.texture(kInputTexture));
    input->set_text_color(ColorRGB{12, 12, 12});
    input->set_border_x(5);
    input->set_border_y(5);
    input->set_text_box(5.0f, 5.0f, width - 10.0f, height - 10.0f);
    input->set_horizontal_anchor(Anchor::End);
    input->set_vertical_anchor(Anchor::End);
    input->set_horizontal_alignment(1);
    input->set_x(10.0f);
    input->set_y(10.0f);
    input->set_z(1.0f);
    input->set_visible(false);
    if (container) container->add_child(input);
    else world->add_child(input);
}

ChatLook::~ChatLook() { input->set_finished(true); }

bool ChatLook::is_open() const { return input->is_visible(); }

void ChatLook::set_open(bool open) {
    if (is_open() == open) return;
    auto* container = dynamic_cast<CInterfaceContainer*>(input->CSprite::get_parent());
    input->set_visible(open);
    if (open) {
        if (container) container->set_focused_child(container->find_child(input));
        return;
    }
    if (container && container->get_focused_child() == container->find_child(input)) container->set_focused_child(-1);
    const std::string text = input->get_text();
    input->set_text("");
    chat_.say(text);
}
