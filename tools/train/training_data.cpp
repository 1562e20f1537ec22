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

bool read_all(const std::string& path, std::vector<char>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char block[1 << 16];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) errno = EIO;
  return ok;
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
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  std::vector<char> bytes;
  if (!read_all(path, bytes)) return fail(std::strerror(errno));
  bool current =
      bytes.size() >= sizeof DATA_MAGIC && std::memcmp(bytes.data(), DATA_MAGIC, sizeof DATA_MAGIC) == 0;
  bool first = bytes.size() >= sizeof DATA_MAGIC &&
               std::memcmp(bytes.data(), FIRST_DATA_MAGIC, sizeof FIRST_DATA_MAGIC) == 0;
  if (!current && !first)
    return fail("not a training data file (or of a version this program does not know): wanted " +
                std::string(DATA_MAGIC, sizeof DATA_MAGIC) + " or " +
                std::string(FIRST_DATA_MAGIC, sizeof FIRST_DATA_MAGIC));
  const std::size_t record_size = current ? sizeof(TrainingPosition) : FIRST_RECORD_SIZE;
  const std::size_t payload = bytes.size() - sizeof DATA_MAGIC;
  if (payload % record_size != 0) return fail("truncated record");
  std::vector<TrainingPosition> records(payload / record_size);
  const char* at = bytes.data() + sizeof DATA_MAGIC;
  for (std::size_t i = 0; i < records.size(); ++i, at += record_size) {
    if (current) std::memcpy(&records[i], at, record_size);
    else records[i] = from_first_record(at);
    if (const char* fault = record_fault(records[i]))
      return fail(fault + (" in record " + std::to_string(i)));
  }
  out.insert(out.end(), records.begin(), records.end());
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
