#include "one_engine.h"

#include <cstdio>

#include "paths.h"

namespace host {

std::optional<qb::FenPosition> root_position(const std::string& fen) {
  if (fen.empty()) return qb::FenPosition{qb::start_position(), qb::BLACK};
  return qb::parse_fen(fen);
}

bool start_one_engine(const char* command, const std::string& library, EngineProcess& engine) {
  EngineLocation where = locate_engine(library);
  std::string error;
  if (engine.start(EngineConfig{where.library, "", where.workdir, "", {}}, error)) return true;
  std::fprintf(stderr, "%s: the engine %s does not start: %s\n", command, where.library.c_str(),
               error.c_str());
  return false;
}

}  // namespace host
