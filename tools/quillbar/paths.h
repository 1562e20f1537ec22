// Where the host finds its engine and data. In normal use the working
// directory is build/, which holds engines/ and openings/; when it is not,
// the same files are looked for beside the quillbar program.
#pragma once

#include <string>

#include "os.h"

namespace host {

constexpr const char* DEFAULT_ENGINE = os::ENGINE_LIBRARY;
constexpr const char* DEFAULT_DECK = "openings/three-move-deck.txt";

std::string executable_dir();  // empty when unknown

struct EngineLocation {
  std::string library;
  std::string workdir;  // where the engine finds its data; empty: ours
};

// An engine library named by the user, or the default one: in the working
// directory's engines/, else in the program's (and then the engine runs
// there, so that it finds its data files next to it). A named library that
// sits in a folder called engines runs in that folder's parent, likewise.
EngineLocation locate_engine(const std::string& requested);

// A data file given relative to build/: found in the working directory or
// beside the program; returned as given when neither has it.
std::string find_data_file(const std::string& relative);

}  // namespace host
