#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/temp_env.h"

namespace {

// A test may start its own program again as a second process (two engines
// at once). That process names itself with this variable and shares the
// first one's private folders, leaving them for the first to remove.
bool is_second_process() {
  const char* value = std::getenv("QBTEST_SECOND_PROCESS");
  return value && *value;
}

// On Windows the engine keeps its settings in the user's registry and its
// log in the user's documents folder; no variable moves them. The tests run
// only in a profile the caller vouches is a throwaway one, such as the fresh
// Wine prefix of tools/windows/run-wine-tests.
bool profile_may_change() {
#ifdef _WIN32
  if (!std::getenv("QBTEST_THROWAWAY_PROFILE")) {
    std::fprintf(stderr,
                 "These tests change the user's registry and documents folder. Run them through "
                 "tools/windows/run-wine-tests, or set QBTEST_THROWAWAY_PROFILE=1 in a throwaway "
                 "profile.\n");
    return false;
  }
#endif
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!profile_may_change()) return 1;
  bool second = is_second_process();
  if (!second) qbtest::isolate_environment();
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  if (!second) {
    std::error_code ignored;
    std::filesystem::remove_all(qbtest::temp_root(), ignored);
  }
  return result;
}
