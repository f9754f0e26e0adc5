#pragma once
// Flat placeholder images, written as PNG files (8-bit RGBA, stored deflate
// blocks), so the program has every image it asks for at its natural size.
#include <cstdint>
#include <string>
#include <string_view>

namespace vzres {

enum class PlaceholderShape {
  kRect,    // filled rectangle
  kRound,   // filled rectangle with rounded corners
  kCircle,  // filled ellipse inside the image
  kFrame,   // 2-pixel border, transparent inside
  // Glyphs on a transparent ground, so a button shows what it does.
  kLeft,       // triangle pointing left (previous page)
  kRight,      // triangle pointing right (next page)
  kUp,         // triangle pointing up (expand)
  kDown,       // triangle pointing down (collapse)
  kCamera,     // camera body with its lens (my video on)
  kNoCamera,   // the camera crossed out (my video off)
  kDots,       // three dots (more options)
  kCorners,    // four corner brackets (full screen)
  kInCorners,  // brackets pointing inwards (leave full screen)
  kPerson,     // head and shoulders (no video yet)
  kSpin,       // ring of twelve dots, one of them bright (a waiting frame)
};

// Parses "rect", "round", "circle", "frame", "left", "right", "up", "down",
// "camera", "nocamera", "dots", "corners", "incorners", "person" or
// "spin<N>" (N 0 to 11: the bright dot, clockwise from the top; *frame gets N).
bool ParsePlaceholderShape(std::string_view name, PlaceholderShape* shape, int* frame = nullptr);

// A PNG of width x height (each 1 to 4096) in colour 0xAARRGGBB outside the
// shape's transparent parts. Empty on bad sizes. `frame` picks the bright
// dot of kSpin (0 to 11) and is ignored otherwise.
std::string MakePlaceholderPng(int width, int height, PlaceholderShape shape, uint32_t argb, int frame = 0);

// CRC-32 as PNG chunks use it.
uint32_t PngCrc32(std::string_view bytes);

}  // namespace vzres
