#include "client/app/annotation_pictures.h"

#include "client/annotation/annotation_frame.h"
#include "client/annotation/annotation_palette.h"
#include "client/annotation/annotation_tool_window.h"
#include "client/annotation/color_popup_menu.h"
#include "platform/clock.h"

namespace {

class NoOwner : public IDSAnnotationFrameOwner {
 public:
  void onMoveArrowIndicator(int, int) override {}
};

// A sample screen under the overlay: a window with text lines.
vz::Image SampleScreen(int width, int height) {
  vz::Image screen(width, height);
  auto canvas = vz::CreateImageCanvas(screen);
  canvas->FillRect({0, 0, width, height}, 0xFF3C6E91);
  canvas->FillRect({40, 30, width - 40, height - 30}, 0xFFF4F4F4);
  canvas->FillRect({40, 30, width - 40, 56}, 0xFF2B579A);
  for (int y = 80; y < height - 50; y += 22) canvas->FillRect({70, y, width - 90 - (y * 7) % 160, y + 8}, 0xFFB8C4D0);
  return screen;
}

// Source-over of `top` (straight alpha) onto `under`.
void Compose(vz::Image& under, const vz::Image& top) {
  for (int y = 0; y < top.height(); ++y) {
    for (int x = 0; x < top.width(); ++x) {
      const vz::Color p = top.GetPixel(x, y);
      const vz::Color u = under.GetPixel(x, y);
      const int a = vz::ColorA(p);
      auto mix = [a](int over, int below) { return static_cast<uint8_t>((over * a + below * (255 - a)) / 255); };
      under.SetPixel(x, y, vz::MakeColor(mix(vz::ColorR(p), vz::ColorR(u)), mix(vz::ColorG(p), vz::ColorG(u)),
                                         mix(vz::ColorB(p), vz::ColorB(u))));
    }
  }
}

std::optional<vz::Image> OverlayPicture(vz::HeadlessWindowSystem& system) {
  constexpr int kWidth = 640, kHeight = 400;
  vz::FakeClock clock(1000);
  NoOwner owner;
  CDSAnnotationFrame frame(clock);
  frame.setOwner(&owner);
  frame.setMyRosterId("me");
  if (frame.Create(vz::Rect::FromXYWH(0, 0, kWidth, kHeight), &system) == nullptr) return std::nullopt;
  // Another participant's elements, as their commands bring them.
  const uint32_t red = kAnnotationPalette[0], blue = kAnnotationPalette[4], green = kAnnotationPalette[5];
  const vz::Point stroke[] = {{70, 300}, {90, 270}, {115, 262}, {140, 280}, {160, 310}, {185, 318}, {210, 300}};
  frame.addElement(8, stroke, 7, red, 5, u"peer");
  const vz::Point blob[] = {{250, 250}, {300, 240}, {320, 290}, {280, 330}, {240, 310}};
  frame.addElement(9, blob, 5, (green & 0xFFFFFF) | 0x7F000000, 1, u"peer");
  const vz::Point box[] = {{60, 80}, {200, 160}};
  frame.addElement(10, box, 2, blue, 5, u"peer");
  const vz::Point filled_box[] = {{230, 90}, {330, 150}};
  frame.addElement(12, filled_box, 2, (kAnnotationPalette[2] & 0xFFFFFF) | 0x7F000000, 1, u"peer");
  const vz::Point ring[] = {{370, 80}, {500, 170}};
  frame.addElement(13, ring, 2, kAnnotationPalette[6], 5, u"peer");
  const vz::Point disc[] = {{520, 90}, {600, 150}};
  frame.addElement(15, disc, 2, kAnnotationPalette[1], 1, u"peer");
  // The presenter's own line, arrow and highlighter, drawn with the mouse.
  auto drag = [&](int32_t tool, uint32_t color, vz::Point from, vz::Point to) {
    frame.setPen(1, color);
    frame.setDrawTool(tool);
    system.SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, from);
    system.SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {(from.x + to.x) / 2, (from.y + to.y) / 2});
    system.SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, to);
    system.SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, to);
    clock.AdvanceMs(1000);
  };
  drag(6, kAnnotationPalette[3], {370, 230}, {600, 210});
  drag(7, kAnnotationPalette[11], {380, 350}, {590, 270});
  drag(5, kAnnotationPalette[2], {70, 200}, {330, 200});
  frame.setDrawTool(0);
  frame.window()->Update();
  vz::Image screen = SampleScreen(kWidth, kHeight);
  Compose(screen, system.Render(frame.window()));
  return screen;
}

std::optional<vz::Image> ToolBarPicture(vz::HeadlessWindowSystem& system) {
  DSAnnotationToolWindow bar;
  if (!bar.Create(&system)) return std::nullopt;
  bar.updatePenButtons(1, kAnnotationPalette[0]);
  bar.updateToolButtons(13);
  bar.window()->Update();
  return system.Render(bar.window());
}

vz::Image ColorMenuPicture() {
  CDSColorPopupMenu menu;
  menu.BuildPalette(kAnnotationPalette[5]);
  const vz::Size size = menu.MenuSize();
  vz::Image image(size.width, size.height);
  auto canvas = vz::CreateImageCanvas(image);
  menu.PaintMenu(*canvas, 10);
  return image;
}

}  // namespace

std::vector<std::string> AnnotationPictureNames() {
  return {"annotation-overlay", "annotation-tools", "annotation-colors"};
}

std::optional<vz::Image> RenderAnnotationPicture(const std::string& name, vz::HeadlessWindowSystem& system) {
  if (name == "annotation-overlay") return OverlayPicture(system);
  if (name == "annotation-tools") return ToolBarPicture(system);
  if (name == "annotation-colors") return ColorMenuPicture();
  return std::nullopt;
}
