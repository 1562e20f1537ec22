#include "tablefile.h"

#include <zstd.h>

#include <cerrno>
#include <cstring>

#include "platform/shared.h"

namespace tb {
namespace {

using qb::platform::close_file;
using qb::platform::file_size;
using qb::platform::NOT_REGULAR;
using qb::platform::open_read_only;
using qb::platform::read_at;

// One decompression context and read buffer per thread, kept for the
// thread's life: creating them per block would cost more than decoding.
struct Decoder {
  ZSTD_DCtx* ctx = ZSTD_createDCtx();
  std::vector<uint8_t> packed;
  ~Decoder() { ZSTD_freeDCtx(ctx); }
};
Decoder& thread_decoder() {
  thread_local Decoder d;
  return d;
}

bool check_header(const FileHeader& h, Kind kind, const Material& m, const Shape& sh, std::string& why) {
  if (std::memcmp(h.magic, MAGIC, sizeof MAGIC) != 0) return why = "not a table file", false;
  if (h.header_checksum != checksum(&h, offsetof(FileHeader, header_checksum)))
    return why = "damaged header", false;
  if (h.version != FORMAT_VERSION) return why = "unsupported format version", false;
  if (h.type_code != uint32_t(kind_info(kind).type_code) || h.material_key != uint32_t(m.key()))
    return why = "holds another table", false;
  bool bits_ok = kind == Kind::WLD ? h.value_bits == 2 : h.value_bits == 8 || h.value_bits == 16;
  if (!bits_ok) return why = "wrong value size", false;
  uint64_t expect_blocks = (raw_bytes(h.value_bits, sh.size) + BLOCK_BYTES - 1) / BLOCK_BYTES;
  if (h.block_bytes != BLOCK_BYTES || h.positions != sh.size || h.blocks != expect_blocks)
    return why = "wrong dimensions", false;
  return true;
}

}  // namespace

TableFile::~TableFile() {
  if (fd >= 0) close_file(fd);
}

uint64_t TableFile::decoded_bytes(uint64_t block) const {
  uint64_t total = raw_bytes(bits(), shape.size);
  uint64_t start = block * BLOCK_BYTES;
  return total - start < BLOCK_BYTES ? total - start : BLOCK_BYTES;
}

std::unique_ptr<TableFile> open_table(const std::string& path, Kind kind, const Material& m,
                                      std::string& why) {
  auto f = std::make_unique<TableFile>();
  f->kind = kind;
  f->shape = shape_of(m);
  f->fd = open_read_only(path);
  if (f->fd == NOT_REGULAR) return why = "not a regular file", nullptr;
  if (f->fd < 0) return why = errno == ENOENT ? "missing" : "cannot open", nullptr;
  uint64_t size = 0;
  FileHeader& h = f->header;
  if (!file_size(f->fd, size) || !read_at(f->fd, &h, sizeof h, 0)) return why = "too short", nullptr;
  if (!check_header(h, kind, m, f->shape, why)) return nullptr;
  if (size != file_bytes(h)) return why = "truncated or overlong", nullptr;
  std::vector<uint64_t> index(2 * h.blocks + 1);
  if (!read_at(f->fd, index.data(), index_bytes(h.blocks), sizeof h)) return why = "too short", nullptr;
  if (checksum(index.data(), index_bytes(h.blocks)) != h.index_checksum)
    return why = "damaged index", nullptr;
  f->offsets.assign(index.begin(), index.begin() + h.blocks + 1);
  f->sums.assign(index.begin() + h.blocks + 1, index.end());
  for (uint64_t b = 0; b < h.blocks; ++b)
    if (f->offsets[b] > f->offsets[b + 1]) return why = "damaged index", nullptr;
  if (f->offsets[0] != 0 || f->offsets[h.blocks] != h.data_bytes) return why = "damaged index", nullptr;
  f->data_start = sizeof h + index_bytes(h.blocks);
  return f;
}

bool read_block(const TableFile& f, uint64_t block, uint8_t* out, std::string& why) {
  Decoder& d = thread_decoder();
  uint64_t bytes = f.offsets[block + 1] - f.offsets[block];
  if (bytes > ZSTD_compressBound(BLOCK_BYTES)) return why = "block too long", false;
  d.packed.resize(bytes);
  if (!read_at(f.fd, d.packed.data(), bytes, f.data_start + f.offsets[block]))
    return why = "read failed", false;
  if (checksum(d.packed.data(), bytes) != f.sums[block]) return why = "block checksum mismatch", false;
  size_t got = ZSTD_decompressDCtx(d.ctx, out, BLOCK_BYTES, d.packed.data(), bytes);
  if (ZSTD_isError(got) || got != f.decoded_bytes(block)) return why = "block does not decode", false;
  return true;
}

bool read_all_blocks(const TableFile& f, std::vector<uint8_t>& out, std::string& why) {
  out.assign(raw_bytes(f.bits(), f.shape.size) + BLOCK_BYTES, 0);
  for (uint64_t b = 0; b < f.header.blocks; ++b)
    if (!read_block(f, b, out.data() + b * BLOCK_BYTES, why)) return false;
  out.resize(raw_bytes(f.bits(), f.shape.size));
  return true;
}

}  // namespace tb
