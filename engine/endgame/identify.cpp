#include "endgame/identify.h"

#include "endgame/driver_binding.h"
#include "interface/base/settings.h"
#include "platform/platform.h"

namespace qb {

namespace {

bool is_absolute(const std::string& dir) {
  if (dir.empty()) return false;
  if (dir[0] == '/' || dir[0] == '\\') return true;
  return dir.size() > 1 && dir[1] == ':';  // a drive letter
}

}  // namespace

std::string database_directory(const char* setting) {
  std::string dir = setting ? setting : "";
  if (dir.empty() || is_absolute(dir) || platform::path_exists(dir)) return dir;
  std::string in_engines = std::string(g_startup.dir_prefix) + dir;
  return g_startup.dir_prefix[0] && platform::path_exists(in_engines) ? in_engines : dir;
}

bool identify_database(const char* dir, int* type, int* pieces) {
  return driver_identify(database_directory(dir), type, pieces);
}

bool is_wld_type(int type) {
  return type == DB_CAKE || type == DB_CHINOOK || type == DB_QUILLBAR_WLD || type == DB_QUILLBAR_WLD_2;
}

const char* database_type_name(int type) {
  switch (type) {
    case DB_CAKE:
      return "Cake";
    case DB_CHINOOK:
      return "Chinook";
    case DB_QUILLBAR_WLD:
    case DB_QUILLBAR_MTC:
    case DB_QUILLBAR_WLD_2:
    case DB_QUILLBAR_DTW:
      return "Quillbar";
    default:
      return "unknown";
  }
}

const char* auxiliary_kind(int type) {
  return type == DB_QUILLBAR_MTC ? "MTC" : type == DB_QUILLBAR_DTW ? "DTW" : "";
}

}  // namespace qb
