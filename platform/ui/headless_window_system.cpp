// The headless backend: top-level windows are back buffers only.
#include <algorithm>
#include <utility>

#include "platform/platform_log.h"
#include "platform/ui/headless.h"
#include "platform/ui/window_core.h"

namespace vz {

namespace {

class HeadlessSystem;

class HeadlessNative : public NativeWindow {
 public:
  HeadlessNative(HeadlessSystem& system, uint64_t id) : system_(system), id_(id) {}
  uint64_t Id() const override { return 0; }
  void Show(bool activate) override;
  void Hide() override;
  void SetBounds(const Rect&) override {}
  void Raise() override {}
  void Lower() override {}
  void StackBelow(NativeWindow*) override {}
  bool StackBelowNative(uint64_t) override { return false; }
  void Focus() override;
  bool Grab() override { return true; }
  void Ungrab() override {}
  void SetShape(const WindowRegion*) override {}
  void SetInputShape(const WindowRegion*) override {}
  void SetOpacity(uint8_t) override {}
  void SetCursor(CursorKind) override {}
  bool SetCursorImage(const Image&, Point) override { return true; }
  void SetTitle(const std::string&) override {}
  bool SetIcon(const Image&) override { return true; }
  bool SetFullScreen(bool, const Rect&) override { return true; }
  void Present(const Image&, const Rect&) override {}

 private:
  HeadlessSystem& system_;
  [[maybe_unused]] uint64_t id_;
};

class HeadlessSystem : public HeadlessWindowSystem {
 public:
  explicit HeadlessSystem(Size screen)
      : core_(*this, RunLoop::ForCurrentThread()),
        screen_{0, 0, screen.width, screen.height},
        work_area_(screen_) {}

  bool IsHeadless() const override { return true; }
  bool BelongsToCurrentThread() const override { return core_.BelongsToCurrentThread(); }

  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowDelegate* delegate) override {
    return core_.CreateWindow(params, delegate, [this](WindowNode*, const WindowParams& p) -> std::unique_ptr<NativeWindow> {
      // No other program's windows here to be made inside.
      if (p.host != 0) {
        PlatformLog("window layer: no host window 0x%llx headless", static_cast<unsigned long long>(p.host));
        return nullptr;
      }
      return std::make_unique<HeadlessNative>(*this, ++next_id_);
    });
  }

  Rect ScreenBounds() override { return screen_; }
  Rect WorkArea() override { return work_area_; }
  std::vector<MonitorArea> Monitors() override {
    if (!monitors_.empty()) return monitors_;
    return {MonitorArea{screen_, work_area_, true, "headless"}};
  }
  bool HasCompositor() override { return compositor_; }
  Point PointerPosition() override { return pointer_; }
  Window* ActiveWindow() override { return core_.active(); }
  std::vector<Window*> VisibleTopLevels() override { return core_.VisibleTopLevels(); }
  void RequestClipboardText(std::function<void(std::string)> done) override {
    core_.loop().Post([done = std::move(done), text = clipboard_] { done(text); });
  }
  void SetClipboardText(const std::string& utf8) override { clipboard_ = utf8; }
  void Sync() override {}

  void SetMonitors(std::vector<MonitorArea> monitors) override { monitors_ = std::move(monitors); }
  void SetPointerPosition(Point screen) override { pointer_ = screen; }

  std::vector<Window*> TopLevelWindows() override {
    return std::vector<Window*>(core_.top_levels().begin(), core_.top_levels().end());
  }
  Window* FindWindowByTitle(const std::string& title) override {
    for (WindowNode* top : core_.top_levels()) {
      if (top->title() == title) return top;
    }
    return nullptr;
  }

  const Image& Render(Window* top_level) override {
    static const Image kEmpty;
    auto* top = static_cast<WindowNode*>(top_level);
    if (top == nullptr || !top->IsTopLevel()) return kEmpty;
    top->Invalidate({});
    core_.PaintTopLevel(top);
    return top->buffer();
  }

  Image RenderVisible(Window* top_level) override {
    Image out = Render(top_level);
    auto* top = static_cast<WindowNode*>(top_level);
    if (out.IsEmpty()) return out;
    const WindowRegion* shape = top->shape();
    const uint32_t opacity = top->opacity();
    for (int y = 0; y < out.height(); ++y) {
      uint32_t* row = out.data() + static_cast<size_t>(y) * out.width();
      for (int x = 0; x < out.width(); ++x) {
        const Point p{x, y};
        if (shape != nullptr && std::none_of(shape->begin(), shape->end(), [p](const Rect& r) { return r.Contains(p); })) {
          row[x] = 0;
          continue;
        }
        if (opacity == 255) continue;
        // Premultiplied: every channel, alpha included, scales alike.
        uint32_t scaled = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          scaled |= (((row[x] >> shift) & 0xFF) * opacity / 255) << shift;
        }
        row[x] = scaled;
      }
    }
    return out;
  }

  void SendMouse(MouseAction action, MouseButton button, Point screen, int wheel, uint32_t modifiers) override {
    pointer_ = screen;
    WindowNode* top = core_.grab();
    if (top == nullptr) top = TopLevelAt(screen);
    if (top == nullptr) {
      if (core_.capture() != nullptr) top = static_cast<WindowNode*>(core_.capture()->TopLevel());
      if (top == nullptr) return;
    }
    if (action == MouseAction::kPress && !(top->flags() & kWindowNoActivate) && core_.grab() == nullptr) {
      Activate(top);
    }
    MouseEvent event;
    event.action = action;
    event.button = button;
    event.position = {screen.x - top->bounds().left, screen.y - top->bounds().top};
    event.wheel_delta = wheel;
    event.modifiers = modifiers;
    core_.DispatchMouse(top, event);
  }

  void SendKey(uint32_t keysym, const std::string& text, uint32_t modifiers) override {
    WindowNode* top = core_.grab() != nullptr ? core_.grab() : core_.active();
    if (top == nullptr) return;
    KeyEvent event;
    event.keysym = keysym;
    event.text = text;
    event.modifiers = modifiers;
    core_.DispatchKey(top, event);
  }

  void Activate(WindowNode* top) {
    if (core_.active() == top) return;
    if (WindowNode* old = core_.active()) core_.FocusChanged(old, false);
    core_.FocusChanged(top, true);
  }
  void Deactivate(WindowNode* top) {
    if (core_.active() == top) core_.FocusChanged(top, false);
  }
  WindowCore& core() { return core_; }

 private:
  WindowNode* TopLevelAt(Point screen) {
    const auto& tops = core_.top_levels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
      WindowNode* top = *it;
      if (!top->IsVisible() || !top->bounds().Contains(screen)) continue;
      const WindowRegion* input = top->input_shape();
      const Point local{screen.x - top->bounds().left, screen.y - top->bounds().top};
      if (input != nullptr && std::none_of(input->begin(), input->end(), [&](const Rect& r) { return r.Contains(local); })) {
        continue;  // clicks pass through
      }
      return top;
    }
    return nullptr;
  }

  WindowCore core_;
  Rect screen_;
  Rect work_area_;
  std::vector<MonitorArea> monitors_;  // empty: the screen is one monitor
  bool compositor_ = false;
  Point pointer_;
  std::string clipboard_;
  uint64_t next_id_ = 0;
};

void HeadlessNative::Show(bool activate) {
  if (!activate) return;
  if (WindowNode* node = system_.core().FindByNative(this)) system_.Activate(node);
}
void HeadlessNative::Hide() {
  if (WindowNode* node = system_.core().FindByNative(this)) system_.Deactivate(node);
}
void HeadlessNative::Focus() {
  if (WindowNode* node = system_.core().FindByNative(this)) system_.Activate(node);
}

}  // namespace

std::unique_ptr<HeadlessWindowSystem> HeadlessWindowSystem::Create(Size screen) {
  return std::make_unique<HeadlessSystem>(screen);
}

void HeadlessWindowSystem::TypeTextForTesting(const std::string& utf8) {
  // One key per UTF-8 character; the keysym is the character for ASCII.
  for (size_t i = 0; i < utf8.size();) {
    size_t length = 1;
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead >= 0xF0) length = 4;
    else if (lead >= 0xE0) length = 3;
    else if (lead >= 0xC0) length = 2;
    const std::string ch = utf8.substr(i, length);
    SendKey(lead < 0x80 ? lead : 0, ch, 0);
    i += length;
  }
}

}  // namespace vz
