// train: fits both weights blocks to self-play positions and writes the
// weights files, checking them by loading them as the engine does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "eval/evaluate.h"
#include "eval/weights.h"
#include "train/features.h"
#include "train/loss_plot.h"
#include "train/model.h"
#include "train/training_data.h"
#include "weights/weights_writer.h"

namespace {

using namespace qb::train;

constexpr int CHECKED_POSITIONS = 20000;

const char* const USAGE =
    "usage: train --data FILE [--data FILE ...] --out DIR [options]\n"
    "  --epochs N      passes over the data (default 8)\n"
    "  --lr X          Adam step in file units at the start (default 4)\n"
    "  --decay X       step factor per epoch (default 0.75)\n"
    "  --l2 X          L2 pull on pattern entries, e.g. 1e-4 (default 0: none)\n"
    "  --scale K       logistic scale in hundredths of a man (default 100)\n"
    "  --batch N       positions per step (default 1024)\n"
    "  --holdout F     share of each file, from its end, held out (default 0.05)\n"
    "  --seed S        shuffling seed (default 1)\n"
    "Writes DIR/weights_v3.bin, DIR/weights_nk_v3.bin, DIR/loss.txt and DIR/loss.png.\n";

struct Options {
  std::vector<std::string> data;
  std::string out;
  double holdout = 0.05;
  uint32_t seed = 1;
  TrainSettings train;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    double x = std::atof(v.c_str());
    if (a == "--data") o.data.push_back(v);
    else if (a == "--out") o.out = v.back() == '/' ? v : v + "/";
    else if (a == "--epochs") o.train.epochs = int(x);
    else if (a == "--lr") o.train.learning_rate = x;
    else if (a == "--decay") o.train.rate_decay = x;
    else if (a == "--l2") o.train.l2 = x;
    else if (a == "--scale") o.train.sigmoid_scale = x;
    else if (a == "--batch") o.train.batch = int(x);
    else if (a == "--holdout") o.holdout = x;
    else if (a == "--seed") o.seed = uint32_t(x);
    else return false;
  }
  return argc % 2 == 1 && !o.data.empty() && !o.out.empty() && o.train.epochs >= 0 &&
         o.train.batch > 0 && o.train.sigmoid_scale > 0 && o.holdout >= 0 && o.holdout < 1;
}

Sample make_sample(const TrainingPosition& t) {
  return Sample{extract_features(position_of(t)), float(t.result) / 2};
}

// The written files, loaded as the engine loads them, must score positions
// exactly as the trainer's reading of the same weights does.
bool check_written_weights(const std::string& dir, const std::vector<TrainingPosition>& positions) {
  if (!qb::load_weights(dir.c_str())) {
    std::fprintf(stderr, "train: the engine cannot load the weights written to %s\n", dir.c_str());
    return false;
  }
  size_t n = std::min<size_t>(positions.size(), CHECKED_POSITIONS);
  for (size_t i = 0; i < n; ++i) {
    qb::Position p = position_of(positions[i]);
    qb::PieceSummary s = qb::make_piece_summary(p);
    int engine = qb::evaluate(p, qb::BLACK, s);
    int trainer = black_score(extract_features(p), qb::g_weights);
    if (engine != trainer) {
      std::fprintf(stderr, "train: position %zu scores %d in the engine, %d in the trainer\n", i,
                   engine, trainer);
      return false;
    }
  }
  std::printf("Loaded the written weights; engine and trainer agree on %zu positions\n", n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  auto started = std::chrono::steady_clock::now();
  std::vector<TrainingPosition> training_positions, held_out_positions;
  for (const std::string& path : o.data) {
    std::vector<TrainingPosition> file;
    std::string error;
    if (!read_training_file(path, file, &error)) {
      std::fprintf(stderr, "train: %s\n", error.c_str());
      return 1;
    }
    // The end of a file is whole games (up to one), apart from the rest.
    size_t cut = file.size() - size_t(double(file.size()) * o.holdout);
    training_positions.insert(training_positions.end(), file.begin(), file.begin() + long(cut));
    held_out_positions.insert(held_out_positions.end(), file.begin() + long(cut), file.end());
  }
  std::vector<Sample> training, held_out;
  for (const auto& t : training_positions) training.push_back(make_sample(t));
  for (const auto& t : held_out_positions) held_out.push_back(make_sample(t));
  std::printf("%zu training positions, %zu held out\n", training.size(), held_out.size());

  auto model = std::make_unique<Model>();
  model->reset(qb::BUILTIN_SCALARS);
  auto best = std::make_unique<qb::EvalWeights>();
  model->to_weights(*best);
  std::vector<double> training_loss, held_out_loss;
  std::string table = "epoch  training loss  held-out loss  seconds\n";
  auto add_row = [&](int epoch) {
    training_loss.push_back(model->loss(training, o.train.sigmoid_scale));
    held_out_loss.push_back(model->loss(held_out, o.train.sigmoid_scale));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char row[128];
    std::snprintf(row, sizeof row, "%5d  %13.6f  %13.6f  %7.1f\n", epoch, training_loss.back(),
                  held_out_loss.back(), seconds);
    table += row;
    std::fputs(row, stdout);
    std::fflush(stdout);
  };
  std::fputs(table.c_str(), stdout);
  add_row(0);
  double best_loss = held_out_loss.back();
  std::vector<uint32_t> order(training.size());
  std::iota(order.begin(), order.end(), 0u);
  std::mt19937 random(o.seed);
  double rate = o.train.learning_rate;
  for (int epoch = 1; epoch <= o.train.epochs; ++epoch) {
    std::shuffle(order.begin(), order.end(), random);
    model->train_epoch(training, order, o.train, rate);
    rate *= o.train.rate_decay;
    add_row(epoch);
    if (held_out.empty() || held_out_loss.back() < best_loss) {
      best_loss = held_out_loss.back();
      model->to_weights(*best);
    }
  }
  std::string error;
  std::error_code ec;
  std::filesystem::create_directories(o.out, ec);
  if (!qb::weights::write_weights_files(o.out, *best, &error) ||
      !qb::weights::write_file_atomically(o.out + "loss.txt", table.data(), table.size(), &error) ||
      !write_loss_plot(o.out + "loss.png", training_loss, held_out_loss, &error)) {
    std::fprintf(stderr, "train: %s\n", error.c_str());
    return 1;
  }
  std::printf("Best held-out loss %.6f; weights, loss.txt and loss.png in %s\n", best_loss,
              o.out.c_str());
  if (!check_written_weights(o.out, held_out_positions.empty() ? training_positions : held_out_positions))
    return 1;
  return 0;
}
