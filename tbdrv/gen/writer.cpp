#include "gen/writer.h"

#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "gen/parallel.h"
#include "tablefile.h"

namespace tb {
namespace {

// A block takes the compressor tens of microseconds at the level these
// tables are written with: a share of the whole build, which a table of a
// few dozen blocks already repays splitting.
constexpr uint64_t MIN_PARALLEL_BLOCKS = 32;

int value_bits(Kind kind, const std::vector<Code>& codes) {
  if (kind == Kind::WLD) return 2;
  uint16_t largest = 0;
  for (Code c : codes) largest = std::max(largest, file_value(kind, c));
  return largest < 256 ? 8 : 16;
}

std::vector<uint8_t> raw_values(Kind kind, int bits, const std::vector<Code>& codes,
                                const std::vector<uint64_t>& skipped) {
  std::vector<uint8_t> raw(raw_bytes(bits, codes.size()), 0);
  uint16_t last = 0;
  for (uint64_t i = 0; i < codes.size(); ++i) {
    if (!(skipped[i >> 6] >> (i & 63) & 1)) last = file_value(kind, codes[i]);
    uint64_t at = i * uint64_t(bits);
    raw[at / 8] |= uint8_t(last << (at % 8));
    if (bits == 16) raw[at / 8 + 1] = uint8_t(last >> 8);
  }
  return raw;
}

bool write_all(FILE* f, const void* data, size_t bytes) {
  return bytes == 0 || std::fwrite(data, 1, bytes, f) == bytes;
}

}  // namespace

bool write_table(const std::string& dir, const Material& m, Kind kind, const std::vector<Code>& codes,
                 const std::vector<uint64_t>& skipped, bool wide, int threads, std::string& why) {
  int bits = wide && kind != Kind::WLD ? 16 : value_bits(kind, codes);
  std::vector<uint8_t> raw = raw_values(kind, bits, codes, skipped);
  uint64_t blocks = (raw.size() + BLOCK_BYTES - 1) / BLOCK_BYTES;
  std::vector<std::vector<uint8_t>> packed(blocks);
  parallel_for(
      blocks, threads,
      [&](uint64_t begin, uint64_t end, int) {
        ZSTD_CCtx* ctx = ZSTD_createCCtx();
        for (uint64_t b = begin; b < end; ++b) {
          size_t len = std::min<uint64_t>(BLOCK_BYTES, raw.size() - b * BLOCK_BYTES);
          packed[b].resize(ZSTD_compressBound(len));
          size_t got = ZSTD_compressCCtx(ctx, packed[b].data(), packed[b].size(), &raw[b * BLOCK_BYTES], len,
                                         kind_info(kind).zstd_level);
          packed[b].resize(ZSTD_isError(got) ? 0 : got);
        }
        ZSTD_freeCCtx(ctx);
      },
      1, MIN_PARALLEL_BLOCKS);

  FileHeader h{};
  std::memcpy(h.magic, MAGIC, sizeof MAGIC);
  h.version = FORMAT_VERSION;
  h.type_code = uint32_t(kind_info(kind).type_code);
  h.material_key = uint32_t(m.key());
  h.block_bytes = BLOCK_BYTES;
  h.value_bits = uint16_t(bits);
  h.positions = codes.size();
  h.blocks = blocks;
  std::vector<uint64_t> index(2 * blocks + 1, 0);
  for (uint64_t b = 0; b < blocks; ++b) {
    if (packed[b].empty()) return why = "compression failed", false;
    index[b + 1] = index[b] + packed[b].size();
    index[blocks + 1 + b] = checksum(packed[b].data(), packed[b].size());
  }
  h.data_bytes = index[blocks];
  h.index_checksum = checksum(index.data(), index_bytes(blocks));
  h.header_checksum = checksum(&h, offsetof(FileHeader, header_checksum));

  std::string path = table_path(dir, m, kind);
  std::string temp = path + ".part" + std::to_string(::getpid());
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return why = "cannot create " + temp, false;
  bool ok = write_all(f, &h, sizeof h) && write_all(f, index.data(), index_bytes(blocks));
  for (uint64_t b = 0; ok && b < blocks; ++b) ok = write_all(f, packed[b].data(), packed[b].size());
  // No fsync: it costs more than the table takes to build, and a table
  // that a crash leaves short or damaged fails the checks on its header,
  // index and length, so the next run builds it again.
  ok = std::fclose(f) == 0 && ok;
  // std::rename does not replace an existing table on Windows; this does.
  std::error_code renamed;
  if (ok) std::filesystem::rename(temp, path, renamed);
  if (!ok || renamed) {
    std::remove(temp.c_str());
    return why = "cannot write " + path, false;
  }
  return true;
}

bool table_complete(const std::string& dir, const Material& m, Kind kind) {
  std::string why;
  return open_table(table_path(dir, m, kind), kind, m, why) != nullptr;
}

}  // namespace tb
