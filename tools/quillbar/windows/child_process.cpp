// A child program on anonymous pipes. Those pipes cannot wait with a time
// limit, so reads look at what is buffered and sleep briefly when nothing is.
#include <chrono>
#include <cstdio>
#include <mutex>

#include "os.h"
#include "platform/windows/win.h"

namespace host::os {

namespace {

constexpr DWORD READ_POLL_MS = 2;

// The command line a C runtime splits back into exactly these arguments.
std::string quote_argument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');  // before the closing quote
  return out + '"';
}

std::string command_line(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += ' ';
    line += quote_argument(arg);
  }
  return line;
}

// Exit codes from 0xC0000000 up are the system's exception codes.
std::string describe_exit(DWORD code) {
  if (code >= 0xC0000000u) {
    char text[64];
    std::snprintf(text, sizeof text, "crashed (exception 0x%08lX)", static_cast<unsigned long>(code));
    return text;
  }
  return code == 0 ? "exited" : "exited with code " + std::to_string(code);
}

void close_handle(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}

// The child's pipe ends are made inheritable only while the child is
// created, under this lock: a child started meanwhile by another thread
// would otherwise hold our pipes open and hide the end of its sibling.
std::mutex g_spawn_lock;

}  // namespace

struct ChildProcess::State {
  HANDLE process = nullptr;
  HANDLE to_child = nullptr;
  HANDLE from_child = nullptr;
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::~ChildProcess() { finish(0); }

bool ChildProcess::running() const { return state_->process != nullptr; }

bool ChildProcess::start(const std::vector<std::string>& args, const std::string& workdir, const std::string&,
                         std::string& error) {
  finish(0);
  HANDLE child_in = nullptr, child_out = nullptr, to_child = nullptr, from_child = nullptr;
  if (!CreatePipe(&child_in, &to_child, nullptr, 0)) {
    error = "cannot make a pipe: error " + std::to_string(GetLastError());
    return false;
  }
  if (!CreatePipe(&from_child, &child_out, nullptr, 0)) {
    error = "cannot make a pipe: error " + std::to_string(GetLastError());
    CloseHandle(child_in);
    CloseHandle(to_child);
    return false;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in;
  startup.hStdOutput = child_out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::string line = command_line(args);
  BOOL started;
  {
    std::lock_guard<std::mutex> lock(g_spawn_lock);
    SetHandleInformation(child_in, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(child_out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             workdir.empty() ? nullptr : workdir.c_str(), &startup, &process);
  }
  DWORD start_error = GetLastError();
  CloseHandle(child_in);
  CloseHandle(child_out);
  if (!started) {
    CloseHandle(to_child);
    CloseHandle(from_child);
    error = "cannot start " + args[0] + ": error " + std::to_string(start_error);
    return false;
  }
  CloseHandle(process.hThread);
  state_->process = process.hProcess;
  state_->to_child = to_child;
  state_->from_child = from_child;
  return true;
}

bool ChildProcess::write(const std::string& data) {
  if (!state_->to_child) return false;
  size_t done = 0;
  while (done < data.size()) {
    DWORD written = 0;
    if (!WriteFile(state_->to_child, data.data() + done, DWORD(data.size() - done), &written, nullptr) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

ChildProcess::Read ChildProcess::read(std::string& out, int timeout_ms) {
  if (!state_->from_child) return Read::CLOSED;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    DWORD available = 0;
    if (!PeekNamedPipe(state_->from_child, nullptr, 0, nullptr, &available, nullptr))
      return Read::CLOSED;  // the child's end is closed
    if (available > 0) {
      char buf[4096];
      DWORD n = 0;
      DWORD wanted = available < sizeof buf ? available : DWORD(sizeof buf);
      if (!ReadFile(state_->from_child, buf, wanted, &n, nullptr) || n == 0) return Read::CLOSED;
      out.append(buf, n);
      return Read::DATA;
    }
    if (std::chrono::steady_clock::now() >= deadline) return Read::TIMEOUT;
    Sleep(READ_POLL_MS);
  }
}

std::string ChildProcess::finish(double grace) {
  State& s = *state_;
  close_handle(s.to_child);
  close_handle(s.from_child);
  if (!s.process) return "is not running";
  std::string how;
  DWORD wait_ms = grace > 0 ? DWORD(grace * 1000) : 0;
  if (WaitForSingleObject(s.process, wait_ms) == WAIT_TIMEOUT) {
    TerminateProcess(s.process, 1);
    WaitForSingleObject(s.process, INFINITE);
    how = "stopped answering and was killed";
  } else {
    DWORD code = 0;
    how = GetExitCodeProcess(s.process, &code) ? describe_exit(code) : "vanished";
  }
  close_handle(s.process);
  return how;
}

}  // namespace host::os
