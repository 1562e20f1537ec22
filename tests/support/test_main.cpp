#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_env.h"

int main(int argc, char** argv) {
  qbtest::isolate_environment();
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(qbtest::temp_root(), ignored);
  return result;
}
