// Settings persist in the registry, in the engine's key under
// HKEY_CURRENT_USER. Every call opens and closes the key by itself, so two
// engines loaded at the same time always see each other's latest values.
#include <cstring>

#include "platform/platform.h"
#include "platform/windows/win.h"

namespace qb::platform {

namespace {

constexpr const char* SETTINGS_KEY = "Software\\Orvandel\\Quillbar";
char KEY_CLASS[] = "Qb_key";  // the API takes a non-const pointer

// Reads a value of the expected type into `data` (at most `*size` bytes);
// `*size` then holds the stored length.
bool query_value(const char* name, DWORD expected_type, void* data, DWORD* size) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD type = REG_NONE;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == expected_type;
}

bool set_value(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_CLASS, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

bool read_setting_text(const char* name, char* out, std::size_t size) {
  // A stored string longer than the setting buffer counts as missing: the
  // query then fails with ERROR_MORE_DATA.
  char buffer[SETTING_TEXT_SIZE];
  DWORD length = sizeof buffer;
  if (!query_value(name, REG_SZ, buffer, &length)) return false;
  // The stored bytes need not end in a NUL; a string filling the whole
  // buffer without one does not fit.
  if (length == 0 || buffer[length - 1] != '\0') {
    if (length >= sizeof buffer) return false;
    buffer[length++] = '\0';
  }
  std::size_t text_length = std::strlen(buffer);
  if (text_length >= size) return false;
  std::memcpy(out, buffer, text_length + 1);
  return true;
}

bool read_setting_number(const char* name, uint32_t* out) {
  DWORD value = 0;
  DWORD length = sizeof value;
  if (!query_value(name, REG_DWORD, &value, &length) || length != sizeof value) return false;
  *out = value;
  return true;
}

bool write_setting_text(const char* name, const char* value) {
  return set_value(name, REG_SZ, value, DWORD(std::strlen(value) + 1));
}

bool write_setting_number(const char* name, uint32_t value) {
  DWORD dword = value;
  return set_value(name, REG_DWORD, &dword, sizeof dword);
}

// The registry keeps its own values safe: nothing is ever set aside.
std::string settings_store_notice() { return ""; }

}  // namespace qb::platform
