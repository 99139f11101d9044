#include "net/transport/tcp_server.h"

#include "engine/core/logger.h"
#include "platform/clock.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
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

TcpServer::TcpServer() : pending(std::make_unique<TcpLink>()) { listener.setBlocking(false); }

TcpServer::~TcpServer() {
    listener.close();
    for (PendingHandshake& h : handshakes) h.link->disconnect();
    handshakes.clear();
    disconnect_all();
}

bool TcpServer::listen_start(unsigned short port, unsigned int client_count) {
    if (listener.listen(port) != sf::Socket::Done) {
        print_net_line("TcpError! listen_start on port " + std::to_string(port) + " failed.");
        return false;
    }
    // Inherited by the connections accepted, and announced to the clients in the handshake.
    const int segment = max_segment_bytes;
    ::setsockopt(listener.getHandle(), IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
    max_clients = 0;
    blocking_accept = true;
    while (clients.size() < client_count && !wait_cancelled()) accept_client();
    blocking_accept = false;
    return clients.size() >= client_count;
}

unsigned int TcpServer::next_free_id() {
    for (auto it = ids_in_use.lower_bound(next_id_hint); it != ids_in_use.end() && *it == next_id_hint; ++it)
        ++next_id_hint;
    unsigned int id = next_id_hint;
    auto offered = [&](unsigned int candidate) {
        for (const PendingHandshake& h : handshakes)
            if (h.id == candidate) return true;
        return false;
    };
    while (ids_in_use.count(id) || offered(id)) ++id;
    return id;
}

void TcpServer::accept_client() {
    if (max_clients != 0 && clients.size() >= max_clients) return;
    // Without a listening socket a blocking wait would never end.
    if (listener.getLocalPort() == 0) return;
    if (!blocking_accept) {
        advance_handshakes();
        start_handshakes();
        return;
    }
    // Clients already connected keep being served while the server waits; a departure seen by
    // the receive may cancel the wait. A short sleep per turn keeps the wait from spinning a
    // core for minutes.
    const uint64_t wanted = registrations_ + 1;
    while (!wait_cancelled()) {
        receive();
        advance_handshakes();
        if (registrations_ >= wanted) break;
        start_handshakes();
        platform::sleep_ms(1);
    }
}

void TcpServer::start_handshakes() {
    for (unsigned int taken = 0; taken < std::max(max_accepts_per_call, 1u); ++taken)
        if (!start_handshake()) return;
}

bool TcpServer::start_handshake() {
    if (max_clients != 0 && clients.size() + handshakes.size() >= max_clients) return false;
    if (pending->accept(listener) != sf::Socket::Done) return false;
    pending->max_frame_bytes = max_client_frame_bytes;

    PendingHandshake handshake;
    handshake.id = next_free_id();
    handshake.deadline_ms = now_ms() + handshake_timeout.asMilliseconds();
    handshake.link = std::move(pending);
    pending = std::make_unique<TcpLink>();
    ByteBuffer id_packet;
    id_packet.write_u32_be(handshake.id);
    // A newcomer gone before its id could be sent frees its place; the next one is taken.
    if (handshake.link->send(id_packet) != sf::Socket::Done) {
        handshake.link->disconnect();
        return true;
    }
    handshakes.push_back(std::move(handshake));
    return true;
}

int64_t TcpServer::echo_allowance_ms(const TcpLink& link) {
    // The id and its echo cross the path once each way, and a path that queues seconds (a thin
    // uplink in use) would otherwise turn every newcomer away however patient it is. On such a
    // path the queue also drops now and then: the id or the echo may have to be sent again.
    PathReport path;
    if (!link.path(path)) return 0;
    return std::clamp<int64_t>((2 * path.round_trip_us + path.retransmit_timeout_us) / 1000, 0, max_echo_allowance_ms);
}

void TcpServer::advance_handshakes() {
    const int64_t now = now_ms();
    for (size_t i = 0; i < handshakes.size();) {
        PendingHandshake& h = handshakes[i];
        TcpLink& link = *h.link;
        enum { Waiting, Echoed, Failed } state = Waiting;
        std::string why;
        const sf::Socket::Status sent = link.flush();
        if (sent == sf::Socket::Disconnected || sent == sf::Socket::Error) {
            state = Failed;
            why = "left";
        } else {
            ByteBuffer echo;
            uint32_t echoed = 0;
            const sf::Socket::Status got = link.receive(echo);
            if (got == sf::Socket::Done) {
                state = echo.size() == 4 && echo.read_u32_be(echoed) && echoed == h.id ? Echoed : Failed;
                why = "answered with something else than its id";
            } else if (got != sf::Socket::NotReady) {
                state = Failed;
                why = link.frame_refused() ? "sent an oversized frame" : "left";
            } else if (now >= h.deadline_ms + echo_allowance_ms(link)) {
                state = Failed;
                why = "did not echo its id in time";
            }
        }
        if (state == Waiting) {
            ++i;
            continue;
        }
        PendingHandshake done = std::move(h);
        handshakes.erase(handshakes.begin() + std::ptrdiff_t(i));
        if (state == Echoed) {
            register_client(done.id, std::move(done.link));
            continue;
        }
        // The id stays free for the next newcomer. Each newcomer is a new connection, so its
        // lines are counted against its address.
        log_peer_message(address_text(done.link->remote().address), now, LogLevel::Warning,
                         "Closed the newcomer " + done.link->remote().to_string() + " offered id " +
                             std::to_string(done.id) + ": it " + why + ".",
                         log_class_name_of(*this));
        done.link->disconnect();
        if (done.id < next_id_hint) next_id_hint = done.id;
    }
}

void TcpServer::register_client(unsigned int id, std::unique_ptr<TcpLink> link) {
    ids_in_use.insert(id);
    while (ids_in_use.count(next_id_hint)) ++next_id_hint;
    ++registrations_;
    ConnectedClient& client = clients[id];
    client.last_receive_ms = client.last_pong_ms = now_ms();
    client.latency_ms = 0;
    client.dropped = false;
    client.link = std::move(link);
    client.link->took_bytes();  // the id's echo

    const Connection remote = client.link->remote();
    // It answered its id: a player, and players behind one router share an address. Its lines
    // print whole; the console's cap bounds connections that come and go at any rate.
    print_net_line("New client (" + std::to_string(id) + ") connected: " + remote.to_string());
    if (on_connect.is_valid()) on_connect(this, id, client.link->local_port(), remote);
    if (clients.size() == max_clients && on_full.is_valid()) on_full(this);
}

void TcpServer::mark_dropped(unsigned int id, ConnectedClient& client) {
    if (client.dropped) return;
    client.dropped = true;
    dropped_ids_.insert(id);
}

bool TcpServer::send_to(unsigned int id, ConnectedClient& client, const ByteBuffer& packet, const ChangeKeys* keys) {
    if (client.dropped || !client.link) return false;
    sf::Socket::Status status = keys ? client.link->send_sync(packet, *keys) : client.link->send(packet);
    if (status == sf::Socket::Disconnected) mark_dropped(id, client);
    if (status == sf::Socket::Done && client.link->queued_bytes() > max_queued_bytes) {
        // A client that does not read would make the queue grow without bound.
        log_message(LogLevel::Warning,
                    "Dropped client " + std::to_string(id) + ": " + std::to_string(client.link->queued_bytes()) +
                        " bytes wait to be sent to it, more than " + std::to_string(max_queued_bytes) + ".",
                    log_class_name_of(*this));
        mark_dropped(id, client);
        return false;
    }
    return status == sf::Socket::Done;
}

bool TcpServer::send_to_client(unsigned int id, const ByteBuffer& packet) {
    Walk walk(*this);
    auto it = clients.find(id);
    return it != clients.end() && send_to(it->first, it->second, packet);
}

bool TcpServer::send(const ByteBuffer& packet) { return send_to_every_client(packet, nullptr); }

bool TcpServer::send_sync(const ByteBuffer& packet, const ChangeKeys& keys) {
    return send_to_every_client(packet, is_well_formed_sync_packet(packet) ? &keys : nullptr);
}

bool TcpServer::send_to_every_client(const ByteBuffer& packet, const ChangeKeys* keys) {
    Walk walk(*this);
    bool all_sent = true;
    for (auto& [id, client] : clients) {
        if (client.dropped) continue;
        if (!send_to(id, client, packet, keys)) all_sent = false;
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
                std::optional<ByteBuffer> pong;
                if (take_ping(packet, pong)) {
                    if (pong) send_to(id, client, *pong);
                } else if (!handle_pong(packet, client.last_pong_ms, client.latency_ms)) {
                    if (on_frame) on_frame(id, link.remote(), packet);
                    else file_packet(link.remote(), std::move(packet));
                }
                packet = ByteBuffer();
                if (client.dropped) break;
                if (max_packets_per_receive != 0 && ++taken >= max_packets_per_receive) break;
            }
            // Whatever arrives shows the client there, a part of a long frame too, though our
            // ping may still be queued behind the stream to it on a congested link.
            if (link.took_bytes()) client.last_receive_ms = now_ms();
            if (client.dropped) continue;
            if (link.frame_refused()) {
                // Nothing behind an unframeable length can be read as packets any more.
                log_message(LogLevel::Warning,
                            "Dropped client " + std::to_string(id) + ": it sent a frame longer than " +
                                std::to_string(link.max_frame_bytes) + " bytes.",
                            log_class_name_of(*this));
                mark_dropped(id, client);
                continue;
            }
            if (status == sf::Socket::Disconnected) {
                mark_dropped(id, client);
            } else if (timeout_ms != 0 && now_ms() - client.last_receive_ms >= timeout_ms) {
                log_message(LogLevel::Warning,
                            "Dropped client " + std::to_string(id) + " (" + link.remote().to_string() +
                                "): nothing came back from it for " +
                                std::to_string(now_ms() - client.last_receive_ms) + " ms.",
                            log_class_name_of(*this));
                mark_dropped(id, client);
            } else if (timeout_ms != 0 && now_ms() - client.last_pong_ms >= timeout_ms * unanswered_ping_timeouts) {
                log_message(LogLevel::Warning,
                            "Dropped client " + std::to_string(id) + " (" + link.remote().to_string() +
                                "): it answered no ping for " + std::to_string(now_ms() - client.last_pong_ms) + " ms.",
                            log_class_name_of(*this));
                mark_dropped(id, client);
            }
        }
    }
    keep_alive();
}

void TcpServer::keep_alive() {
    if (std::optional<ByteBuffer> ping = due_keep_alive()) send(*ping);
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

const ConnectedClient* TcpServer::client(unsigned int id) const {
    auto it = clients.find(id);
    return it == clients.end() ? nullptr : &it->second;
}

bool TcpServer::path_to(const Connection& peer, PathReport& out) const {
    for (const auto& [id, client] : clients)
        if (!client.dropped && client.link && client.link->remote() == peer) return client.link->path(out);
    return false;
}
