// A host may unload the engine between searches and load it again. The
// engine's search threads must have ended by then: a thread left running in
// the unmapped library would crash the host.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "board/fen.h"
#include "board/position.h"
#include "interface/exports.h"
#include "interface/host_text.h"
#include "platform/platform.h"

namespace {

int process_threads() {
  int count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
  return count;
}

TEST(Unload, LoadSearchUnloadLoadLeavesNoThreadBehind) {
  const std::string path = std::string(QB_ENGINE_DIR) + "/libquillbar.so";
  // A sanitizer starts a thread of its own along with the process's second.
  std::thread([] {}).join();
  const int threads_before = process_threads();
  const bool machine_has_helpers = qb::platform::processor_count() > 1;
  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    void* engine = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(engine, nullptr) << dlerror();
    auto command = reinterpret_cast<decltype(&enginecommand)>(dlsym(engine, "enginecommand"));
    auto move = reinterpret_cast<decltype(&getmove)>(dlsym(engine, "getmove"));
    ASSERT_TRUE(command && move);

    char text[qb::HOST_TEXT_SIZE] = "";
    command("set searchthreads 2", text);
    int32_t board[8][8];
    qb::to_host_board(qb::start_position(), board);
    int32_t playnow = 0;
    EXPECT_EQ(move(board, 0, 0.2, text, &playnow, 1, 0), QB_UNKNOWN);
    EXPECT_NE(qb::from_host_board(board), qb::start_position());
    if (machine_has_helpers) {
      EXPECT_GT(process_threads(), threads_before);
    }

    ASSERT_EQ(dlclose(engine), 0);
    EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stayed loaded";
    EXPECT_EQ(process_threads(), threads_before);
  }
}

}  // namespace
