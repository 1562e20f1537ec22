#include "train/data_split.h"

#include <filesystem>

namespace qb::train {
namespace {

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

bool split_training_data(const std::vector<std::string>& data, const std::vector<std::string>& test,
                         double holdout, DataSplit& split, std::string* error) {
  for (const std::string& d : data)
    for (const std::string& t : test)
      if (same_file(d, t)) {
        if (error) *error = t + ": given as training data and as a test file";
        return false;
      }
  for (const std::string& path : test)
    if (!read_training_file(path, split.held_out, error)) return false;
  const double share = test.empty() ? holdout : 0;
  for (const std::string& path : data) {
    std::vector<TrainingPosition> file;
    if (!read_training_file(path, file, error)) return false;
    size_t cut = file.size() - size_t(double(file.size()) * share);
    split.training.insert(split.training.end(), file.begin(), file.begin() + long(cut));
    split.held_out.insert(split.held_out.end(), file.begin() + long(cut), file.end());
  }
  return true;
}

}  // namespace qb::train
