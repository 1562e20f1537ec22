#include "weights/weights_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qb::weights {

bool write_file_atomically(const std::string& path, const void* data, std::size_t bytes, std::string* error) {
  std::string temporary = path + ".tmp";
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + " " + temporary + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  };
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (!f) return fail("cannot create");
  bool written = std::fwrite(data, 1, bytes, f) == bytes;
  if (std::fclose(f) != 0 || !written) return fail("cannot write");
  // std::rename does not replace an existing file on Windows; this does, on both.
  std::error_code renamed;
  std::filesystem::rename(temporary, path, renamed);
  if (renamed) {
    if (error) *error = "cannot rename " + temporary + ": " + renamed.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool write_weights_files(const std::string& dir_prefix, const EvalWeights& weights, std::string* error) {
  return write_file_atomically(dir_prefix + KINGS_WEIGHTS_FILE, &weights.kings, sizeof weights.kings,
                               error) &&
         write_file_atomically(dir_prefix + NO_KINGS_WEIGHTS_FILE, &weights.no_kings, sizeof weights.no_kings,
                               error);
}

void set_flat_weights(EvalWeights& weights, const WeightPair (&scalars)[SCALAR_COUNT]) {
  std::memset(&weights, 0, sizeof weights);
  std::memcpy(weights.kings.scalars, scalars, sizeof scalars);
  std::memcpy(weights.no_kings.scalars, scalars, sizeof scalars);
}

void make_baseline_weights(EvalWeights& weights) { set_flat_weights(weights, BUILTIN_SCALARS); }

}  // namespace qb::weights
