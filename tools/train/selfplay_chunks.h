// A self-play run in chunks: games are numbered, each chunk of consecutive
// games is played by one worker and written to a file of its own, and the
// run's options are kept beside them. An interrupted run, started again
// with the same options, plays only the chunks that are missing; the output
// joins the chunks in order, so it does not depend on how the run was cut
// or how many workers played it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "train/training_data.h"

namespace qb::train {

struct ChunkPlan {
  std::string out;  // the joined output file; chunks and the plan sit beside it
  int games = 0;
  int chunk_games = 100;
  std::string options;  // the run's options that shape its games, as text

  int chunks() const { return (games + chunk_games - 1) / chunk_games; }
  int first_game(int chunk) const { return chunk * chunk_games; }
  int end_game(int chunk) const { return std::min(games, (chunk + 1) * chunk_games); }
  std::string chunk_path(int chunk) const { return out + ".chunk" + std::to_string(chunk); }
  std::string plan_path() const { return out + ".plan"; }
};

// Writes the plan file, or checks that the one left by an earlier run has
// the same options and that its chunks hold records of the current format;
// false with the reason otherwise.
bool start_or_resume(const ChunkPlan& plan, std::string& error);

// The chunks not written yet.
std::vector<int> missing_chunks(const ChunkPlan& plan);

// Joins every chunk, in order, into the output file and then removes the
// chunks and the plan. Returns the number of positions, or -1 with `error`.
long join_chunks(const ChunkPlan& plan, std::string& error);

}  // namespace qb::train
