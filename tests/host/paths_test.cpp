#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "paths.h"
#include "support/temp_env.h"

namespace {
namespace fs = std::filesystem;

// Two copies of an engine folder with different weights can play each other
// only if each engine runs beside its own folder.
TEST(LocateEngine, NamedLibraryInAnEnginesFolderRunsBesideIt) {
  fs::path root = qbtest::make_temp_dir("paths");
  fs::create_directories(root / "a" / "engines");
  fs::create_directories(root / "b");
  for (const char* lib : {"a/engines/lib.so", "b/lib.so"}) std::ofstream(root / lib) << "x";

  host::EngineLocation in_engines = host::locate_engine((root / "a/engines/lib.so").string());
  EXPECT_EQ(fs::path(in_engines.workdir), root / "a");
  EXPECT_EQ(fs::path(in_engines.library), root / "a/engines/lib.so");

  EXPECT_EQ(host::locate_engine((root / "b/lib.so").string()).workdir, "");
  EXPECT_EQ(host::locate_engine((root / "a/engines/missing.so").string()).workdir, "");
}

}  // namespace
