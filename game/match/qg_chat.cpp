#include "game/match/qg_chat.h"

#include <algorithm>
#include <cstdint>
#include <typeinfo>

#include "engine/core/logger.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"
#include "game/base/qg_event_handler.h"
#include "game/base/record_stream.h"

namespace {

// Each line takes at least its id and its length.
constexpr size_t kMinLineBytes = 8;

// The wire form of a chat queue: the count, then each line's sender id and its text behind its
// length. A reader takes the first `keep` lines, each text cut to the longest line, and reads the
// others past.
struct ChatRecord {
    std::list<QGChat::Line> lines;
    size_t keep = SIZE_MAX;
    size_t dropped = 0;
};
template <class S>
bool serialize(S& s, ChatRecord& r) {
    const auto line_fields = [&](QGChat::Line& line) {
        return s.u32_be(line.first) && s.counted_text(line.second, QGChat::kMaxLineLength);
    };
    return s.sequence(r.lines, kMinLineBytes, line_fields, r.keep, &r.dropped);
}

// What a line may hold: printable characters, at most the longest line.
std::string clean_text(const std::string& text) {
    std::string kept = text;
    std::erase_if(kept, [](unsigned char c) { return c < 32 || c > 126; });
    if (kept.size() > QGChat::kMaxLineLength) kept.resize(QGChat::kMaxLineLength);
    return kept;
}

}  // namespace

QGChat::QGChat(GameSession* game_, unsigned int entity_id_) : QGObject(game_, entity_id_, true) {}

void QGChat::admitted() {
    if (game) game->chat = this;
}

QGChat::~QGChat() {
    if (game && game->chat == this) game->chat = nullptr;
}

void QGChat::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateChat>(IdRecord{entity_id});
}

void QGChat::say(const std::string& text) {
    if (!game || game->is_server) return;
    std::string kept = clean_text(text);
    if (!kept.empty()) lines.emplace_back(game->local_player_id, std::move(kept));
}

void QGChat::sync_fields() {
    if (!current_packet) return;
    if (mode == Write) {
        ChatRecord record;
        record.lines.swap(lines);
        wrote_news = !record.lines.empty();
        write_record(*current_packet, record);
    } else if (mode == Read && game && !game->is_server) {
        // The server reads a client's lines only with their sender (read_client_fields).
        std::list<Line> received;
        if (read_lines(*current_packet, received)) show(received);
    }
}

void QGChat::read_client_fields(ByteBuffer& record, unsigned int sender) {
    std::list<Line> received;
    if (game && read_lines(record, received)) accept_from_client(std::move(received), sender);
}

bool QGChat::read_lines(ByteBuffer& in, std::list<Line>& out) const {
    ChatRecord record;
    record.keep = game->is_server ? kMaxLinesFromClient : kMaxLinesFromServer;
    RecordStream<RecordMode::Read> stream(in, &typeid(*this));
    if (!serialize(stream, record)) {
        log_message(LogLevel::Warning, "Dropped a broken chat record.", log_class_name_of(*this));
        return false;
    }
    for (Line& line : record.lines) line.second = clean_text(line.second);
    out = std::move(record.lines);
    if (record.dropped)
        log_message(LogLevel::Warning,
                    "Dropped " + std::to_string(record.dropped) + " chat lines beyond " + std::to_string(record.keep) +
                        " in one packet.",
                    log_class_name_of(*this));
    return true;
}

void QGChat::accept_from_client(std::list<Line>&& received, unsigned int sender) {
    // A line speaks for the connection it came on; the id it names is only its claim.
    for (Line& line : received) {
        if (line.second.empty()) continue;
        if (lines.size() >= kMaxLinesFromServer) {
            log_message(LogLevel::Warning, "Dropped a chat line: the queue is full.", log_class_name_of(*this));
            break;
        }
        lines.emplace_back(sender, std::move(line.second));
    }
}

void QGChat::show(const std::list<Line>& received) const {
    if (!game->message_hook.is_valid()) return;
    for (const Line& line : received) {
        const QGPlayer* player = game->registry().get_player(line.first);
        game->message_hook((player ? "[" + player->name + "] " : std::string("[Spectator] ")) + line.second);
    }
}

void create_chat_action(QGEventHandler& handler, const IdRecord& record) { handler.game->spawn<QGChat>(record.id); }
