#include "train/training_data.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "weights/weights_writer.h"

namespace qb::train {

bool write_training_file(const std::string& path, const std::vector<TrainingPosition>& data,
                         std::string* error) {
  std::vector<char> bytes(sizeof DATA_MAGIC + data.size() * sizeof(TrainingPosition));
  std::memcpy(bytes.data(), DATA_MAGIC, sizeof DATA_MAGIC);
  if (!data.empty()) std::memcpy(bytes.data() + sizeof DATA_MAGIC, data.data(), data.size() * sizeof data[0]);
  return weights::write_file_atomically(path, bytes.data(), bytes.size(), error);
}

bool read_training_file(const std::string& path, std::vector<TrainingPosition>& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return fail(std::strerror(errno));
  char magic[sizeof DATA_MAGIC];
  bool ok = std::fread(magic, 1, sizeof magic, f) == sizeof magic &&
            std::memcmp(magic, DATA_MAGIC, sizeof magic) == 0;
  if (!ok) {
    std::fclose(f);
    return fail("not a training data file");
  }
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fseek(f, sizeof DATA_MAGIC, SEEK_SET);
  long payload = size - long(sizeof DATA_MAGIC);
  if (payload < 0 || payload % long(sizeof(TrainingPosition)) != 0) {
    std::fclose(f);
    return fail("truncated record");
  }
  std::size_t count = std::size_t(payload) / sizeof(TrainingPosition);
  std::size_t first = out.size();
  out.resize(first + count);
  std::size_t got = std::fread(out.data() + first, sizeof(TrainingPosition), count, f);
  std::fclose(f);
  if (got != count) {
    out.resize(first);
    return fail("read error");
  }
  for (std::size_t i = first; i < out.size(); ++i)
    if (out[i].result > BLACK_WINS) {
      out.resize(first);
      return fail("bad result in record " + std::to_string(i - first));
    }
  return true;
}

}  // namespace qb::train
