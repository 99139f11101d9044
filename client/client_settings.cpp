#include "client/client_settings.h"

namespace client_settings {
BRAWL_CLIENT_SETTINGS(BRAWL_DEFINE_INI_KEY)
}  // namespace client_settings
