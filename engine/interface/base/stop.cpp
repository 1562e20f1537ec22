#include "interface/base/stop.h"

namespace qb {

std::atomic<int32_t*> g_stop_flag{nullptr};

}  // namespace qb
