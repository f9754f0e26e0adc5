#pragma once
// The drawing interface of every window and control: shapes, images and
// text. A canvas draws into an image (a window's back buffer or any Image);
// nothing else in the system calls a drawing library.
//
// Coordinates are pixels of the target with (0,0) top-left; an integer
// rectangle filled without anti-aliasing covers exactly its pixels. Text is
// UTF-8 or UTF-16, laid out on one line. Owner thread of the target only.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/image.h"
#include "platform/ui/ui_types.h"

namespace vz {

enum class LineCap { kButt, kRound, kSquare };
enum class LineJoin { kMiter, kRound, kBevel };

struct Pen {
  Color color = 0xFF000000;
  double width = 1.0;
  LineCap cap = LineCap::kButt;
  LineJoin join = LineJoin::kMiter;
};

// A path in target coordinates.
class Path {
 public:
  void MoveTo(double x, double y) { ops_.push_back({Op::kMove, x, y, 0, 0, 0, 0}); }
  void LineTo(double x, double y) { ops_.push_back({Op::kLine, x, y, 0, 0, 0, 0}); }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    ops_.push_back({Op::kCurve, x1, y1, x2, y2, x3, y3});
  }
  void Close() { ops_.push_back({Op::kClose, 0, 0, 0, 0, 0, 0}); }

  enum class Op { kMove, kLine, kCurve, kClose };
  struct Element {
    Op op;
    double x1, y1, x2, y2, x3, y3;
  };
  const std::vector<Element>& elements() const { return ops_; }

 private:
  std::vector<Element> ops_;
};

// A font by family, pixel size and weight. The default family is the one
// the set-up script installs, so text looks the same on every machine.
struct Font {
  static constexpr const char* kDefaultFamily = "DejaVu Sans";
  std::string family = kDefaultFamily;
  double pixel_size = 12.0;
  int weight = 400;  // 400 regular, 700 bold
  bool italic = false;
  bool underline = false;
};

enum class TextAlign { kLeft, kCenter, kRight };
enum class TextVAlign { kTop, kMiddle, kBottom };

struct TextStyle {
  Font font;
  Color color = 0xFF000000;
  TextAlign align = TextAlign::kLeft;
  TextVAlign valign = TextVAlign::kTop;
  bool ellipsis = false;  // end with "..." when wider than the box
  bool wrap = false;      // break into lines at word ends to fit the box's width
};

// Measures one line of text; the canvas uses pango, layout tests a fake.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual Size MeasureText(std::string_view utf8, const Font& font) = 0;
};
// The pango measurer (any thread; it keeps its own context per thread).
TextMeasurer& DefaultTextMeasurer();

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual Size size() const = 0;

  // State: Save/Restore nest; clip and translation are part of the state.
  virtual void Save() = 0;
  virtual void Restore() = 0;
  virtual void ClipRect(const Rect& rect) = 0;
  // The smallest rectangle holding the current clip (current coordinates);
  // what lies outside it cannot change, so a painter may skip it.
  virtual Rect ClipBounds() const = 0;
  virtual void Translate(int dx, int dy) = 0;

  // Replaces the pixels of the rectangle (alpha included), blending nothing.
  virtual void ClearRect(const Rect& rect, Color color) = 0;
  virtual void FillRect(const Rect& rect, Color color) = 0;
  // A frame of `width` pixels inside the rectangle.
  virtual void StrokeRect(const Rect& rect, Color color, int width) = 0;
  virtual void FillRoundRect(const Rect& rect, double radius, Color color) = 0;
  virtual void StrokeRoundRect(const Rect& rect, double radius, const Pen& pen) = 0;
  virtual void DrawLine(double x0, double y0, double x1, double y1, const Pen& pen) = 0;
  virtual void FillEllipse(const Rect& rect, Color color) = 0;
  virtual void StrokeEllipse(const Rect& rect, const Pen& pen) = 0;
  virtual void FillPath(const Path& path, Color color) = 0;
  virtual void StrokePath(const Path& path, const Pen& pen) = 0;

  // Images, over what is there (alpha blended), `opacity` 0..1.
  virtual void DrawImage(const Image& image, int x, int y, double opacity = 1.0) = 0;
  virtual void DrawImageScaled(const Image& image, const Rect& dest, double opacity = 1.0) = 0;

  // Text in the box, aligned and optionally ellipsised, on one line unless
  // the style wraps it; clipped to the box.
  virtual void DrawText(std::string_view utf8, const Rect& box, const TextStyle& style) = 0;
  void DrawText(std::u16string_view text, const Rect& box, const TextStyle& style);
  virtual Size MeasureText(std::string_view utf8, const Font& font) = 0;
};

// A canvas drawing into the image, which must outlive it.
std::unique_ptr<Canvas> CreateImageCanvas(Image& target);

}  // namespace vz
