#include "interface/ini.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>

#include "eval/dither.h"
#include "interface/base/log.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

constexpr int INI_LINE_SIZE = 500;  // 499 characters and the NUL

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_control(char c) { return (unsigned char)c < 0x20 || c == 0x7F; }
bool is_word_char(char c) { return !is_space(c) && !is_control(c) && c != '=' && c != '"'; }

const char* skip_space(const char* p) {
  while (is_space(*p)) ++p;
  return p;
}

const char* read_word(const char* p, std::string& out) {
  const char* start = p;
  while (*p && is_word_char(*p)) ++p;
  out.assign(start, p);
  return p;
}

}  // namespace

const char* ini_error_text(IniError error) {
  switch (error) {
    case IniError::invalid_number:
      return "invalid stoi argument";
    case IniError::out_of_range:
      return "stoi argument out of range";
    case IniError::unterminated_quote:
      return "unterminated quoted value";
    default:
      return "";
  }
}

IniError parse_ini_line(const char* line, IniEntry& entry) {
  std::string text(line);
  text = text.substr(0, text.find('#'));
  const char* p = read_word(skip_space(text.c_str()), entry.key);
  entry.value.clear();
  p = skip_space(p);
  if (*p != '=') return IniError::none;
  p = skip_space(p + 1);
  if (*p != '"') {
    read_word(p, entry.value);
    return IniError::none;
  }
  const char* end = std::strchr(p + 1, '"');
  if (!end) return IniError::unterminated_quote;
  entry.value.assign(p + 1, end);
  return IniError::none;
}

IniError parse_ini_number(const std::string& value, int32_t& out) {
  const char* start = value.c_str();
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(start, &end, 10);
  if (end == start) return IniError::invalid_number;
  if (errno == ERANGE || n < INT32_MIN || n > INT32_MAX) return IniError::out_of_range;
  out = int32_t(n);
  return IniError::none;
}

IniError apply_ini_entry(const IniEntry& entry) {
  bool known = entry.key == "drawpieces" || entry.key == "dither" || entry.key == "dither-offset";
  if (!known) return IniError::none;
  int32_t n = 0;
  if (IniError error = parse_ini_number(entry.value, n); error != IniError::none) return error;
  if (entry.key == "drawpieces") g_settings.drawpieces = n;
  else if (entry.key == "dither") g_settings.dither = n != 0;
  else rebuild_dither_table(n);
  return IniError::none;
}

void read_ini_file(const std::string& path) {
  std::error_code ignored;  // a FIFO or device would block the start-up
  if (!std::filesystem::is_regular_file(path, ignored)) return;
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return;
  char line[INI_LINE_SIZE];
  for (int number = 1; std::fgets(line, sizeof line, f); ++number) {
    IniEntry entry;
    IniError error = parse_ini_line(line, entry);
    if (error == IniError::none) error = apply_ini_entry(entry);
    if (error != IniError::none)
      log_printf("%s line %d skipped: %s\n", path.c_str(), number, ini_error_text(error));
  }
  std::fclose(f);
}

}  // namespace qb
