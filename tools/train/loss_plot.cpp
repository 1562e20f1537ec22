#include "train/loss_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "weights/weights_writer.h"

namespace qb::train {
namespace {

constexpr int WIDTH = 640, HEIGHT = 400, MARGIN = 50, GRID_LINES = 10;
constexpr const char* GRID_COLOUR = "#e1e1e1";
constexpr const char* AXIS_COLOUR = "#3c3c3c";
constexpr const char* TRAINING_COLOUR = "#1e50dc";
constexpr const char* HELD_OUT_COLOUR = "#dc2828";

// Where the curves fall on the image. A loss that is not a number (a run
// that diverged) has no place and is left out.
struct Frame {
  double low = 0, high = 1;
  size_t points = 2;

  double x(size_t epoch) const { return MARGIN + double(epoch) * (WIDTH - 2 * MARGIN) / double(points - 1); }
  double y(double loss) const {
    return HEIGHT - MARGIN - (loss - low) / (high - low) * (HEIGHT - 2 * MARGIN);
  }
};

Frame frame_for(const std::vector<double>& training, const std::vector<double>& held_out) {
  double low = HUGE_VAL, high = -HUGE_VAL;
  for (const auto* series : {&training, &held_out})
    for (double v : *series)
      if (std::isfinite(v)) low = std::min(low, v), high = std::max(high, v);
  Frame f;
  if (low <= high) {
    double pad = std::max(1e-6, (high - low) * 0.1);
    f.low = low - pad;
    f.high = high + pad;
  }
  f.points = std::max<size_t>(2, std::max(training.size(), held_out.size()));
  return f;
}

std::string format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

std::string line(double x0, double y0, double x1, double y1, const char* colour) {
  return format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\"/>\n", x0, y0, x1, y1,
                colour);
}

std::string grid(const Frame& f) {
  std::string svg;
  for (int g = 0; g <= GRID_LINES; ++g) {
    double y = MARGIN + double(g) * (HEIGHT - 2 * MARGIN) / GRID_LINES;
    svg += line(MARGIN, y, WIDTH - MARGIN, y, GRID_COLOUR);
  }
  for (size_t i = 0; i < f.points; ++i) svg += line(f.x(i), MARGIN, f.x(i), HEIGHT - MARGIN, GRID_COLOUR);
  svg += line(MARGIN, HEIGHT - MARGIN, WIDTH - MARGIN, HEIGHT - MARGIN, AXIS_COLOUR);
  svg += line(MARGIN, MARGIN, MARGIN, HEIGHT - MARGIN, AXIS_COLOUR);
  svg += format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%.4f</text>\n", MARGIN - 4, MARGIN + 4, f.high);
  svg += format("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%.4f</text>\n", MARGIN - 4, HEIGHT - MARGIN + 4,
                f.low);
  svg += format("<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">epoch</text>\n", WIDTH / 2, HEIGHT - 15);
  return svg;
}

std::string curve(const Frame& f, const std::vector<double>& losses, const char* colour) {
  std::string points, dots;
  for (size_t i = 0; i < losses.size(); ++i) {
    if (!std::isfinite(losses[i])) continue;
    points += format("%.1f,%.1f ", f.x(i), f.y(losses[i]));
    dots += format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"/>\n", f.x(i), f.y(losses[i]), colour);
  }
  return format("<polyline fill=\"none\" stroke-width=\"2\" stroke=\"%s\" points=\"", colour) + points +
         "\"/>\n" + dots;
}

std::string legend() {
  return format("<text x=\"%d\" y=\"30\" fill=\"%s\">training</text>\n", MARGIN, TRAINING_COLOUR) +
         format("<text x=\"%d\" y=\"30\" fill=\"%s\">held out</text>\n", MARGIN + 80, HELD_OUT_COLOUR);
}

}  // namespace

bool write_loss_plot(const std::string& path, const std::vector<double>& training,
                     const std::vector<double>& held_out, std::string* error) {
  Frame f = frame_for(training, held_out);
  std::string svg =
      format(
          "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"sans-serif\" "
          "font-size=\"12\">\n<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
          WIDTH, HEIGHT) +
      grid(f) + curve(f, training, TRAINING_COLOUR) + curve(f, held_out, HELD_OUT_COLOUR) + legend() +
      "</svg>\n";
  return weights::write_file_atomically(path, svg.data(), svg.size(), error);
}

}  // namespace qb::train
