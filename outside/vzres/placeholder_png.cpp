#include "outside/vzres/placeholder_png.h"

#include <algorithm>
#include <array>

namespace vzres {
namespace {

constexpr int kMaxSide = 4096;
constexpr size_t kMaxStoredBlock = 65535;

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

void AppendBigEndian(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

void AppendChunk(std::string* out, const char type[4], std::string_view data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string typed(type, 4);
  typed.append(data);
  out->append(typed);
  AppendBigEndian(out, PngCrc32(typed));
}

uint32_t Adler32(std::string_view bytes) {
  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char c : bytes) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(std::string_view raw) {
  std::string out;
  out.push_back(static_cast<char>(0x78));
  out.push_back(static_cast<char>(0x01));
  size_t at = 0;
  do {
    const size_t length = std::min(kMaxStoredBlock, raw.size() - at);
    const bool last = at + length == raw.size();
    out.push_back(static_cast<char>(last ? 1 : 0));
    out.push_back(static_cast<char>(length & 0xFF));
    out.push_back(static_cast<char>(length >> 8));
    out.push_back(static_cast<char>(~length & 0xFF));
    out.push_back(static_cast<char>((~length >> 8) & 0xFF));
    out.append(raw.substr(at, length));
    at += length;
  } while (at < raw.size());
  AppendBigEndian(&out, Adler32(raw));
  return out;
}

bool Inside(PlaceholderShape shape, int x, int y, int width, int height) {
  switch (shape) {
    case PlaceholderShape::kRect:
      return true;
    case PlaceholderShape::kFrame:
      return x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
    case PlaceholderShape::kCircle: {
      // Pixel centres against the inscribed ellipse, in doubled coordinates.
      const double dx = (2.0 * x + 1 - width) / width;
      const double dy = (2.0 * y + 1 - height) / height;
      return dx * dx + dy * dy <= 1.0;
    }
    case PlaceholderShape::kRound: {
      const int radius = std::max(1, std::min(width, height) / 4);
      const int cx = x < radius ? radius : (x >= width - radius ? width - radius - 1 : x);
      const int cy = y < radius ? radius : (y >= height - radius ? height - radius - 1 : y);
      const int dx = x - cx;
      const int dy = y - cy;
      return dx * dx + dy * dy <= radius * radius;
    }
  }
  return false;
}

}  // namespace

bool ParsePlaceholderShape(std::string_view name, PlaceholderShape* shape) {
  if (name == "rect") {
    *shape = PlaceholderShape::kRect;
  } else if (name == "round") {
    *shape = PlaceholderShape::kRound;
  } else if (name == "circle") {
    *shape = PlaceholderShape::kCircle;
  } else if (name == "frame") {
    *shape = PlaceholderShape::kFrame;
  } else {
    return false;
  }
  return true;
}

uint32_t PngCrc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string MakePlaceholderPng(int width, int height, PlaceholderShape shape, uint32_t argb) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return {};
  const char pixel[4] = {static_cast<char>((argb >> 16) & 0xFF), static_cast<char>((argb >> 8) & 0xFF),
                         static_cast<char>(argb & 0xFF), static_cast<char>(argb >> 24)};
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 4));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      if (Inside(shape, x, y, width, height)) {
        raw.append(pixel, 4);
      } else {
        raw.append(4, '\0');
      }
    }
  }
  std::string header;
  AppendBigEndian(&header, static_cast<uint32_t>(width));
  AppendBigEndian(&header, static_cast<uint32_t>(height));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, adaptive, no interlace

  std::string png("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(&png, "IHDR", header);
  AppendChunk(&png, "IDAT", StoredZlib(raw));
  AppendChunk(&png, "IEND", {});
  return png;
}

}  // namespace vzres
