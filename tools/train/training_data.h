// Training positions as the self-play generator writes them and the trainer
// reads them: a short header naming the version, then one fixed-size record
// per position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

namespace qb::train {

// Game results from Black's side, as stored.
enum Result : uint8_t { WHITE_WINS = 0, DRAWN = 1, BLACK_WINS = 2 };

// Marks a record without a search score: its move was random, or the
// databases proved it and the game ended there, or it came from a file of
// the first version, which stored none.
constexpr int16_t NO_SCORE = INT16_MIN;

// One quiet position of a game and how that game ended (or, when `exact` is
// set, the endgame databases' verdict on the position itself), with the
// value the search that chose its move gave it.
struct TrainingPosition {
  uint32_t black, white, kings;
  uint8_t result;            // Result
  uint8_t side;              // to move
  uint8_t exact;             // 1: result is the position's proven value
  uint8_t ply;               // in the game, capped at 255
  int16_t score = NO_SCORE;  // Black's view, hundredths of a man
  uint8_t depth = 0;         // of the search that gave `score`
  uint8_t unused = 0;
};
static_assert(sizeof(TrainingPosition) == 20);

inline Position position_of(const TrainingPosition& t) { return Position{{t.black, t.white}, t.kings}; }
inline bool has_score(const TrainingPosition& t) { return t.score != NO_SCORE; }

// The headers: the format's name and version. Files are written in the
// current version; the first (16-byte records without a score) is still read.
constexpr char DATA_MAGIC[8] = {'Q', 'B', 'T', 'R', 'A', 'I', 'N', '2'};
constexpr char FIRST_DATA_MAGIC[8] = {'Q', 'B', 'T', 'R', 'A', 'I', 'N', '1'};
constexpr std::size_t FIRST_RECORD_SIZE = 16;

// Writes the header and records; false with a reason in `error` on failure.
bool write_training_file(const std::string& path, const std::vector<TrainingPosition>& data,
                         std::string* error);
// Appends the records of one file (which must carry a header) to `out`.
bool read_training_file(const std::string& path, std::vector<TrainingPosition>& out, std::string* error);
// True when the file starts with the current version's header.
bool is_current_training_file(const std::string& path);

}  // namespace qb::train
