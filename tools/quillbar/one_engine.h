// What the one-shot commands (move, analyse, command) share: the position
// they were given and the one engine they start.
#pragma once

#include <optional>
#include <string>

#include "board/fen.h"
#include "engine_process.h"

namespace host {

// The position of a --fen option; the start position when none was given.
std::optional<qb::FenPosition> root_position(const std::string& fen);

// Starts the engine library the user named, or the default one; false after
// telling why on standard error, prefixed with `command`.
bool start_one_engine(const char* command, const std::string& library, EngineProcess& engine);

}  // namespace host
