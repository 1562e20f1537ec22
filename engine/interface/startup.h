// One-time initialisation on the first entry call that needs it, and the
// shutdown when the library is unloaded.
#pragma once

namespace qb {

void initialise_engine();  // does nothing after its first run
void shutdown_engine();

}  // namespace qb
