#include "interface/base/host_text.h"

#include <cstdarg>
#include <cstdio>

namespace qb {

void write_host_text(char* out, const char* format, ...) {
  if (!out) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, HOST_TEXT_SIZE, format, args);
  va_end(args);
}

}  // namespace qb
