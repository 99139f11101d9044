#pragma once
#include <SFML/Network/UdpSocket.hpp>
#include <map>
#include <set>
#include <vector>

#include "net/sync/protocol.h"
#include "net/transport/send_pace.h"
#include "net/transport/sent_records.h"

// The unreliable channel: each packet goes as one datagram to every peer, a sync packet longer
// than datagram_limit as several sync packets of whole records; datagrams received are filed
// under their sender, or under {broadcast address, sender's port} for senders that are not peers
// when those are accepted at all. A sync packet may go to each peer as only the records that
// changed for it (refresh_sends) and at a pace its path carries (path_monitor).
class Udp : public Protocol {
public:
    Udp();
    ~Udp() override;

    // Binds the socket to the port (0: a free one, see local_port).
    bool bind(unsigned short port);
    void unbind();
    unsigned short local_port() const { return socket_.getLocalPort(); }

    void add_peer(const Connection& peer);
    // The peers: where packets go, and whose datagrams are filed as theirs.
    const std::set<Connection>& peers() const { return peers_; }
    // Forgets the peer with its waiting packets and newest send times.
    void remove_peer(const Connection& peer);

    // One datagram (or one per part) per peer. False when any could not be sent (a datagram
    // that is lost is not retried: the next sync packet carries the state again).
    bool send(const ByteBuffer& packet) override;
    bool send_sync(const ByteBuffer& packet, const ChangeKeys& keys) override;
    void receive() override;

    // Bytes of the datagrams taken so far (a stranger's are not, unless they are accepted).
    uint64_t bytes_received() const { return bytes_received_; }

    bool accept_unknown_senders = false;
    // Sync packets are cut into datagrams of at most this many bytes, so that each fits one IP
    // packet: a datagram split into IP fragments is lost when any fragment is.
    size_t datagram_limit = 1200;
    // Not 0: a sync packet goes to each peer as the records that changed for it, each record
    // coming again at least once in this many packets to the peer (see SentRecords).
    uint32_t refresh_sends = 0;
    // When set, each peer gets sync packets at the pace of its path (see SendPace); it must
    // outlive this transport.
    const PathMonitor* path_monitor = nullptr;
    // How far the interval of the packets to a peer is stretched now; 1 for a peer not paced.
    float peer_stretch(const Connection& peer) const;

protected:
    // Hands one datagram to the socket; the seam where tests put a bad network.
    virtual bool send_datagram(const uint8_t* data, size_t size, const Connection& to);

private:
    struct PeerState {
        SendPace pace;
        SentRecords sent;
    };

    // The packet, cut into datagrams of whole records when it is a long sync packet, to the
    // given peers.
    bool send_whole(const ByteBuffer& packet, bool sync, const Connection* only);
    bool send_to_peers(const uint8_t* data, size_t size, const Connection* only);
    // One sync packet per peer that is due, of the records it needs.
    bool send_per_peer(const ByteBuffer& packet, const ChangeKeys& keys);

    sf::UdpSocket socket_;
    std::set<Connection> peers_;
    uint64_t bytes_received_ = 0;
    std::vector<uint8_t> datagram_;
    bool reported_oversize_ = false;
    // Of peers sent to; only remove_peer takes a peer away, and its state with it.
    std::map<Connection, PeerState> peer_states_;
    ByteBuffer picked_;
    struct Due {
        const Connection* peer;
        PeerState* state;
    };
    std::vector<Due> due_;
    // Moves the peer that is looked at first on by one at every send.
    size_t turn_ = 0;
    // Packets that paced peers may still be sent, topped up at every send.
    float send_credit_ = 0.0f;
};
