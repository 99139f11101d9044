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

// A headless client session, or a server session.
inline std::unique_ptr<QGGame> session(bool server) {
    load_once();
    return server ? session_test::make_server_session() : session_test::make_headless_client_session();
}

// The bytes as the object's received record (on a server, as client `sender` sent it), then two
// world steps of its session.
inline void feed(QGGame& game, QGObject& object, const uint8_t* data, size_t size, unsigned int sender = 0) {
    game.flush_registrations();
    if (game.is_server) session_test::receive_client_record(object, ByteBuffer(data, size), sender);
    else session_test::receive_record(object, ByteBuffer(data, size));
    game.update(0.016f);
    game.update(0.016f);
}

}  // namespace fuzz
