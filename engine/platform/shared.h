// The operating-system services the endgame-database driver shares with the
// engine: the processor's facts, large tables and read-only files. They form
// a library of their own, which the driver links without the rest of the
// engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qb::platform {

// ---- The processor.
struct CpuInfo {
  char vendor[13];  // e.g. "GenuineIntel"; empty off x86
  bool popcnt;
  bool bmi2;
};
const CpuInfo& cpu_info();  // read once, on first use

// ---- Large tables (the hash table, the driver's block cache): `bytes`
// aligned to 64 bytes, backed by large pages where the system offers them,
// so that random probes miss the address translation less often. Null when
// the memory is not available.
void* allocate_large(std::size_t bytes);
void free_large(void* p, std::size_t bytes);

// ---- Read-only files that many threads read at once: reads take an offset
// and never move a shared file position. Only regular files open: a FIFO or
// a device in a database folder must not make the driver wait, so the file
// opens without blocking and is refused (NOT_REGULAR) unless regular.
constexpr int NOT_REGULAR = -2;
int open_read_only(const std::string& path);  // a descriptor; -1 (errno says why) or NOT_REGULAR
bool file_size(int fd, uint64_t& bytes);
bool read_at(int fd, void* buf, uint64_t bytes, uint64_t offset);  // all of it, or false
void close_file(int fd);

}  // namespace qb::platform
