// Reading table files: the header and index are checked when the file is
// opened, each block when it is read, so damage is found before any value
// from it is used.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format.h"
#include "indexer.h"

namespace tb {

struct TableFile {
  Kind kind;
  Shape shape;
  FileHeader header{};
  std::vector<uint64_t> offsets;  // blocks + 1, from the start of the data
  std::vector<uint64_t> sums;     // per block
  uint64_t data_start = 0;
  int fd = -1;

  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  ~TableFile();

  int bits() const { return header.value_bits; }
  uint64_t decoded_bytes(uint64_t block) const;
};

// Null with the reason in `why` when the file is missing, of another kind
// or slice, or damaged in its header or index, or of the wrong length.
std::unique_ptr<TableFile> open_table(const std::string& path, Kind kind, const Material& m,
                                      std::string& why);

// Reads, checks and decodes one block into `out` (BLOCK_BYTES long). Safe
// from many threads at once.
bool read_block(const TableFile& f, uint64_t block, uint8_t* out, std::string& why);

// Every block, decoded into one array of raw_bytes(bits(), positions) bytes.
bool read_all_blocks(const TableFile& f, std::vector<uint8_t>& out, std::string& why);

}  // namespace tb
