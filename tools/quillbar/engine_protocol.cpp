#include "engine_protocol.h"

namespace host {

std::string escape_text(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += (unsigned char)c < 0x20 || c == 0x7F ? '?' : c;
    }
  }
  return out;
}

std::string unescape_text(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

bool split_words(const std::string& line, size_t count, std::vector<std::string>& words, std::string& rest) {
  words.clear();
  size_t i = 0;
  while (words.size() < count) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) return false;
    size_t end = line.find(' ', i);
    if (end == std::string::npos) end = line.size();
    words.push_back(line.substr(i, end - i));
    i = end;
  }
  if (!words.empty() && i < line.size()) ++i;  // one separating space; the rest is kept as sent
  rest = line.substr(i);
  return true;
}

}  // namespace host
