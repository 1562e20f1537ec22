#include "train/training_data.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/score.h"
#include "weights/weights_writer.h"

namespace qb::train {
namespace {

// A record of the first version: the current one without score and depth.
struct FirstRecord {
  uint32_t black, white, kings;
  uint8_t result, side, exact, ply;
};
static_assert(sizeof(FirstRecord) == FIRST_RECORD_SIZE);

TrainingPosition from_first_record(const char* bytes) {
  FirstRecord r;
  std::memcpy(&r, bytes, sizeof r);
  return TrainingPosition{r.black, r.white, r.kings, r.result, r.side, r.exact, r.ply};
}

// Why a record cannot be trusted, or nullptr. A score comes with the depth
// of its search, and lies on the engine's scale.
const char* record_fault(const TrainingPosition& t) {
  if (t.result > BLACK_WINS) return "bad result";
  if (has_score(t) ? t.depth == 0 || std::abs(int(t.score)) > MATE : t.depth != 0) return "bad score";
  return nullptr;
}

// The file's record count after its header; false when the records do not
// fill it exactly.
bool record_count(std::FILE* f, std::size_t record_size, std::size_t& count) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  long size = std::ftell(f);
  long payload = size - long(sizeof DATA_MAGIC);
  if (payload < 0 || payload % long(record_size) != 0) return false;
  count = std::size_t(payload) / record_size;
  return std::fseek(f, sizeof DATA_MAGIC, SEEK_SET) == 0;
}

// Appends `count` records of the file's version to `out`.
bool read_records(std::FILE* f, bool first_version, std::size_t count, std::vector<TrainingPosition>& out) {
  const std::size_t start = out.size();
  if (!first_version) {
    out.resize(start + count);
    return std::fread(out.data() + start, sizeof(TrainingPosition), count, f) == count;
  }
  std::vector<char> bytes(count * FIRST_RECORD_SIZE);
  if (std::fread(bytes.data(), FIRST_RECORD_SIZE, count, f) != count) return false;
  out.reserve(start + count);
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(from_first_record(bytes.data() + i * FIRST_RECORD_SIZE));
  return true;
}

}  // namespace

bool write_training_file(const std::string& path, const std::vector<TrainingPosition>& data,
                         std::string* error) {
  std::vector<char> bytes(sizeof DATA_MAGIC + data.size() * sizeof(TrainingPosition));
  std::memcpy(bytes.data(), DATA_MAGIC, sizeof DATA_MAGIC);
  if (!data.empty()) std::memcpy(bytes.data() + sizeof DATA_MAGIC, data.data(), data.size() * sizeof data[0]);
  return weights::write_file_atomically(path, bytes.data(), bytes.size(), error);
}

bool read_training_file(const std::string& path, std::vector<TrainingPosition>& out, std::string* error) {
  const std::size_t first = out.size();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  auto fail = [&](const std::string& why) {
    if (f) std::fclose(f);
    out.resize(first);
    if (error) *error = path + ": " + why;
    return false;
  };
  if (!f) return fail(std::strerror(errno));
  char magic[sizeof DATA_MAGIC];
  bool read = std::fread(magic, 1, sizeof magic, f) == sizeof magic;
  bool current = read && std::memcmp(magic, DATA_MAGIC, sizeof magic) == 0;
  bool first_version = read && std::memcmp(magic, FIRST_DATA_MAGIC, sizeof magic) == 0;
  if (!current && !first_version)
    return fail("not a training data file (or of a version this program does not know): wanted " +
                std::string(DATA_MAGIC, sizeof DATA_MAGIC) + " or " +
                std::string(FIRST_DATA_MAGIC, sizeof FIRST_DATA_MAGIC));
  std::size_t count = 0;
  if (!record_count(f, current ? sizeof(TrainingPosition) : FIRST_RECORD_SIZE, count))
    return fail("truncated record");
  if (!read_records(f, first_version, count, out)) return fail("read error");
  std::fclose(f);
  f = nullptr;
  for (std::size_t i = first; i < out.size(); ++i)
    if (const char* fault = record_fault(out[i]))
      return fail(fault + (" in record " + std::to_string(i - first)));
  return true;
}

bool is_current_training_file(const std::string& path) {
  char magic[sizeof DATA_MAGIC];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fread(magic, 1, sizeof magic, f) == sizeof magic &&
            std::memcmp(magic, DATA_MAGIC, sizeof magic) == 0;
  std::fclose(f);
  return ok;
}

}  // namespace qb::train
