// Tests never touch a user's real files: every test binary runs with HOME and
// the XDG folders pointed at a private temporary directory.
#pragma once

#include <string>

namespace qbtest {

// The private root made at start-up (HOME points here).
const std::string& temp_root();

// Points HOME and the XDG variables at fresh folders below temp_root().
void isolate_environment();

// Sets an environment variable for this process and the ones it starts.
void set_env(const char* name, const std::string& value);

// A new empty directory below temp_root().
std::string make_temp_dir(const std::string& hint);

}  // namespace qbtest
