#include "outside/vzres/placeholder_png.h"

#include <algorithm>
#include <array>
#include <cmath>

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
    default:
      break;
  }
  return false;
}

// Whether (u, v), in the unit square, lies in the triangle a-b-c.
bool InTriangle(double u, double v, double ax, double ay, double bx, double by, double cx, double cy) {
  const double d1 = (u - bx) * (ay - by) - (ax - bx) * (v - by);
  const double d2 = (u - cx) * (by - cy) - (bx - cx) * (v - cy);
  const double d3 = (u - ax) * (cy - ay) - (cx - ax) * (v - ay);
  const bool negative = d1 < 0 || d2 < 0 || d3 < 0;
  const bool positive = d1 > 0 || d2 > 0 || d3 > 0;
  return !(negative && positive);
}

bool InBox(double u, double v, double left, double top, double right, double bottom) {
  return u >= left && u <= right && v >= top && v <= bottom;
}

bool InDisc(double u, double v, double cx, double cy, double r) {
  return (u - cx) * (u - cx) + (v - cy) * (v - cy) <= r * r;
}

bool InCamera(double u, double v) {
  return InBox(u, v, 0.08, 0.28, 0.66, 0.72) || InTriangle(u, v, 0.62, 0.5, 0.92, 0.26, 0.92, 0.74);
}

// The bracket of one corner: an L of two bars, `sx`/`sy` +1 or -1 for the
// direction the corner opens to.
bool InCornerBracket(double u, double v, double cx, double cy, double sx, double sy) {
  const double du = (u - cx) * sx;
  const double dv = (v - cy) * sy;
  return (du >= 0 && du <= 0.3 && dv >= 0 && dv <= 0.1) || (dv >= 0 && dv <= 0.3 && du >= 0 && du <= 0.1);
}

// The share of the colour's alpha a pixel gets: 0 outside, 255 inside.
int Coverage(PlaceholderShape shape, int x, int y, int width, int height, int frame) {
  const double u = (x + 0.5) / width;
  const double v = (y + 0.5) / height;
  switch (shape) {
    case PlaceholderShape::kLeft:
      return InTriangle(u, v, 0.2, 0.5, 0.8, 0.12, 0.8, 0.88) ? 255 : 0;
    case PlaceholderShape::kRight:
      return InTriangle(u, v, 0.8, 0.5, 0.2, 0.12, 0.2, 0.88) ? 255 : 0;
    case PlaceholderShape::kUp:
      return InTriangle(u, v, 0.5, 0.2, 0.12, 0.8, 0.88, 0.8) ? 255 : 0;
    case PlaceholderShape::kDown:
      return InTriangle(u, v, 0.5, 0.8, 0.12, 0.2, 0.88, 0.2) ? 255 : 0;
    case PlaceholderShape::kCamera:
      return InCamera(u, v) ? 255 : 0;
    case PlaceholderShape::kNoCamera: {
      const bool slash = std::abs((u - 0.1) - (v - 0.1)) < 0.07 && u > 0.06 && u < 0.94;
      return slash ? 255 : (InCamera(u, v) ? 150 : 0);
    }
    case PlaceholderShape::kDots:
      return InDisc(u, v, 0.2, 0.5, 0.1) || InDisc(u, v, 0.5, 0.5, 0.1) || InDisc(u, v, 0.8, 0.5, 0.1) ? 255 : 0;
    case PlaceholderShape::kCorners:
      return InCornerBracket(u, v, 0.1, 0.1, 1, 1) || InCornerBracket(u, v, 0.9, 0.1, -1, 1) ||
                     InCornerBracket(u, v, 0.1, 0.9, 1, -1) || InCornerBracket(u, v, 0.9, 0.9, -1, -1)
                 ? 255
                 : 0;
    case PlaceholderShape::kInCorners:
      return InCornerBracket(u, v, 0.4, 0.4, -1, -1) || InCornerBracket(u, v, 0.6, 0.4, 1, -1) ||
                     InCornerBracket(u, v, 0.4, 0.6, -1, 1) || InCornerBracket(u, v, 0.6, 0.6, 1, 1)
                 ? 255
                 : 0;
    case PlaceholderShape::kPerson:
      return InDisc(u, v, 0.5, 0.36, 0.16) || (v >= 0.58 && v <= 0.9 && InDisc(u, v * 1.0, 0.5, 0.9, 0.32)) ? 255
                                                                                                           : 0;
    case PlaceholderShape::kSpin: {
      for (int dot = 0; dot < 12; ++dot) {
        const double angle = dot * 3.14159265358979 / 6.0;
        if (InDisc(u, v, 0.5 + 0.36 * std::sin(angle), 0.5 - 0.36 * std::cos(angle), 0.09)) {
          return dot == frame ? 255 : 70;
        }
      }
      return 0;
    }
    default:
      break;
  }
  return Inside(shape, x, y, width, height) ? 255 : 0;
}

}  // namespace

bool ParsePlaceholderShape(std::string_view name, PlaceholderShape* shape, int* frame) {
  static constexpr struct {
    const char* name;
    PlaceholderShape shape;
  } kGlyphs[] = {{"left", PlaceholderShape::kLeft},         {"right", PlaceholderShape::kRight},
                 {"up", PlaceholderShape::kUp},             {"down", PlaceholderShape::kDown},
                 {"camera", PlaceholderShape::kCamera},     {"nocamera", PlaceholderShape::kNoCamera},
                 {"dots", PlaceholderShape::kDots},         {"corners", PlaceholderShape::kCorners},
                 {"incorners", PlaceholderShape::kInCorners}, {"person", PlaceholderShape::kPerson}};
  for (const auto& glyph : kGlyphs) {
    if (name == glyph.name) {
      *shape = glyph.shape;
      return true;
    }
  }
  if (name.size() >= 5 && name.size() <= 6 && name.substr(0, 4) == "spin") {
    int n = 0;
    for (char c : name.substr(4)) {
      if (c < '0' || c > '9') return false;
      n = n * 10 + (c - '0');
    }
    if (n > 11) return false;
    *shape = PlaceholderShape::kSpin;
    if (frame != nullptr) *frame = n;
    return true;
  }
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

std::string MakePlaceholderPng(int width, int height, PlaceholderShape shape, uint32_t argb, int frame) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return {};
  const char pixel[4] = {static_cast<char>((argb >> 16) & 0xFF), static_cast<char>((argb >> 8) & 0xFF),
                         static_cast<char>(argb & 0xFF), static_cast<char>(argb >> 24)};
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 4));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      const int coverage = Coverage(shape, x, y, width, height, frame);
      if (coverage == 255) {
        raw.append(pixel, 4);
      } else if (coverage == 0) {
        raw.append(4, '\0');
      } else {
        raw.append(pixel, 3);
        raw.push_back(static_cast<char>(((argb >> 24) * static_cast<uint32_t>(coverage)) / 255));
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
