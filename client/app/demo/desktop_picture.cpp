#include "client/app/demo/desktop_picture.h"

#include <cstdio>

#include "client/app/demo/frame_measures.h"
#include "platform/ui/canvas.h"
#include "platform/ui/image.h"

namespace {

constexpr int kMoverWidth = 360;
constexpr int kMoverHeight = 220;

vz::TextStyle Style(double size, vz::Color color, int weight = 400) {
  vz::TextStyle style;
  style.font.pixel_size = size;
  style.font.weight = weight;
  style.color = color;
  return style;
}

// A window as a desktop shows one: frame, title bar, title and lines of text.
void DrawWindow(vz::Canvas& canvas, const vz::Rect& box, const char* title, vz::Color bar,
                const char* const* lines, int line_count) {
  canvas.FillRect(box, 0xFFF7F7F2);
  canvas.StrokeRect(box, 0xFF404040, 1);
  canvas.FillRect(vz::Rect{box.left + 1, box.top + 1, box.right - 1, box.top + 28}, bar);
  canvas.DrawText(title, vz::Rect{box.left + 10, box.top + 5, box.right - 10, box.top + 27},
                  Style(15, 0xFFFFFFFF, 700));
  for (int i = 0; i < line_count; ++i) {
    const int top = box.top + 40 + i * 22;
    if (top + 20 > box.bottom) break;
    canvas.DrawText(lines[i], vz::Rect{box.left + 12, top, box.right - 12, top + 20}, Style(14, 0xFF202020));
  }
}

}  // namespace

std::unique_ptr<DesktopPicture> DesktopPicture::Open(const std::string& display, std::string* why) {
  auto windows = vz::X11PictureWindows::Open(display);
  if (!windows) {
    *why = "cannot open the display " + display;
    return nullptr;
  }
  std::unique_ptr<DesktopPicture> picture(new DesktopPicture(std::move(windows)));
  if (!picture->Draw()) {
    *why = "cannot draw the desktop picture on " + display;
    return nullptr;
  }
  return picture;
}

bool DesktopPicture::Draw() {
  const int w = width(), h = height();
  vz::Image root(w, h);
  if (root.IsEmpty()) return false;
  auto canvas = vz::CreateImageCanvas(root);
  // A gradient a codec has to keep smooth, one row at a time.
  for (int y = 0; y < h; ++y) {
    const int t = y * 255 / h;
    canvas->FillRect(vz::Rect{0, y, w, y + 1}, vz::MakeColor(static_cast<uint8_t>(30 + t / 3),
                                                              static_cast<uint8_t>(70 + t / 2),
                                                              static_cast<uint8_t>(140 + t / 3)));
  }
  canvas->DrawText("VelzarHub local meeting", vz::Rect{40, 30, w - 40, 80}, Style(36, 0xFFFFFFFF, 700));
  static const char* const kAgenda[] = {"Agenda", "1. Quarterly figures", "2. The new office plan",
                                        "3. Questions and answers", "Notes are shared after the call."};
  static const char* const kFigures[] = {"Region    Q1     Q2     Q3", "North     112    131    140",
                                         "South      98    104    119", "East       77     81     95",
                                         "West      143    150    162", "Total     430    466    516"};
  DrawWindow(*canvas, vz::Rect::FromXYWH(w / 10, h / 5, w * 3 / 10, h * 2 / 5), "Agenda - Editor", 0xFF2E6DA4,
             kAgenda, 5);
  DrawWindow(*canvas, vz::Rect::FromXYWH(w / 2, h / 6, w * 2 / 5, h / 2), "Figures - Spreadsheet", 0xFF3C8D40,
             kFigures, 6);
  if (!windows_->SetRootPicture(root)) return false;

  clock_x_ = 40;
  clock_y_ = h - kClockHeight - 40;
  clock_ = windows_->CreateWindow(clock_x_, clock_y_, kClockWidth, kClockHeight, "Presenter clock");
  mover_ = windows_->CreateWindow(w / 3, h / 2, kMoverWidth, kMoverHeight, "Notes");
  if (clock_ == 0 || mover_ == 0) return false;
  vz::Image mover(kMoverWidth, kMoverHeight);
  auto mover_canvas = vz::CreateImageCanvas(mover);
  static const char* const kNotes[] = {"This window moves while", "the frame rate is measured.", "",
                                       "Lorem ipsum dolor sit amet,", "consectetur adipiscing elit."};
  DrawWindow(*mover_canvas, vz::Rect{0, 0, kMoverWidth, kMoverHeight}, "Notes", 0xFFB0502A, kNotes, 5);
  return windows_->ShowPicture(mover_, mover) && ShowTime(0);
}

bool DesktopPicture::ShowTime(uint64_t ms) {
  vz::Image clock(kClockWidth, kClockHeight);
  auto canvas = vz::CreateImageCanvas(clock);
  canvas->FillRect(vz::Rect{0, 0, kClockWidth, kClockHeight}, 0xFFFFFFFF);
  char text[64];
  std::snprintf(text, sizeof(text), "presenter clock %llu.%03llu s", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000));
  canvas->DrawText(text, vz::Rect{kStampInset, 8, kClockWidth - kStampInset, 36}, Style(20, 0xFF000000, 700));
  DrawStamp(*canvas, kStampInset, kClockHeight - kStampInset - StampLayout::kHeight, static_cast<uint32_t>(ms));
  return windows_->ShowPicture(clock_, clock);
}

bool DesktopPicture::StampPlace(int* x, int* y) {
  int left = 0, top = 0, width = 0, height = 0;
  if (!windows_->ClientArea(clock_, &left, &top, &width, &height)) return false;
  *x = left + kStampInset;
  *y = top + kClockHeight - kStampInset - StampLayout::kHeight;
  return true;
}

void DesktopPicture::Step() {
  // Back and forth along a line across the middle, 8 pixels a step.
  const int span = width() - kMoverWidth;
  if (span <= 0) return;
  ++step_;
  const int travel = (step_ * 8) % (2 * span);
  windows_->Move(mover_, travel < span ? travel : 2 * span - travel, height() / 2);
}
