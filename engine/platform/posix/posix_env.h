// Helpers shared by the POSIX platform files: environment and user folders.
#pragma once

#include <string>

namespace qb::platform::posix {

// The variable's value, or empty when it is unset.
std::string env_text(const char* name);

// $HOME, else the password database's home folder; empty when neither is known.
std::string home_directory();

// Creates every missing folder along `path`; true when it exists afterwards.
bool make_directories(const std::string& path);

}  // namespace qb::platform::posix
