#include <unistd.h>

#include "platform/platform.h"

namespace qb::platform {

uint32_t process_id() { return uint32_t(getpid()); }

}  // namespace qb::platform
