// Writes the baseline weights files into the directory given on the command
// line (default: the current directory).
#include <cstdio>
#include <memory>
#include <string>

#include "weights/weights_writer.h"

int main(int argc, char** argv) {
  std::string dir = argc > 1 ? argv[1] : "";
  if (!dir.empty() && dir.back() != '/') dir += '/';
  auto weights = std::make_unique<qb::EvalWeights>();
  qb::weights::make_baseline_weights(*weights);
  std::string error;
  if (!qb::weights::write_weights_files(dir, *weights, &error)) {
    std::fprintf(stderr, "make_baseline_weights: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
