#include "endgame/identify.h"

namespace qb {

// The driver binding replaces this body with the driver's identify call;
// until then no directory holds a database.
bool identify_database(const char*, int*, int*) { return false; }

bool is_wld_type(int type) {
  return type == DB_CAKE || type == DB_CHINOOK || type == DB_QUILLBAR_WLD ||
         type == DB_QUILLBAR_WLD_2;
}

const char* database_type_name(int type) {
  switch (type) {
    case DB_CAKE: return "Cake";
    case DB_CHINOOK: return "Chinook";
    case DB_QUILLBAR_WLD:
    case DB_QUILLBAR_MTC:
    case DB_QUILLBAR_WLD_2:
    case DB_QUILLBAR_DTW: return "Quillbar";
    default: return "unknown";
  }
}

const char* auxiliary_kind(int type) {
  return type == DB_QUILLBAR_MTC ? "MTC" : type == DB_QUILLBAR_DTW ? "DTW" : "";
}

}  // namespace qb
