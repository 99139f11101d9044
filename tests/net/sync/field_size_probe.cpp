// Built by the net_field_size tests only: a synchronised field of PROBE_FIELD (1: long, 2: size_t,
// otherwise long long). The first two must not compile; the third shows the probe itself does.
#include <cstddef>

#include "net/sync/networkable.h"

#if PROBE_FIELD == 1
using ProbeField = long;
#elif PROBE_FIELD == 2
using ProbeField = std::size_t;
#else
using ProbeField = long long;
#endif

class ProbeObject : public Networkable {
public:
    ProbeField value = 0;
    void sync_fields() override { sync_field(value); }
};

void probe_field_size() {
    ProbeObject object;
    object.sync_fields();
}
