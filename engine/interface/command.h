// The command interpreter behind enginecommand: "set keyword value",
// "get keyword", or a plain command. Replies are written into the host's
// buffer; the result is 1 when the command was recognised (also when its
// value was refused), 0 when it was not.
#pragma once

#include <cstdint>
#include <vector>

namespace qb {

int32_t run_command(const char* command, char* reply);

// The parts, each given the text after its keyword.
int32_t run_set_command(const char* keyword, const char* args, char* reply);
int32_t run_get_command(const char* keyword, char* reply);

// The keywords "set" and "get" accept, in the order they are tested; the help
// page is made from these lists so it names exactly what the engine takes.
std::vector<const char*> set_keywords();
std::vector<const char*> get_keywords();

// The reply of the directory checks: `found` with the type and piece count
// that identify reported.
enum class DatabaseKind { wld, auxiliary };
void database_check_reply(char* reply, DatabaseKind kind, const char* dir, bool found, int type, int pieces);

}  // namespace qb
