#include "endgame/driver_binding.h"

#include "interface/base/log.h"
#include "tbdrv.h"

namespace qb {

namespace {

// Read when the library is loaded, as a check that the driver it was linked
// against is the one found beside it; the engine needs nothing from it.
[[maybe_unused]] const int32_t g_driver_version = tbdrv_version;

void log_driver_message(const char* text) { log_text(text); }

}  // namespace

bool driver_identify(const std::string& dir, int* type, int* pieces) {
  *type = 0;
  *pieces = 0;
  // The log names every file that kept a larger database from being used.
  return tbdrv_identify_report(dir.c_str(), type, pieces, log_driver_message) == 0;
}

EndgameDriver* driver_open(int pieces, int cache_mb, const std::string& dir) {
  return tbdrv_open(0, pieces, cache_mb, dir.c_str(), log_driver_message);
}

void driver_close(EndgameDriver*& handle) {
  if (!handle) return;
  handle->ops->close(handle);
  handle = nullptr;
}

int driver_lookup(EndgameDriver* handle, const Position& p, Side side, bool conditional) {
  const tbdrv_position at{p.pieces[BLACK], p.pieces[WHITE], p.kings};
  return handle->ops->lookup(handle, &at, side, conditional ? 1 : 0);
}

}  // namespace qb
