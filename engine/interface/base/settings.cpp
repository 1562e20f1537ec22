#include "interface/base/settings.h"

namespace qb {

StartupInfo g_startup;
std::atomic<bool> g_wld_reopen{false};
std::atomic<bool> g_aux_reopen{false};

}  // namespace qb
