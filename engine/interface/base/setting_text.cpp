#include "interface/base/setting_text.h"

#include <cstring>
#include <mutex>

namespace qb {
namespace {
std::mutex g_text_mutex;
}

std::string get_text_setting(const TextSetting& field) {
  std::lock_guard<std::mutex> lock(g_text_mutex);
  return std::string(field, strnlen(field, PATH_TEXT_SIZE));
}

void set_text_setting(TextSetting& field, const std::string& value) {
  std::size_t n = value.size() < PATH_TEXT_SIZE ? value.size() : PATH_TEXT_SIZE - 1;
  std::lock_guard<std::mutex> lock(g_text_mutex);
  std::memcpy(field, value.data(), n);
  field[n] = '\0';
}

}  // namespace qb
