#include "outside/vzres/drawing_set.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "platform/ui/canvas.h"
#include "platform/ui/image.h"

namespace vzres {

namespace {

constexpr int kMaxDrawingSide = 512;

bool Number(const std::string& word, double* value) {
  char* end = nullptr;
  *value = std::strtod(word.c_str(), &end);
  return !word.empty() && end != nullptr && *end == '\0';
}

bool Colour(const std::string& word, uint32_t* argb) {
  if (word.size() != 10 || word.rfind("0x", 0) != 0) return false;
  char* end = nullptr;
  *argb = static_cast<uint32_t>(std::strtoul(word.c_str() + 2, &end, 16));
  return end != nullptr && *end == '\0';
}

// How many numbers each path command takes.
int Arity(const std::string& command) {
  if (command == "M" || command == "L") return 2;
  if (command == "C") return 6;
  if (command == "Z") return 0;
  if (command == "R" || command == "O") return 4;
  if (command == "Q") return 5;
  return -1;
}

bool CheckPath(const std::vector<std::string>& words, std::string* what) {
  if (words.empty()) {
    *what = "empty path";
    return false;
  }
  for (size_t at = 0; at < words.size();) {
    const int arity = Arity(words[at]);
    if (arity < 0) {
      *what = "unknown path command '" + words[at] + "'";
      return false;
    }
    for (int k = 1; k <= arity; ++k) {
      double value = 0;
      if (at + k >= words.size() || !Number(words[at + k], &value)) {
        *what = "path command '" + words[at] + "' needs " + std::to_string(arity) + " numbers";
        return false;
      }
    }
    at += static_cast<size_t>(arity) + 1;
  }
  return true;
}

// An ellipse as four curves (the usual 0.5523 control distance).
void AddEllipse(vz::Path& path, double cx, double cy, double rx, double ry) {
  constexpr double k = 0.5522847498;
  path.MoveTo(cx + rx, cy);
  path.CurveTo(cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
  path.CurveTo(cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
  path.CurveTo(cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
  path.CurveTo(cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
  path.Close();
}

void AddRoundRect(vz::Path& path, double x, double y, double w, double h, double r) {
  constexpr double k = 0.5522847498;
  r = std::min({r, w / 2, h / 2});
  path.MoveTo(x + r, y);
  path.LineTo(x + w - r, y);
  path.CurveTo(x + w - r + k * r, y, x + w, y + r - k * r, x + w, y + r);
  path.LineTo(x + w, y + h - r);
  path.CurveTo(x + w, y + h - r + k * r, x + w - r + k * r, y + h, x + w - r, y + h);
  path.LineTo(x + r, y + h);
  path.CurveTo(x + r - k * r, y + h, x, y + h - r + k * r, x, y + h - r);
  path.LineTo(x, y + r);
  path.CurveTo(x, y + r - k * r, x + r - k * r, y, x + r, y);
  path.Close();
}

vz::Path BuildPath(const std::vector<std::string>& words) {
  vz::Path path;
  for (size_t at = 0; at < words.size();) {
    const std::string& command = words[at];
    const int arity = Arity(command);
    double v[6] = {};
    for (int k = 0; k < arity; ++k) Number(words[at + 1 + static_cast<size_t>(k)], &v[k]);
    if (command == "M") path.MoveTo(v[0], v[1]);
    if (command == "L") path.LineTo(v[0], v[1]);
    if (command == "C") path.CurveTo(v[0], v[1], v[2], v[3], v[4], v[5]);
    if (command == "Z") path.Close();
    if (command == "R") {
      path.MoveTo(v[0], v[1]);
      path.LineTo(v[0] + v[2], v[1]);
      path.LineTo(v[0] + v[2], v[1] + v[3]);
      path.LineTo(v[0], v[1] + v[3]);
      path.Close();
    }
    if (command == "Q") AddRoundRect(path, v[0], v[1], v[2], v[3], v[4]);
    if (command == "O") AddEllipse(path, v[0], v[1], v[2], v[3]);
    at += static_cast<size_t>(arity) + 1;
  }
  return path;
}

}  // namespace

bool ParseDrawings(const std::string& text, std::vector<Drawing>* drawings, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  Drawing* open = nullptr;
  auto fail = [&](const std::string& what) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') continue;
    if (words[0] == "drawing") {
      if (open != nullptr) return fail("drawing inside a drawing");
      double id = 0, w = 0, h = 0;
      if (words.size() != 4 || !Number(words[1], &id) || !Number(words[2], &w) || !Number(words[3], &h) || id < 1 ||
          id > 0xFFFF || w < 1 || h < 1 || w > kMaxDrawingSide || h > kMaxDrawingSide) {
        return fail("expected: drawing <id> <width> <height> (sides 1 to 512)");
      }
      drawings->push_back(Drawing{static_cast<uint32_t>(id), static_cast<int>(w), static_cast<int>(h), {}});
      open = &drawings->back();
      continue;
    }
    if (words[0] == "end") {
      if (open == nullptr) return fail("end without a drawing");
      if (open->layers.empty()) return fail("a drawing without layers");
      open = nullptr;
      continue;
    }
    if (open == nullptr) return fail("'" + words[0] + "' outside a drawing");
    DrawingLayer layer;
    size_t colon = 0;
    while (colon < words.size() && words[colon] != ":") ++colon;
    if (colon == words.size()) return fail("a layer needs ': <path>'");
    if (words[0] == "fill") {
      if (colon != 2 || !Colour(words[1], &layer.argb)) return fail("expected: fill <0xAARRGGBB> : <path>");
    } else if (words[0] == "stroke") {
      if ((colon != 3 && colon != 4) || !Colour(words[1], &layer.argb) || !Number(words[2], &layer.width) ||
          layer.width <= 0) {
        return fail("expected: stroke <0xAARRGGBB> <width> [round|square] : <path>");
      }
      layer.fill = false;
      if (colon == 4) {
        if (words[3] == "round") {
          layer.cap = 1;
        } else if (words[3] == "square") {
          layer.cap = 2;
        } else {
          return fail("unknown line end '" + words[3] + "'");
        }
      }
    } else {
      return fail("unknown word '" + words[0] + "'");
    }
    layer.path.assign(words.begin() + static_cast<std::ptrdiff_t>(colon) + 1, words.end());
    std::string what;
    if (!CheckPath(layer.path, &what)) return fail(what);
    open->layers.push_back(std::move(layer));
  }
  if (open != nullptr) return fail("drawing " + std::to_string(open->id) + " has no end");
  return true;
}

std::string RenderDrawingPng(const Drawing& drawing) {
  vz::Image image(drawing.width, drawing.height);
  if (image.IsEmpty()) return {};
  {
    std::unique_ptr<vz::Canvas> canvas = vz::CreateImageCanvas(image);
    for (const DrawingLayer& layer : drawing.layers) {
      const vz::Path path = BuildPath(layer.path);
      if (layer.fill) {
        canvas->FillPath(path, layer.argb);
      } else {
        vz::Pen pen;
        pen.color = layer.argb;
        pen.width = layer.width;
        pen.cap = layer.cap == 1 ? vz::LineCap::kRound : layer.cap == 2 ? vz::LineCap::kSquare : vz::LineCap::kButt;
        pen.join = layer.cap == 1 ? vz::LineJoin::kRound : vz::LineJoin::kMiter;
        canvas->StrokePath(path, pen);
      }
    }
  }
  const std::vector<uint8_t> png = image.EncodePng();
  return std::string(png.begin(), png.end());
}

}  // namespace vzres
