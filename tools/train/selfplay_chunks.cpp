#include "train/selfplay_chunks.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "weights/weights_writer.h"

namespace qb::train {

namespace {

std::string plan_text(const ChunkPlan& plan) {
  return "games " + std::to_string(plan.games) + "\nchunk " + std::to_string(plan.chunk_games) + "\n" +
         plan.options + "\n";
}

}  // namespace

bool start_or_resume(const ChunkPlan& plan, std::string& error) {
  // Chunks of an older record version would make the joined file a mix of
  // positions with and without search scores: refused, not converted.
  for (int c = 0; c < plan.chunks(); ++c) {
    const std::string chunk = plan.chunk_path(c);
    if (std::filesystem::exists(chunk) && !is_current_training_file(chunk)) {
      error = chunk + " is not in this program's record format (" +
              std::string(DATA_MAGIC, sizeof DATA_MAGIC) +
              "): finish that run with the selfplay that began it, or remove " + plan.out +
              ".chunk* and the plan to start afresh";
      return false;
    }
  }
  const std::string wanted = plan_text(plan);
  std::ifstream in(plan.plan_path(), std::ios::binary);
  if (in) {
    std::stringstream found;
    found << in.rdbuf();
    if (found.str() == wanted) return true;
    error = plan.plan_path() +
            " holds an earlier run with other options; run it again with those, or remove " + plan.out +
            ".chunk* and the plan to start afresh";
    return false;
  }
  return weights::write_file_atomically(plan.plan_path(), wanted.data(), wanted.size(), &error);
}

std::vector<int> missing_chunks(const ChunkPlan& plan) {
  std::vector<int> missing;
  for (int c = 0; c < plan.chunks(); ++c)
    if (!std::filesystem::exists(plan.chunk_path(c))) missing.push_back(c);
  return missing;
}

long join_chunks(const ChunkPlan& plan, std::string& error) {
  std::vector<TrainingPosition> all;
  for (int c = 0; c < plan.chunks(); ++c)
    if (!read_training_file(plan.chunk_path(c), all, &error)) return -1;
  if (!write_training_file(plan.out, all, &error)) return -1;
  std::error_code ignored;
  for (int c = 0; c < plan.chunks(); ++c) std::filesystem::remove(plan.chunk_path(c), ignored);
  std::filesystem::remove(plan.plan_path(), ignored);
  return long(all.size());
}

}  // namespace qb::train
