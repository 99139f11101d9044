#include "game/session/client_session.h"

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/base/qg_object.h"
#include "net/transport/tcp_client.h"
#include "net/transport/udp.h"

ClientSession::ClientSession(QGGame& game, const NetClock* clock, unsigned short port, sf::IpAddress server,
                             Callback<void, bool> on_connected, std::string join_name)
    : NetworkSession(game, clock), join_name_(std::move(join_name)) {
    connect_thread_ = std::thread(
        [this, port, server, result = std::move(on_connected)]() mutable { connect(port, server, std::move(result)); });
}

ClientSession::ClientSession(QGGame& game, const NetClock* clock) : NetworkSession(game, clock) {
    enter_event_handler();
}

ClientSession::~ClientSession() { shut_down(); }

void ClientSession::enter_event_handler() {
    QGEventHandler* handler = game_.event_handler;
    handler->entity_id = 1;
    game_.registry().enter_reliable(1, handler);
}

void ClientSession::shut_down() {
    if (shut_down_) return;
    shut_down_ = true;
    // A connection attempt in progress gives up at once; its thread reports nothing more.
    transport_clock_.tearing_down.store(true, std::memory_order_release);
    if (connect_thread_.joinable()) connect_thread_.join();
    NetworkSession::shut_down();
    log_forget_peer(server_peer());
}

std::string ClientSession::server_peer() const {
    const TcpClient* tcp_client = client();
    return tcp_client ? tcp_client->link().remote().to_string() : "the server";
}

void ClientSession::transports_installed() { client_ = dynamic_cast<TcpClient*>(tcp_.get()); }

bool ClientSession::connect(unsigned short port, sf::IpAddress server, Callback<void, bool> result) {
    enter_event_handler();
    game_port_ = port;

    auto udp_owned = std::make_unique<Udp>();
    Udp* udp = udp_owned.get();
    log_message(LogLevel::Status, "UDP connection initialized.", log_class_name_of(game_));
    auto tcp_owned = std::make_unique<TcpClient>();
    TcpClient* tcp = tcp_owned.get();
    log_message(LogLevel::Status, "TCP connection initialized.", log_class_name_of(game_));
    install_transports(std::move(tcp_owned), std::move(udp_owned));

    log_message(LogLevel::Status, "Opening TCP connection...", log_class_name_of(game_));
    // A session torn down at once does not start the attempt, and one being torn down does not
    // call back into its owner, which is going away.
    const bool opened =
        !transport_clock_.tearing_down.load(std::memory_order_acquire) && tcp->open(server, port, 10.0f);
    const bool leaving = transport_clock_.tearing_down.load(std::memory_order_acquire);
    if (!opened) {
        log_message(LogLevel::Error, "Failed to open TCP connection.", log_class_name_of(game_));
        game_.connect_failed = true;
        if (!leaving && result.is_valid()) result(false);
        game_.quit = true;
        return false;
    }
    log_message(LogLevel::Status, "TCP connection opened.", log_class_name_of(game_));
    game_.event_handler->delay_ms = udp->get_latency();
    if (!leaving && result.is_valid()) result(true);
    game_.active.store(true, std::memory_order_release);
    return true;
}

void ClientSession::exchange() {
    if (tcp_) {
        // The server reads nothing else from a client: the rest would cross the link for nothing.
        tcp_->send_objects(game_.registry().client_writable_objects());
        tcp_->receive_objects(game_.registry().reliable_objects());
    }
    if (!udp_) return;
    const uint64_t before = udp_->bytes_received();
    udp_->receive_objects(game_.registry().unreliable_objects());
    // The server's state shows it there while its stream is held up (a map tile crossing a thin
    // link takes longer than the time-out).
    TcpClient* tcp_client = client();
    if (tcp_client && udp_->bytes_received() != before) tcp_client->heard_from_server();
}

void ClientSession::answer_pings() {
    if (TcpClient* tcp_client = client()) tcp_client->answer_pings();
}

int64_t ClientSession::latency_ms() const {
    const TcpClient* tcp_client = client();
    return tcp_client ? tcp_client->latency_ms() : 0;
}

uint64_t ClientSession::bytes_received() const {
    const TcpClient* tcp_client = client();
    return (tcp_client ? tcp_client->link().bytes_received() : 0) + (udp_ ? udp_->bytes_received() : 0);
}

void ClientSession::on_connect(Protocol*, unsigned int connection_id, unsigned short local_port, Connection remote) {
    if (udp_) {
        udp_->bind(local_port);
        udp_->add_peer(Connection(remote.address, game_port_));
    }
    game_.local_player_id = connection_id;
    post_join_request(connection_id);
}

void ClientSession::post_join_request(unsigned int connection_id) {
    // The name the main menu stores.
    const std::string name = join_name_.empty() ? setting_keys::user_name.read() : join_name_;
    game_.event_handler->post<EQGEventType::JoinGame>(JoinRequest{name, connection_id});
}

void ClientSession::on_disconnect(Protocol*, unsigned int, unsigned short, Connection remote) {
    if (udp_) {
        udp_->unbind();
        udp_->remove_peer(Connection(remote.address, game_port_));
    }
    game_.match_running = false;
    log_forget_peer(remote.to_string());
    game_.disconnect_hook();
}
