// train: fits both weights blocks to self-play positions and writes the
// weights files, checking them by loading them as the engine does.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "command_line.h"
#include "eval/evaluate.h"
#include "eval/weights.h"
#include "train/data_split.h"
#include "train/features.h"
#include "train/loss_plot.h"
#include "train/model.h"
#include "train/targets.h"
#include "train/training_data.h"
#include "weights/weights_writer.h"

namespace {

using namespace qb::train;

constexpr int CHECKED_POSITIONS = 20000;

struct Options {
  std::vector<std::string> data, test;
  std::string out;
  double holdout = 0.05;
  uint32_t seed = 1;
  TrainSettings train;
};

// Reads the command line into `o`; returns the status to end with when
// there is nothing to train (help asked for, or a mistake).
std::optional<int> parse(int argc, char** argv, Options& o) {
  constexpr int MOST = std::numeric_limits<int>::max();
  constexpr double HUGE_NUMBER = 1e30;
  CLI::App app{"Fits both weights blocks to self-play positions and writes the weights files.", "train"};
  cli::describe(app, "usage: train --data FILE [--data FILE ...] --out DIR [options]");
  app.footer("Writes DIR/weights_v3.bin, DIR/weights_nk_v3.bin, DIR/loss.txt and DIR/loss.svg.");
  cli::add_each(
      app, "--data", [&o](const std::string& path) { o.data.push_back(path); },
      "training data file (repeatable)")
      ->type_name("FILE")
      ->required();
  cli::add_each(
      app, "--test", [&o](const std::string& path) { o.test.push_back(path); },
      "held-out file (repeatable): scored whole, never trained on; with it --holdout takes nothing from "
      "the --data files")
      ->type_name("FILE");
  app.add_option("--out", o.out, "folder the weights go to")->type_name("DIR")->required();
  cli::add_int(app, "--epochs", o.train.epochs, 0, MOST, "--epochs wants 0 or more",
               "passes over the data (default 8)");
  cli::add_double(app, "--lr", o.train.learning_rate, -HUGE_NUMBER, HUGE_NUMBER, "--lr wants a number",
                  "Adam step in file units at the start (default 4)");
  cli::add_double(app, "--decay", o.train.rate_decay, -HUGE_NUMBER, HUGE_NUMBER, "--decay wants a number",
                  "step factor per epoch with --schedule exp (default 0.75)");
  app.add_option_function<std::string>(
         "--schedule",
         [&o](const std::string& name) {
           if (name != "exp" && name != "cosine")
             throw CLI::ValidationError("--schedule wants exp or cosine");
           o.train.schedule = name == "exp" ? RateSchedule::EXPONENTIAL : RateSchedule::COSINE;
         },
         "step size over the run: exp (times --decay each epoch) or cosine (half a cosine from --lr to 0 at "
         "the end of the last epoch) (default exp)")
      ->type_name("exp|cosine")
      ->trigger_on_parse();
  cli::add_double(app, "--blend", o.train.blend, 0, 1, "--blend wants a share from 0 to 1",
                  "share of the search's score in the target of a position that has one, the rest being "
                  "the game's result (default 0: the result alone)")
      ->type_name("L");
  cli::add_double(app, "--endgame-weight", o.train.endgame_weight, 0, HUGE_NUMBER,
                  "--endgame-weight wants 0 or more",
                  "a position's share of the loss, rising linearly from 1 with 24 pieces to W with 2 "
                  "(default 1: all alike)")
      ->type_name("W");
  cli::add_double(app, "--l2", o.train.l2, -HUGE_NUMBER, HUGE_NUMBER, "--l2 wants a number",
                  "L2 pull on pattern entries, e.g. 1e-4 (default 0: none)");
  cli::add_double(app, "--scale", o.train.sigmoid_scale, 1e-9, HUGE_NUMBER, "--scale wants a positive number",
                  "logistic scale in hundredths of a man (default 100)")
      ->type_name("K");
  cli::add_int(app, "--batch", o.train.batch, 1, MOST, "--batch wants a positive number",
               "positions per step (default 1024)");
  cli::add_double(app, "--holdout", o.holdout, 0, std::nextafter(1.0, 0.0),
                  "--holdout wants a share from 0 to below 1",
                  "share of each --data file, from its end, held out when no --test is given (default 0.05)")
      ->type_name("F");
  app.add_option("--seed", o.seed, "shuffling seed (default 1)")->type_name("S");
  if (std::optional<int> status = cli::parse(app, argc, argv)) return status;
  if (!o.test.empty() && app.count("--holdout"))
    return cli::refuse("train", "--holdout has no effect with --test: the test files are the held-out set");
  if (o.out.empty()) return cli::refuse("train", "--out needs a folder");
  if (o.out.back() != '/') o.out += '/';
  return std::nullopt;
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
      std::fprintf(stderr, "train: position %zu scores %d in the engine, %d in the trainer\n", i, engine,
                   trainer);
      return false;
    }
  }
  std::printf("Loaded the written weights; engine and trainer agree on %zu positions\n", n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (std::optional<int> status = parse(argc, argv, o)) return *status;
  auto started = std::chrono::steady_clock::now();
  DataSplit split;
  if (std::string error; !split_training_data(o.data, o.test, o.holdout, split, &error)) {
    std::fprintf(stderr, "train: %s\n", error.c_str());
    return 1;
  }
  std::vector<Sample> training, held_out;
  for (const auto& t : split.training) training.push_back(training_sample(t, o.train));
  for (const auto& t : split.held_out) held_out.push_back(held_out_sample(t));
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
  for (int epoch = 1; epoch <= o.train.epochs; ++epoch) {
    std::shuffle(order.begin(), order.end(), random);
    model->train_epoch(training, order, o.train,
                       [&](double share_done) { return scheduled_rate(o.train, epoch, share_done); });
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
      !write_loss_plot(o.out + "loss.svg", training_loss, held_out_loss, &error)) {
    std::fprintf(stderr, "train: %s\n", error.c_str());
    return 1;
  }
  std::printf("Best held-out loss %.6f; weights, loss.txt and loss.svg in %s\n", best_loss, o.out.c_str());
  if (!check_written_weights(o.out, split.held_out.empty() ? split.training : split.held_out)) return 1;
  return 0;
}
