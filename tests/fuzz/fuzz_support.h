#pragma once
// The fuzz targets' shared pieces: the settings (from the run folder) and material colours loaded
// once, fresh headless sessions, and bytes handed to an object as a received sync record.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "game/config/settings.h"
#include "support/session_test_support.h"

namespace fuzz {

inline void load_once() {
    static const bool loaded = (load_settings(), session_test::set_material_colors(), true);
    (void)loaded;
}

// A headless client session, or a server session whose records come from client `sender`.
inline std::unique_ptr<QGGame> session(bool server, unsigned int sender) {
    load_once();
    auto game = server ? session_test::make_server_session() : session_test::make_headless_client_session();
    if (server) game->current_sender = sender;
    return game;
}

// The bytes as the object's received record, then two world steps of its session.
inline void feed(QGGame& game, Networkable& object, const uint8_t* data, size_t size) {
    game.flush_registrations();
    session_test::receive_record(object, ByteBuffer(data, size));
    game.update(0.016f);
    game.update(0.016f);
}

}  // namespace fuzz
