#include "search/stop.h"

namespace qb {

namespace {
alignas(std::atomic_ref<int32_t>::required_alignment) int32_t g_own_flag = 0;
}

namespace detail {
int32_t* g_stop_flag = &g_own_flag;
}

void set_stop_flag(int32_t* flag) { detail::g_stop_flag = flag ? flag : &g_own_flag; }

}  // namespace qb
