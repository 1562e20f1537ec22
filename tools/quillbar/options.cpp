#include "options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {

std::optional<int> read_int(const std::string& text, int min, int max) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || v < min || v > max) return std::nullopt;
  return int(v);
}

std::optional<double> read_double(const std::string& text, double min, double max) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || !std::isfinite(v) || v < min || v > max) return std::nullopt;
  return v;
}

bool OptionCursor::value(std::string& out) {
  if (i_ + 1 >= args_.size()) {
    fail(args_[i_] + " needs a value");
    return false;
  }
  out = args_[++i_];
  return true;
}

int OptionCursor::fail(const std::string& message) const {
  std::fprintf(stderr, "%s: %s\n", command_, message.c_str());
  return 2;
}

}  // namespace host
