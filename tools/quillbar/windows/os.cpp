// The host program's operating-system services on Windows.
#include <fcntl.h>
#include <io.h>

#include <filesystem>
#include <random>

#include "os.h"
#include "platform/windows/win.h"
// After windows.h, which it needs.
#include <shellapi.h>

namespace host::os {

std::string executable_path() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? "" : std::string(path, length);
}

bool open_in_browser(const std::string& url) {
  return (intptr_t)ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

std::string host_name() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = "?";
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return "?";
  return name;
}

// The runtime's localtime keeps its result per thread here.
std::tm local_time(std::time_t t) {
  const std::tm* tm = std::localtime(&t);
  return tm ? *tm : std::tm{};
}

// The temporary folder is the user's own on Windows.
std::string make_private_temp_dir(const std::string& prefix) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return "";
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path dir = base / (prefix + std::to_string(random() % 1000000000));
    if (CreateDirectoryA(dir.string().c_str(), nullptr)) return dir.string();
  }
  return "";
}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)); }

int terminal_width() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

// Consoles show escape sequences once asked to (Windows 10 and later).
bool enable_colour(std::FILE* stream) {
  if (!is_terminal(stream)) return false;
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return false;
  return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::FILE* take_standard_output() {
  // Binary: the protocol's lines end in "\n" on every system.
  _setmode(_fileno(stdin), _O_BINARY);
  int protocol_fd = _dup(_fileno(stdout));
  std::FILE* protocol = protocol_fd >= 0 ? _fdopen(protocol_fd, "wb") : nullptr;
  if (!protocol || _dup2(_fileno(stderr), _fileno(stdout)) < 0) return nullptr;
  // Output written through the system rather than the C runtime too.
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
  return protocol;
}

void* load_library(const std::string& path, std::string& error) {
  // No error dialogs in a server: a missing DLL fails the load, and a crash
  // ends the process at once, for the host to report.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // By its full path and with its own folder searched first, so that an
  // engine finds the DLLs it imports (the database driver) beside it.
  char full[MAX_PATH];
  DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  HMODULE library = length > 0 && length < MAX_PATH
                        ? LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                        : LoadLibraryA(path.c_str());
  if (!library) {
    char text[256] = "";
    DWORD code = GetLastError();
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
      message.pop_back();
    error = "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
  }
  return library;
}

void* find_symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace host::os
