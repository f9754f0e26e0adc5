#pragma once
// Plain geometry and colour values of the window layer. Rectangles follow
// the system's convention: left and top inside, right and bottom outside.
// Colours are 0xAARRGGBB, not premultiplied; the system's COLORREF values
// (0x00BBGGRR) are converted with ColorFromColorRef.
#include <algorithm>
#include <cstdint>

namespace vz {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static Rect FromXYWH(int x, int y, int width, int height) { return {x, y, x + width, y + height}; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  Size GetSize() const { return {Width(), Height()}; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect Inset(int d) const { return {left + d, top + d, right - d, bottom - d}; }
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    return r.IsEmpty() ? Rect{} : r;
  }
  Rect Union(const Rect& o) const {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

using Color = uint32_t;  // 0xAARRGGBB

constexpr Color MakeColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}
constexpr uint8_t ColorA(Color c) { return static_cast<uint8_t>(c >> 24); }
constexpr uint8_t ColorR(Color c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t ColorG(Color c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t ColorB(Color c) { return static_cast<uint8_t>(c); }
// A COLORREF (0x00BBGGRR) as an opaque colour.
constexpr Color ColorFromColorRef(uint32_t colorref) {
  return MakeColor(static_cast<uint8_t>(colorref), static_cast<uint8_t>(colorref >> 8),
                   static_cast<uint8_t>(colorref >> 16));
}

}  // namespace vz
