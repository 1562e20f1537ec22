// Small helpers for reading command-line options.
#pragma once

#include <optional>
#include <string>

#include "commands.h"

namespace host {

std::optional<int> read_int(const std::string& text, int min, int max);
std::optional<double> read_double(const std::string& text, double min, double max);

// Walks the arguments of one command; value() fetches the word after an
// option and reports a missing one.
class OptionCursor {
 public:
  OptionCursor(const char* command, const Args& args) : command_(command), args_(args) {}
  bool next() { return ++i_ < args_.size(); }
  const std::string& word() const { return args_[i_]; }
  bool is(const char* option) const { return args_[i_] == option; }
  bool value(std::string& out);
  int fail(const std::string& message) const;  // prints "COMMAND: message", returns 2

 private:
  const char* command_;
  const Args& args_;
  size_t i_ = size_t(-1);
};

}  // namespace host
