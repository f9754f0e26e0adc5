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
};

// Parses "rect", "round", "circle" or "frame".
bool ParsePlaceholderShape(std::string_view name, PlaceholderShape* shape);

// A PNG of width x height (each 1 to 4096) in colour 0xAARRGGBB outside the
// shape's transparent parts. Empty on bad sizes.
std::string MakePlaceholderPng(int width, int height, PlaceholderShape shape, uint32_t argb);

// CRC-32 as PNG chunks use it.
uint32_t PngCrc32(std::string_view bytes);

}  // namespace vzres
