// Training positions as the self-play generator writes them and the trainer
// reads them: a short header, then one fixed-size record per position.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

namespace qb::train {

// Game results from Black's side, as stored.
enum Result : uint8_t { WHITE_WINS = 0, DRAWN = 1, BLACK_WINS = 2 };

// One quiet position of a game and how that game ended (or, when `exact` is
// set, the endgame databases' verdict on the position itself).
struct TrainingPosition {
  uint32_t black, white, kings;
  uint8_t result;  // Result
  uint8_t side;    // to move
  uint8_t exact;   // 1: result is the position's proven value
  uint8_t ply;     // in the game, capped at 255
};
static_assert(sizeof(TrainingPosition) == 16);

inline Position position_of(const TrainingPosition& t) { return Position{{t.black, t.white}, t.kings}; }

// "QBTRAIN1": the format's name and version.
constexpr char DATA_MAGIC[8] = {'Q', 'B', 'T', 'R', 'A', 'I', 'N', '1'};

// Writes the header and records; false with a reason in `error` on failure.
bool write_training_file(const std::string& path, const std::vector<TrainingPosition>& data,
                         std::string* error);
// Appends the records of one file (which must carry the header) to `out`.
bool read_training_file(const std::string& path, std::vector<TrainingPosition>& out, std::string* error);

}  // namespace qb::train
