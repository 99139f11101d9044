#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/lan/announcement.h"
#include "net/transport/udp.h"

struct ServerEntry {
    std::string name;
    int64_t expiry_ms = 0;
};

// One server as the join menu lists it.
struct ServerInfo {
    std::string name;
    Connection connection;
};

// Lists the servers that announce themselves on the local network: listens on the
// announcement port, reads each announcement as a Read pass of its own field list (object 0
// of a one-object map), and forgets a server that was not announced for the entry life.
class Browser : public Networkable {
public:
    // port 0 binds a free port (see local_port); a bind failure is printed and otherwise
    // ignored, the list then stays empty. clock: the clock of the browser's transport.
    explicit Browser(float entry_life_s, unsigned short port = lan_announce_port, const NetClock* clock = nullptr);

    // Takes in the announcements received since the last call, then erases every entry whose
    // expiry time has come.
    void update();
    // One ServerInfo per entry, by port and then address.
    void list_servers(std::vector<ServerInfo>& out) const;

    void sync_fields() override;

    unsigned short local_port() const { return udp_.local_port(); }

    int64_t entry_life_ms = 0;
    std::map<Connection, ServerEntry> servers;

private:
    Udp udp_;
    NetworkableMap objects_;
};
