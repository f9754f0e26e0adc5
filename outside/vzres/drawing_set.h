#pragma once
// The bundle's drawn images: small vector descriptions in drawings.txt,
// rendered anti-aliased into PNG when the bundle is built.
//
//   drawing <id> <width> <height>       one image, then its layers in order:
//     fill <0xAARRGGBB> : <path>
//     stroke <0xAARRGGBB> <width> [round|square] : <path>
//   end
//
// A path is a list of commands in pixel coordinates (numbers may be
// fractional): M x y (move), L x y (line), C x1 y1 x2 y2 x y (curve), Z
// (close), and the shapes R x y w h (rectangle), Q x y w h r (rounded
// rectangle), O cx cy rx ry (ellipse). '#' starts a comment line.
#include <cstdint>
#include <string>
#include <vector>

namespace vzres {

struct DrawingLayer {
  bool fill = true;
  uint32_t argb = 0;
  double width = 1.0;  // strokes
  int cap = 0;         // strokes: 0 butt, 1 round, 2 square
  std::vector<std::string> path;  // the command words as written
};

struct Drawing {
  uint32_t id = 0;
  int width = 0;
  int height = 0;
  std::vector<DrawingLayer> layers;
};

// Parses a whole drawings file; false with `error` ("line N: ...") on the
// first problem (unknown word, bad number, a size above 512, a path command
// missing its numbers).
bool ParseDrawings(const std::string& text, std::vector<Drawing>* drawings, std::string* error);

// The drawing as a PNG (8-bit RGBA); empty when it cannot be rendered.
std::string RenderDrawingPng(const Drawing& drawing);

}  // namespace vzres
