#include "net/transport/tcp_server.h"

#include "platform/clock.h"

#include <string>

// Marks a walk over the client table; the outermost one removes the clients found gone.
class TcpServer::Walk {
public:
    explicit Walk(TcpServer& server) : server_(server) { ++server_.walk_depth_; }
    ~Walk() {
        if (--server_.walk_depth_ == 0) server_.remove_dropped();
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

private:
    TcpServer& server_;
};

TcpServer::TcpServer() : pending(std::make_unique<TcpLink>()) {
    listener.setBlocking(false);
}

TcpServer::~TcpServer() {
    listener.close();
    disconnect_all();
}

bool TcpServer::listen_start(unsigned short port, unsigned int client_count) {
    if (listener.listen(port) != sf::Socket::Done) {
        print_net_line("TcpError! listen_start on port " + std::to_string(port) + " failed.");
        return false;
    }
    max_clients = 0;
    blocking_accept = true;
    while (clients.size() < client_count) accept_client();
    blocking_accept = false;
    return true;
}

unsigned int TcpServer::next_free_id() {
    for (auto it = ids_in_use.lower_bound(next_id_hint); it != ids_in_use.end() && *it == next_id_hint; ++it)
        ++next_id_hint;
    return next_id_hint;
}

void TcpServer::accept_client() {
    if (max_clients != 0 && clients.size() >= max_clients) return;
    // Without a listening socket a blocking wait would never end.
    if (listener.getLocalPort() == 0) return;
    if (!blocking_accept) {
        if (listener.accept(pending->socket) != sf::Socket::Done) return;
    } else {
        // Clients already connected keep being served while the server waits.
        // A short sleep per turn keeps the wait from spinning a core for minutes.
        while (true) {
            receive();
            if (listener.accept(pending->socket) == sf::Socket::Done) break;
            platform::sleep_ms(1);
        }
    }
    pending->accepted();

    const unsigned int id = next_free_id();
    const int64_t wait_ms = handshake_timeout.asMilliseconds();
    ByteBuffer id_packet;
    id_packet.write_u32_be(id);
    if (pending->send(id_packet) != sf::Socket::Done || !pending->flush_within(wait_ms)) {
        pending->disconnect();
        return;
    }
    // A newcomer that does not echo its id in time is closed; the id stays free.
    ByteBuffer echo;
    uint32_t echoed = 0;
    if (pending->receive_within(echo, wait_ms) != sf::Socket::Done || !echo.read_u32_be(echoed) || echoed != id) {
        pending->disconnect();
        return;
    }

    ++next_id_hint;
    ids_in_use.insert(id);
    ConnectedClient& client = clients[id];
    client.last_receive_ms = now_ms();
    client.latency_ms = 0;
    client.dropped = false;
    client.link = std::move(pending);
    pending = std::make_unique<TcpLink>();

    const Connection remote = client.link->remote();
    print_net_line("New client (" + std::to_string(id) + ") connected: " + remote.to_string());
    if (on_connect.is_valid()) on_connect(this, id, client.link->local_port(), remote);
    if (clients.size() == max_clients && on_full.is_valid()) on_full(this);
}

void TcpServer::mark_dropped(unsigned int id, ConnectedClient& client) {
    if (client.dropped) return;
    client.dropped = true;
    dropped_ids_.insert(id);
}

bool TcpServer::send_to(unsigned int id, ConnectedClient& client, const ByteBuffer& packet) {
    if (client.dropped || !client.link) return false;
    sf::Socket::Status status = client.link->send(packet);
    if (status == sf::Socket::Disconnected) mark_dropped(id, client);
    return status == sf::Socket::Done;
}

bool TcpServer::send(const ByteBuffer& packet) {
    Walk walk(*this);
    if (!send_to_all) {
        auto it = clients.find(current_sender);
        return it != clients.end() && send_to(it->first, it->second, packet);
    }
    bool all_sent = true;
    for (auto& [id, client] : clients) {
        if (client.dropped) continue;
        if (!send_to(id, client, packet)) all_sent = false;
    }
    return all_sent;
}

void TcpServer::receive() {
    {
        Walk walk(*this);
        for (auto& [id, client] : clients) {
            if (client.dropped) continue;
            TcpLink& link = *client.link;
            if (link.flush() == sf::Socket::Disconnected) {
                mark_dropped(id, client);
                continue;
            }
            uint32_t taken = 0;
            sf::Socket::Status status;
            ByteBuffer packet;
            while ((status = link.receive(packet)) == sf::Socket::Done) {
                // A ping is answered to this client only.
                const unsigned int saved_sender = current_sender;
                const bool saved_all = send_to_all;
                current_sender = id;
                send_to_all = false;
                const bool was_ping = handle_ping(packet);
                current_sender = saved_sender;
                send_to_all = saved_all;
                if (!was_ping && !handle_pong(packet, client.last_receive_ms, client.latency_ms))
                    inbox.emplace(link.remote(), std::move(packet));
                packet = ByteBuffer();
                if (client.dropped) break;
                if (max_packets_per_receive != 0 && ++taken >= max_packets_per_receive) break;
            }
            if (client.dropped) continue;
            if (status == sf::Socket::Disconnected ||
                (timeout_ms != 0 && now_ms() - client.last_receive_ms >= timeout_ms))
                mark_dropped(id, client);
        }
    }
    keep_alive();
}

void TcpServer::keep_alive() {
    const bool saved_all = send_to_all;
    send_to_all = true;
    Tcp::keep_alive();
    send_to_all = saved_all;
}

void TcpServer::disconnect_client(unsigned int id, TcpLink& link) {
    const Connection remote = link.remote();
    if (on_disconnect.is_valid()) on_disconnect(this, id, link.local_port(), remote);
    link.disconnect();
    if (id < next_id_hint) next_id_hint = id;
    ids_in_use.erase(id);
    forget_peer(remote);
    print_net_line("Client (" + std::to_string(id) + ") disconnected: " + remote.to_string());
}

void TcpServer::remove_dropped() {
    // Hooks run from here may walk the table again; their walks leave the removal to this loop.
    if (removing_) return;
    removing_ = true;
    while (!dropped_ids_.empty()) {
        const unsigned int id = *dropped_ids_.begin();
        dropped_ids_.erase(dropped_ids_.begin());
        auto it = clients.find(id);
        if (it == clients.end() || !it->second.link) continue;
        disconnect_client(id, *it->second.link);
        clients.erase(id);
    }
    removing_ = false;
}

void TcpServer::disconnect_all() {
    if (walk_depth_ > 0 || removing_) {
        // Called from inside a walk: the records must outlive it.
        for (auto& [id, client] : clients) mark_dropped(id, client);
        return;
    }
    // Everyone is marked first, so a hook that sends while the others are being closed skips
    // the clients that are on their way out.
    ++walk_depth_;
    for (auto& [id, client] : clients) client.dropped = true;
    for (auto& [id, client] : clients)
        if (client.link) disconnect_client(id, *client.link);
    clients.clear();
    dropped_ids_.clear();
    --walk_depth_;
}
