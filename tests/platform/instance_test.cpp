#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "support/temp_env.h"

namespace {
using namespace qb::platform;

// The number a fresh child process claims while this process holds its own.
int claim_in_child() {
  pid_t child = fork();
  if (child == 0) {
    release_instance();  // drops only the child's copy of the parent's handle
    _exit(claim_instance(100));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Instance, LowestFreeNumberHeldForTheProcessLife) {
  std::string dir = qbtest::make_temp_dir("runtime");
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  release_instance();

  EXPECT_EQ(claim_instance(100), 0);
  EXPECT_TRUE(std::filesystem::exists(dir + "/Quillbar-English_sem0.lock"));
  EXPECT_EQ(claim_instance(100), 0);  // already held
  EXPECT_EQ(claim_in_child(), 1);
  EXPECT_EQ(claim_in_child(), 1);  // the first child's lock ended with it

  release_instance();
  EXPECT_EQ(claim_in_child(), 0);
}

TEST(Instance, NoneFreeBelowTheLimit) {
  std::string dir = qbtest::make_temp_dir("runtime");
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  release_instance();
  EXPECT_EQ(claim_instance(1), 0);
  pid_t child = fork();
  if (child == 0) {
    release_instance();
    _exit(claim_instance(1) == -1 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  release_instance();
}

TEST(Instance, MissingLockFolderGivesNoNumber) {
  setenv("XDG_RUNTIME_DIR", (qbtest::temp_root() + "/no/such/folder").c_str(), 1);
  release_instance();
  EXPECT_EQ(claim_instance(100), -1);
}

}  // namespace
