#include "interface/command.h"

#include <string>

#include "book/book_move.h"
#include "interface/about.h"
#include "interface/command_words.h"
#include "interface/base/host_text.h"
#include "interface/base/settings.h"

namespace qb {
namespace {

int32_t run_plain_command(const std::string& word, char* reply) {
  if (word == "name") write_host_text(reply, "%s", engine_name().c_str());
  else if (word == "about") write_host_text(reply, "%s", about_text().c_str());
  else if (word == "help") write_host_text(reply, "%s", HELP_FILE);
  else if (word == "protocolversion") write_host_text(reply, "%d", PROTOCOL_VERSION);
  else if (word == "staticevaluation") write_host_text(reply, "%s", NO_STATIC_EVALUATION);
  else if (word == "printbook") {
    print_book();
    write_host_text(reply, "printbook ok");
  } else {
    write_host_text(reply, "Unrecognized command '%.259s', ignored", word.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

int32_t run_command(const char* command, char* reply) {
  const char* p = command;
  std::string word = command::next_word(p);
  if (word == "set") {
    std::string keyword = command::next_word(p);
    return run_set_command(keyword.c_str(), p, reply);
  }
  if (word == "get") return run_get_command(command::next_word(p).c_str(), reply);
  return run_plain_command(word, reply);
}

}  // namespace qb
