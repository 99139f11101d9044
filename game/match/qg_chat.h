#pragma once
#include <cstddef>
#include <list>
#include <string>
#include <utility>

#include "engine/core/byte_buffer.h"
#include "game/base/qg_object.h"

class QGEventHandler;
struct IdRecord;

// Carries chat lines between the participants: one object on the reliable channel whose field
// is a queue of lines. A client queues what its user typed, the next TCP send takes it to the
// server, the server queues it again for everybody, and every client shows it through the
// session's message line.
//
// Lines from the network are untrusted: a packet's count and lengths are checked against its
// bytes, only so many lines per packet are taken, each cut to a length and to printable
// characters, and the server credits a line to the connection that sent it, whatever id the
// line names.
class QGChat : public QGObject {
public:
    // Sender's player id (its connection id) and the text.
    using Line = std::pair<unsigned int, std::string>;

    // What the server takes from one client's packet, and what a client takes from one of the
    // server's (and the most the server keeps queued).
    static constexpr size_t kMaxLinesFromClient = 8;
    static constexpr size_t kMaxLinesFromServer = 64;
    static constexpr size_t kMaxLineLength = 200;

    // Reliable; once admitted it is the session's chat.
    QGChat(GameSession* game, unsigned int entity_id);
    ~QGChat() override;
    void admitted() override;

    // Write (both sides) sends the queue once and empties it; Read on a client shows the lines.
    void sync_fields() override;
    // CreateChat: the entity id.
    void write_creation_event(QGEvent& event) const override;
    // The server reads what clients write here, and queues the lines for everybody in the name
    // of the connection they came on.
    bool accepts_client_fields() const override { return true; }
    void read_client_fields(ByteBuffer& record, unsigned int sender) override;

    // Client: queues a line of the local participant (empty text is not sent).
    void say(const std::string& text);

    std::list<Line> lines;

private:
    // Decodes one packet's queue; false when its structure is broken (nothing is taken then).
    bool read_lines(ByteBuffer& in, std::list<Line>& out) const;
    void accept_from_client(std::list<Line>&& received, unsigned int sender);
    void show(const std::list<Line>& received) const;
};

// CreateChat: the chat of the record's id.
void create_chat_action(QGEventHandler& handler, const IdRecord& record);
