// One-time initialisation on the first entry call that needs it, and the
// shutdown when the library is unloaded.
#pragma once

namespace qb {

void initialise_engine();  // does nothing after its first run
void shutdown_engine();

// The settings block of the log, written at start-up and again whenever the
// endgame databases are set up.
void log_database_settings();

}  // namespace qb
