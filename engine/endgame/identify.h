// Asking a directory which endgame database it holds, and naming the kinds.
#pragma once

#include <string>

namespace qb {

// Database type codes as the driver reports them.
enum DatabaseType : int {
  DB_CAKE = 2,
  DB_CHINOOK = 3,
  DB_QUILLBAR_WLD = 4,
  DB_QUILLBAR_MTC = 5,
  DB_QUILLBAR_WLD_2 = 9,
  DB_QUILLBAR_DTW = 11,
};

// The directory a database setting names. A relative directory that is not
// in the current directory is looked for in the engines folder, where the
// build and the installers put the databases, so a host started beside that
// folder finds them with the default setting "db".
std::string database_directory(const char* setting);

// True when the directory named by `dir` (as above) holds a database; fills
// its type code and the largest number of pieces it covers.
bool identify_database(const char* dir, int* type, int* pieces);

bool is_wld_type(int type);
const char* database_type_name(int type);  // "Cake", "Chinook", "Quillbar" or "unknown"
const char* auxiliary_kind(int type);      // "MTC", "DTW" or ""

}  // namespace qb
