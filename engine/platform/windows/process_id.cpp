#include <windows.h>

#include "platform/platform.h"

namespace qb::platform {

uint32_t process_id() { return uint32_t(GetCurrentProcessId()); }

}  // namespace qb::platform
