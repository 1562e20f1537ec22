// The Windows platform layer against the Windows services themselves: the
// registry key and its values, the named instance semaphores, folders, the
// machine queries, threads and events. Runs in a throwaway Wine prefix
// (tools/windows/run-wine-tests).
#include <gtest/gtest.h>

#include <intrin.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/windows/win.h"
#include "support/temp_env.h"

using namespace qb::platform;

namespace {

constexpr const char* KEY_PATH = "Software\\Orvandel\\Quillbar";

void delete_settings_key() { RegDeleteTreeA(HKEY_CURRENT_USER, KEY_PATH); }

// Stores a value with the raw API, bypassing the engine's writer.
void store_raw(const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

bool semaphore_exists(int n) {
  std::string name = "Quillbar-English_sem" + std::to_string(n);
  HANDLE h = OpenSemaphoreA(SYNCHRONIZE, FALSE, name.c_str());
  if (h) CloseHandle(h);
  return h != nullptr;
}

class Registry : public testing::Test {
 protected:
  void SetUp() override { delete_settings_key(); }
  void TearDown() override { delete_settings_key(); }
};

}  // namespace

TEST_F(Registry, ValuesRoundTripWithTheirTypes) {
  ASSERT_TRUE(write_setting_text("DBPath", "C:\\Program Files\\db dir"));
  ASSERT_TRUE(write_setting_number("HashSize", 0xFFFFFFFFu));
  char text[SETTING_TEXT_SIZE] = "";
  uint32_t number = 0;
  EXPECT_TRUE(read_setting_text("DBPath", text, sizeof text));
  EXPECT_STREQ(text, "C:\\Program Files\\db dir");
  EXPECT_TRUE(read_setting_number("HashSize", &number));
  EXPECT_EQ(number, 0xFFFFFFFFu);

  // The values are what any registry reader sees: REG_SZ with its NUL and
  // a 4-byte REG_DWORD, under HKEY_CURRENT_USER.
  char raw[64];
  DWORD type = 0, size = sizeof raw;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, KEY_PATH, "DBPath", RRF_RT_ANY, &type, raw, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(size, std::strlen("C:\\Program Files\\db dir") + 1);
  size = sizeof raw;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, KEY_PATH, "HashSize", RRF_RT_ANY, &type, raw, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(size, 4u);
}

TEST_F(Registry, NewKeyCarriesTheClassString) {
  ASSERT_TRUE(write_setting_number("UseBook", 2));
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KEY_PATH, 0, KEY_READ, &key), ERROR_SUCCESS);
  char class_name[32] = "";
  DWORD class_length = sizeof class_name;
  ASSERT_EQ(RegQueryInfoKeyA(key, class_name, &class_length, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_STREQ(class_name, "Qb_key");
}

TEST_F(Registry, UnusableValuesReadAsMissing) {
  char text[SETTING_TEXT_SIZE] = "untouched";
  uint32_t number = 7;
  // No key at all.
  EXPECT_FALSE(read_setting_text("DBPath", text, sizeof text));
  EXPECT_FALSE(read_setting_number("HashSize", &number));

  // Wrong types.
  ASSERT_TRUE(write_setting_number("DBPath", 5));
  ASSERT_TRUE(write_setting_text("HashSize", "128"));
  EXPECT_FALSE(read_setting_text("DBPath", text, sizeof text));
  EXPECT_FALSE(read_setting_number("HashSize", &number));

  // A string of 260 characters does not fit the 260-byte buffer with its NUL.
  std::string long_path(SETTING_TEXT_SIZE, 'x');
  ASSERT_TRUE(write_setting_text("MtcPath", long_path.c_str()));
  EXPECT_FALSE(read_setting_text("MtcPath", text, sizeof text));
  // 259 characters do.
  long_path.pop_back();
  ASSERT_TRUE(write_setting_text("MtcPath", long_path.c_str()));
  EXPECT_TRUE(read_setting_text("MtcPath", text, sizeof text));
  EXPECT_EQ(text, long_path);
  // ... but not a caller's smaller buffer.
  char small[8] = "";
  EXPECT_FALSE(read_setting_text("MtcPath", small, sizeof small));

  // A DWORD stored with the wrong size (REG_DWORD of 2 bytes).
  uint16_t half = 3;
  store_raw("max_dbpieces", REG_DWORD, &half, sizeof half);
  EXPECT_FALSE(read_setting_number("max_dbpieces", &number));
  EXPECT_EQ(number, 7u);
  EXPECT_STREQ(small, "");
}

TEST_F(Registry, StringStoredWithoutItsNulStillReads) {
  store_raw("bookfile", REG_SZ, "book.odb", 8);  // no terminating NUL
  char text[SETTING_TEXT_SIZE];
  ASSERT_TRUE(read_setting_text("bookfile", text, sizeof text));
  EXPECT_STREQ(text, "book.odb");
  // The same without a NUL and filling the whole buffer does not fit.
  std::string full(SETTING_TEXT_SIZE, 'y');
  store_raw("bookfile", REG_SZ, full.data(), DWORD(full.size()));
  EXPECT_FALSE(read_setting_text("bookfile", text, sizeof text));
}

TEST(Instance, ClaimsTheLowestFreeSemaphoreAndReleasesIt) {
  // Another engine holds number 0.
  HANDLE other = CreateSemaphoreA(nullptr, 1, 1, "Quillbar-English_sem0");
  ASSERT_NE(other, nullptr);
  ASSERT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

  ASSERT_FALSE(semaphore_exists(1));
  EXPECT_EQ(claim_instance(100), 1);
  EXPECT_TRUE(semaphore_exists(1));
  EXPECT_EQ(claim_instance(100), 1);  // a second claim keeps the number
  release_instance();
  EXPECT_FALSE(semaphore_exists(1));

  // All numbers below the limit taken: none claimed.
  EXPECT_EQ(claim_instance(1), -1);
  CloseHandle(other);
  EXPECT_EQ(claim_instance(1), 0);
  release_instance();
  EXPECT_FALSE(semaphore_exists(0));
}

TEST(Folders, DocumentsFolderIsTheShellsPersonalFolder) {
  std::string documents = documents_folder();
  ASSERT_FALSE(documents.empty());
  DWORD attributes = GetFileAttributesA(documents.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Folders, MakeDirectoryAndProbe) {
  std::string base = qbtest::make_temp_dir("folders");
  std::string dir = join_path(base, "Orvandel");
  EXPECT_FALSE(path_exists(dir));
  EXPECT_TRUE(make_directory(dir));
  EXPECT_TRUE(make_directory(dir));  // already there
  EXPECT_TRUE(path_exists(dir));

  std::string file = join_path(base, "engines");
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(path_exists(file));      // any entry counts
  EXPECT_FALSE(make_directory(file));  // a file is no directory
  EXPECT_FALSE(make_directory(join_path(base, "missing\\deeper")));
}

TEST(Folders, CurrentDirectoryFollowsTheProcess) {
  std::string saved = current_directory();
  ASSERT_FALSE(saved.empty());
  std::string dir = qbtest::make_temp_dir("cwd");
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  std::string now = current_directory();
  SetCurrentDirectoryA(saved.c_str());
  char expected[MAX_PATH];
  ASSERT_NE(GetFullPathNameA(dir.c_str(), MAX_PATH, expected, nullptr), 0u);
  EXPECT_EQ(now, expected);
}

TEST(Folders, JoinPath) {
  struct {
    const char* dir;
    const char* name;
    const char* joined;
  } cases[] = {
      {"", "quillbar.ini", "quillbar.ini"},
      {"C:\\Users\\me\\Documents", "Orvandel", "C:\\Users\\me\\Documents\\Orvandel"},
      {"C:\\", "Orvandel", "C:\\Orvandel"},
      {"engines\\", "weights_v3.bin", "engines\\weights_v3.bin"},
      {"D:", "db", "D:db"},
  };
  for (auto c : cases) EXPECT_EQ(join_path(c.dir, c.name), c.joined) << c.dir;
}

TEST(Machine, ProcessorsAndMemory) {
  int processors = processor_count();
  EXPECT_GE(processors, 1);
  EXPECT_LE(processors, int(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)));
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  ASSERT_TRUE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(installed_ram_mb(), int(status.ullTotalPhys >> 20));
}

TEST(Machine, ClockCountsFromProcessStart) {
  uint32_t first = process_clock_ms();
  FILETIME created, exited, kernel, user, now;
  ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user));
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  int64_t running_ms = int64_t(ticks(now) - ticks(created)) / 10000;
  // Within a second of the system's own account of the process's age.
  EXPECT_NEAR(double(first), double(running_ms), 1000.0);

  sleep_ms(30);
  uint32_t second = process_clock_ms();
  EXPECT_GE(second - first, 25u);  // Sleep may wake a tick early
}

TEST(Machine, ProcessorIdentification) {
  const CpuInfo& cpu = cpu_info();
  EXPECT_EQ(std::strlen(cpu.vendor), 12u);
  int regs[4];
  __cpuid(regs, 1);
  EXPECT_EQ(cpu.popcnt, bool((regs[2] >> 23) & 1));
  EXPECT_EQ(&cpu, &cpu_info());  // read once
}

TEST(Threads, AutoResetEventWakesOneWaitAndClears) {
  Event* ping = event_create();
  Event* pong = event_create();
  ASSERT_TRUE(ping && pong);
  struct Pair {
    Event* ping;
    Event* pong;
    std::atomic<int> rounds{0};
  } pair{ping, pong};
  ASSERT_TRUE(thread_start(
      [](void* arg) {
        auto* p = static_cast<Pair*>(arg);
        for (int i = 0; i < 3; ++i) {
          event_wait(p->ping);
          p->rounds.fetch_add(1);
          event_set(p->pong);
        }
      },
      &pair));
  for (int i = 1; i <= 3; ++i) {
    event_set(ping);
    event_wait(pong);
    EXPECT_EQ(pair.rounds.load(), i);
    // Auto-reset: the wait consumed the signal.
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(pong), 0), DWORD(WAIT_TIMEOUT));
  }
  event_destroy(ping);
  event_destroy(pong);
}
