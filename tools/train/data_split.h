// Which stored positions the trainer learns from and which it only scores.
#pragma once

#include <string>
#include <vector>

#include "train/training_data.h"

namespace qb::train {

struct DataSplit {
  std::vector<TrainingPosition> training, held_out;
};

// Reads the files into `split`. Without test files, the last `holdout` share
// of each data file (whole games, up to one) is held out. With test files,
// those are held out whole and every data file is trained on, so that runs
// with different settings are scored on exactly the same positions. A file
// given both ways is refused, as is any file that cannot be read.
bool split_training_data(const std::vector<std::string>& data, const std::vector<std::string>& test,
                         double holdout, DataSplit& split, std::string* error);

}  // namespace qb::train
