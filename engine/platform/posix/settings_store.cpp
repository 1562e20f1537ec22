// The settings store on POSIX: the engine's registry key kept as a text file
// in the form of a registry export,
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Orvandel\Quillbar]
//   "HashSize"=dword:00000080
//   "DBPath"="db"
//
// in $XDG_CONFIG_HOME/Orvandel/Quillbar/registry.reg. Strings escape \ and "
// as an export does. A write is a read-modify-write under an exclusive flock
// on a separate lock file (two engines never lose each other's values), and
// the new text replaces the old by rename, so a reader or a crash never sees
// a torn file. A UTF-8 byte-order mark before the header is accepted. A file
// that cannot be read (too large, not an export, a read error) reads as
// missing values, and the next write first moves it aside as
// registry.reg.bad (or .bad1, .bad2 ...), so that no stored setting is lost
// unseen; settings_store_notice() tells it once. Lines that do not parse
// are skipped.
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_env.h"

namespace qb::platform {
namespace {

constexpr const char* HEADER_LINE = "Windows Registry Editor Version 5.00";
constexpr const char* KEY_LINE = "[HKEY_CURRENT_USER\\Software\\Orvandel\\Quillbar]";
constexpr const char* FILE_NAME = "registry.reg";
constexpr const char* LOCK_NAME = "registry.reg.lock";
constexpr const char* SET_ASIDE_SUFFIX = ".bad";
constexpr int SET_ASIDE_NAMES = 100;
constexpr std::size_t MAX_FILE_BYTES = 1 << 20;  // far beyond any real key
constexpr const char* UTF8_BOM = "\xEF\xBB\xBF";

// What a read of the store found.
enum class StoreFile { missing, read, unreadable };

std::string g_notice;  // what the last write had to do with an unreadable file

struct Value {
  std::string name;
  bool is_number = false;
  uint32_t number = 0;
  std::string text;
};
using Values = std::vector<Value>;

std::string store_directory() {
  std::string config = posix::env_text("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    std::string home = posix::home_directory();
    if (home.empty()) return "";
    config = home + "/.config";
  }
  return config + "/Orvandel/Quillbar";
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// Reads a quoted string starting at line[pos]; pos ends after the closing quote.
bool read_quoted(const std::string& line, std::size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= line.size() || (line[pos] != '\\' && line[pos] != '"')) return false;
      c = line[pos];
    }
    out += c;
  }
  return false;
}

bool parse_dword(const std::string& digits, uint32_t& out) {
  if (digits.empty() || digits.size() > 8) return false;
  for (char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  out = uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
  return true;
}

std::optional<Value> parse_value_line(const std::string& line) {
  Value v;
  std::size_t pos = 0;
  if (!read_quoted(line, pos, v.name) || pos >= line.size() || line[pos] != '=') return {};
  std::string rest = line.substr(pos + 1);
  if (rest.rfind("dword:", 0) == 0) {
    v.is_number = true;
    if (!parse_dword(rest.substr(6), v.number)) return {};
    return v;
  }
  std::size_t start = pos + 1;
  if (!read_quoted(line, start, v.text) || start != line.size()) return {};
  return v;
}

// False when the text is no export of the key (its values then cannot be
// known).
bool parse_store(std::string text, Values& values) {
  values.clear();
  if (text.rfind(UTF8_BOM, 0) == 0) text.erase(0, 3);
  bool in_key = false;
  std::size_t line_start = 0;
  bool first = true;
  while (line_start < text.size()) {
    std::size_t end = text.find('\n', line_start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(line_start, end - line_start);
    line_start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line != HEADER_LINE) return false;  // not an export: nothing in it counts
      first = false;
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '[') {
      in_key = line == KEY_LINE;
      continue;
    }
    if (!in_key) continue;
    if (auto v = parse_value_line(line)) values.push_back(*v);
  }
  return true;
}

std::string format_store(const Values& values) {
  std::string text = std::string(HEADER_LINE) + "\n\n" + KEY_LINE + "\n";
  for (const Value& v : values) {
    text += quoted(v.name) + "=";
    if (v.is_number) {
      char digits[16];
      std::snprintf(digits, sizeof digits, "dword:%08" PRIx32, v.number);
      text += digits;
    } else {
      text += quoted(v.text);
    }
    text += '\n';
  }
  return text + "\n";
}

bool read_file(const std::string& path, std::string& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && out.size() <= MAX_FILE_BYTES)
    out.append(chunk, n);
  bool ok = !std::ferror(f) && out.size() <= MAX_FILE_BYTES;
  std::fclose(f);
  return ok;
}

StoreFile load_values(Values& values) {
  values.clear();
  std::string dir = store_directory();
  if (dir.empty()) return StoreFile::missing;
  const std::string path = dir + "/" + FILE_NAME;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return StoreFile::missing;
  if (!S_ISREG(info.st_mode)) return StoreFile::unreadable;  // a FIFO would block the read
  std::string text;
  if (!read_file(path, text)) return StoreFile::unreadable;
  if (text.empty()) return StoreFile::missing;  // nothing in it to lose
  return parse_store(text, values) ? StoreFile::read : StoreFile::unreadable;
}

Values load_values() {
  Values values;
  load_values(values);
  return values;
}

// Moves an unreadable store to the first free registry.reg.bad name.
bool set_aside(const std::string& dir) {
  const std::string path = dir + "/" + FILE_NAME;
  for (int n = 0; n < SET_ASIDE_NAMES; ++n) {
    std::string aside = path + SET_ASIDE_SUFFIX + (n ? std::to_string(n) : "");
    if (::access(aside.c_str(), F_OK) == 0) continue;
    if (std::rename(path.c_str(), aside.c_str()) != 0) return false;
    g_notice =
        "The settings file " + path + " could not be read; kept as " + aside + ", settings stored afresh\n";
    return true;
  }
  return false;
}

// Value names compare as the registry compares them: without case.
// Returns values.size() when the name is not there.
std::size_t find_value(const Values& values, const char* name) {
  std::size_t i = 0;
  while (i < values.size() && strcasecmp(values[i].name.c_str(), name) != 0) ++i;
  return i;
}

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// Writes `text` beside the store and renames it over the store.
bool replace_file(const std::string& dir, const std::string& text) {
  std::string temp = dir + "/" + FILE_NAME + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = write_all(fd, text) && fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temp.c_str(), (dir + "/" + FILE_NAME).c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool store_value(Value value) {
  std::string dir = store_directory();
  if (dir.empty() || !posix::make_directories(dir)) return false;
  int lock = ::open((dir + "/" + LOCK_NAME).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return false;
  bool ok = flock(lock, LOCK_EX) == 0;
  Values values;
  // Never written over: an unreadable store is kept aside first.
  if (ok && load_values(values) == StoreFile::unreadable) ok = set_aside(dir);
  if (ok) {
    std::size_t i = find_value(values, value.name.c_str());
    if (i < values.size()) {
      value.name = values[i].name;  // keep the spelling already in the file
      values[i] = value;
    } else {
      values.push_back(value);
    }
    ok = replace_file(dir, format_store(values));
  }
  ::close(lock);  // also releases the flock
  return ok;
}

// Names and texts must keep the file one value per line.
bool fits_on_a_line(const char* text) { return std::strpbrk(text, "\r\n") == nullptr; }

}  // namespace

std::string settings_store_notice() {
  std::string notice;
  notice.swap(g_notice);
  return notice;
}

bool read_setting_text(const char* name, char* out, std::size_t size) {
  Values values = load_values();
  std::size_t i = find_value(values, name);
  if (i == values.size() || values[i].is_number || values[i].text.size() + 1 > size) return false;
  std::memcpy(out, values[i].text.c_str(), values[i].text.size() + 1);
  return true;
}

bool read_setting_number(const char* name, uint32_t* out) {
  Values values = load_values();
  std::size_t i = find_value(values, name);
  if (i == values.size() || !values[i].is_number) return false;
  *out = values[i].number;
  return true;
}

bool write_setting_text(const char* name, const char* value) {
  if (!fits_on_a_line(name) || !fits_on_a_line(value)) return false;
  Value v;
  v.name = name;
  v.text = value;
  return store_value(v);
}

bool write_setting_number(const char* name, uint32_t value) {
  if (!fits_on_a_line(name)) return false;
  Value v;
  v.name = name;
  v.is_number = true;
  v.number = value;
  return store_value(v);
}

}  // namespace qb::platform
