#include "game/match/qg_chat.h"

#include <algorithm>

#include "engine/core/logger.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_event.h"
#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"

namespace {

// Each line takes at least its id and its length.
constexpr size_t kMinLineBytes = 8;

// What a line may hold: printable characters, at most the longest line.
std::string clean_text(const std::string& text) {
    std::string kept = text;
    std::erase_if(kept, [](unsigned char c) { return c < 32 || c > 126; });
    if (kept.size() > QGChat::kMaxLineLength) kept.resize(QGChat::kMaxLineLength);
    return kept;
}

}  // namespace

QGChat::QGChat(QGGame* game_, unsigned int entity_id_) : QGObject(game_, entity_id_, true) {
    if (game) game->chat = this;
    show_look();
}

QGChat::~QGChat() {
    if (game && game->chat == this) game->chat = nullptr;
}

void QGChat::write_creation_event(QGEvent& event) const {
    event.set_type(EQGEventType::CreateChat);
    event.set_delayed(false);
    event.set_payload(record_bytes(IdRecord{entity_id}));
}

void QGChat::say(const std::string& text) {
    if (!game || game->is_server) return;
    std::string kept = clean_text(text);
    if (!kept.empty()) lines.emplace_back(game->local_player_id, std::move(kept));
}

void QGChat::sync_fields() {
    if (!current_packet) return;
    if (mode == Write) {
        ByteBuffer& out = *current_packet;
        out.write_u32_be(uint32_t(lines.size()));
        for (const Line& line : lines) {
            out.write_u32_be(line.first);
            out.write_string(line.second);
        }
        lines.clear();
    } else if (mode == Read && game) {
        std::list<Line> received;
        if (!read_lines(*current_packet, received)) return;
        if (game->is_server) accept_from_client(std::move(received));
        else show(received);
    }
}

bool QGChat::read_lines(ByteBuffer& in, std::list<Line>& out) const {
    const size_t limit = game->is_server ? kMaxLinesFromClient : kMaxLinesFromServer;
    uint32_t count = 0;
    bool whole = in.read_u32_be(count) && count <= in.remaining() / kMinLineBytes;
    size_t dropped = 0;
    for (uint32_t i = 0; whole && i < count; ++i) {
        uint32_t id = 0, length = 0;
        whole = in.read_u32_be(id) && in.read_u32_be(length) && length <= in.remaining();
        if (!whole) break;
        if (out.size() < limit) {
            const auto* bytes = reinterpret_cast<const char*>(in.read_pointer());
            out.emplace_back(id, clean_text(std::string(bytes, std::min<size_t>(length, kMaxLineLength))));
        } else {
            ++dropped;
        }
        in.skip(length);
    }
    if (!whole) {
        log_message(LogLevel::Warning, "Dropped a broken chat record.", log_class_name_of(*this));
        out.clear();
        return false;
    }
    if (dropped)
        log_message(LogLevel::Warning, "Dropped " + std::to_string(dropped) + " chat lines beyond " +
                                           std::to_string(limit) + " in one packet.",
                    log_class_name_of(*this));
    return true;
}

void QGChat::accept_from_client(std::list<Line>&& received) {
    // A line speaks for the connection it came on; the id it names is only its claim.
    if (!game->current_sender) return;
    for (Line& line : received) {
        if (line.second.empty()) continue;
        if (lines.size() >= kMaxLinesFromServer) {
            log_message(LogLevel::Warning, "Dropped a chat line: the queue is full.", log_class_name_of(*this));
            break;
        }
        lines.emplace_back(*game->current_sender, std::move(line.second));
    }
}

void QGChat::show(const std::list<Line>& received) const {
    if (!game->message_hook.is_valid()) return;
    for (const Line& line : received) {
        const QGPlayer* player = game->get_player(line.first);
        game->message_hook((player ? "[" + player->name + "] " : std::string("[Spectator] ")) + line.second);
    }
}

void create_chat_action(QGEventHandler& handler, const QGEvent& event) {
    auto* chat = new QGChat(handler.game, event_entity_id(event));
    if (!chat->is_registered()) delete chat;
}
