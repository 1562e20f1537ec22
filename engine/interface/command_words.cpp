#include "interface/command_words.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qb::command {
namespace {
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

std::string next_word(const char*& p) {
  while (is_space(*p)) ++p;
  const char* start = p;
  while (*p && !is_space(*p)) ++p;
  return std::string(start, p);
}

std::string rest_of_line(const char* p) {
  while (is_space(*p)) ++p;
  return std::string(p, std::strcspn(p, "\r\n"));
}

bool parse_number(const std::string& word, int32_t& out) {
  const char* start = word.c_str();
  if (*start == '+' || *start == '-') ++start;
  if (*start < '0' || *start > '9') return false;  // "%d" needs a digit after the sign
  errno = 0;
  long long n = std::strtoll(word.c_str(), nullptr, 10);
  if (errno == ERANGE || n < INT32_MIN || n > INT32_MAX) return false;
  out = int32_t(n);
  return true;
}

}  // namespace qb::command
