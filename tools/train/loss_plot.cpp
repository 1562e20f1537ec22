#include "train/loss_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "weights/weights_writer.h"

namespace qb::train {
namespace {

constexpr int WIDTH = 640, HEIGHT = 400, MARGIN = 30;
enum Colour : uint8_t { WHITE_INK, GRID, AXIS, BLUE, RED };
constexpr uint8_t PALETTE[][3] = {{255, 255, 255}, {225, 225, 225}, {60, 60, 60}, {30, 80, 220}, {220, 40, 40}};

struct Canvas {
  std::vector<uint8_t> pixels = std::vector<uint8_t>(size_t(WIDTH) * HEIGHT, WHITE_INK);
  void dot(int x, int y, Colour c) {
    if (x >= 0 && x < WIDTH && y >= 0 && y < HEIGHT) pixels[size_t(y) * WIDTH + x] = c;
  }
  void line(int x0, int y0, int x1, int y1, Colour c) {
    int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
      double t = steps ? double(i) / steps : 0;
      int x = int(std::lround(x0 + t * (x1 - x0))), y = int(std::lround(y0 + t * (y1 - y0)));
      dot(x, y, c);
      dot(x, y + 1, c);  // two pixels thick
    }
  }
  void square(int x, int y, Colour c) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx) dot(x + dx, y + dy, c);
  }
};

uint32_t crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  put32(png, uint32_t(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  put32(png, crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) blocks: no compression library
// needed, and the image is small anyway.
std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  constexpr size_t BLOCK = 65535;
  for (size_t at = 0; at < raw.size() || at == 0; at += BLOCK) {
    size_t n = std::min(BLOCK, raw.size() - at);
    bool last = at + n >= raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(uint8_t(n));
    out.push_back(uint8_t(n >> 8));
    out.push_back(uint8_t(~n));
    out.push_back(uint8_t(~n >> 8));
    out.insert(out.end(), raw.begin() + long(at), raw.begin() + long(at + n));
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put32(out, (b << 16) | a);
  return out;
}

std::vector<uint8_t> encode_png(const Canvas& canvas) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  put32(header, WIDTH);
  put32(header, HEIGHT);
  header.insert(header.end(), {8, 3, 0, 0, 0});  // 8-bit palette indices
  chunk(png, "IHDR", header);
  std::vector<uint8_t> palette;
  for (const auto& rgb : PALETTE) palette.insert(palette.end(), rgb, rgb + 3);
  chunk(png, "PLTE", palette);
  std::vector<uint8_t> raw;
  for (int y = 0; y < HEIGHT; ++y) {
    raw.push_back(0);  // no filter
    auto row = canvas.pixels.begin() + long(y) * WIDTH;
    raw.insert(raw.end(), row, row + WIDTH);
  }
  chunk(png, "IDAT", zlib_stored(raw));
  chunk(png, "IEND", {});
  return png;
}

}  // namespace

bool write_loss_plot(const std::string& path, const std::vector<double>& training,
                     const std::vector<double>& held_out, std::string* error) {
  Canvas c;
  double lo = 1e300, hi = -1e300;
  for (const auto* series : {&training, &held_out})
    for (double v : *series) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo > hi) lo = 0, hi = 1;
  double pad = std::max(1e-6, (hi - lo) * 0.1);
  lo -= pad;
  hi += pad;
  size_t points = std::max<size_t>(2, std::max(training.size(), held_out.size()));
  auto x_of = [&](size_t i) { return MARGIN + int(i * (WIDTH - 2 * MARGIN) / (points - 1)); };
  auto y_of = [&](double v) { return HEIGHT - MARGIN - int((v - lo) / (hi - lo) * (HEIGHT - 2 * MARGIN)); };
  for (int g = 0; g <= 10; ++g) {
    int y = MARGIN + g * (HEIGHT - 2 * MARGIN) / 10;
    c.line(MARGIN, y, WIDTH - MARGIN, y, GRID);
  }
  for (size_t i = 0; i < points; ++i) c.line(x_of(i), MARGIN, x_of(i), HEIGHT - MARGIN, GRID);
  c.line(MARGIN, HEIGHT - MARGIN, WIDTH - MARGIN, HEIGHT - MARGIN, AXIS);
  c.line(MARGIN, MARGIN, MARGIN, HEIGHT - MARGIN, AXIS);
  auto draw = [&](const std::vector<double>& s, Colour colour) {
    for (size_t i = 0; i < s.size(); ++i) {
      c.square(x_of(i), y_of(s[i]), colour);
      if (i) c.line(x_of(i - 1), y_of(s[i - 1]), x_of(i), y_of(s[i]), colour);
    }
  };
  draw(training, BLUE);
  draw(held_out, RED);
  std::vector<uint8_t> png = encode_png(c);
  return weights::write_file_atomically(path, png.data(), png.size(), error);
}

}  // namespace qb::train
