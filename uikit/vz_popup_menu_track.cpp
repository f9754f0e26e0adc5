// Tracking a popup menu: one window of the display per open level (the menu
// and its open sub-menus), the pointer and keyboard grabbed by the first,
// and a nested loop that ends with the chosen command id.
#include <algorithm>
#include <memory>
#include <vector>

#include "uikit/vz_popup_menu.h"
#include "common/trace_client.h"
#include "platform/run_loop.h"

class MenuTracker {
 public:
  MenuTracker(vz::WindowSystem& system, vz::ModalLoop& loop) : system_(system), loop_(loop) {}
  ~MenuTracker() {
    for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) (*it)->window.reset();
  }

  bool Open(CVzPopupMenuBase* menu, vz::Point screen) { return OpenLevel(menu, screen, nullptr); }
  vz::Window* root() const { return levels_.empty() ? nullptr : levels_[0]->window.get(); }

 private:
  struct Level : vz::WindowDelegate {
    MenuTracker* tracker = nullptr;
    CVzPopupMenuBase* menu = nullptr;
    std::unique_ptr<vz::Window> window;
    std::vector<vz::Rect> rects;
    int selected = -1;
    std::shared_ptr<const bool> menu_alive;

    void OnPaint(vz::Canvas& canvas) override {
      if (*menu_alive) menu->PaintMenu(canvas, selected);
    }
    void OnMouse(const vz::MouseEvent& event) override { tracker->OnMouse(event); }
    bool OnKey(const vz::KeyEvent& event) override {
      tracker->OnKey(event);
      return true;
    }
    void OnCaptureLost() override { tracker->loop_.End(0); }
  };

  bool OpenLevel(CVzPopupMenuBase* menu, vz::Point screen, const vz::Rect* beside) {
    auto level = std::make_unique<Level>();
    level->tracker = this;
    level->menu = menu;
    level->menu_alive = menu->alive_.Watch();
    level->rects = menu->LayoutItems();
    const vz::Size size = menu->MenuSize();
    if (size.width <= 0 || size.height <= 0) {
      VZ_LOG_ERROR("an empty menu is not shown");
      return false;
    }
    // Inside the work area: flipped to the left of the parent item or up
    // when it would run off the right or bottom edge.
    const vz::Rect work = system_.WorkArea();
    int x = screen.x, y = screen.y;
    if (x + size.width > work.right) x = beside != nullptr ? beside->left - size.width : work.right - size.width;
    if (y + size.height > work.bottom) y = work.bottom - size.height;
    x = std::max(x, work.left);
    y = std::max(y, work.top);
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(x, y, size.width, size.height);
    params.flags = vz::kWindowOverrideRedirect | vz::kWindowTopmost | vz::kWindowNoActivate | vz::kWindowTool;
    params.class_name = "popup-menu";
    level->window = system_.CreateWindow(params, level.get());
    if (!level->window) return false;
    level->window->Show(false);
    level->window->Raise();
    if (levels_.empty() && !level->window->Grab()) {
      VZ_LOG_WARN("the menu could not grab the pointer and keyboard; clicks outside it may not close it");
    }
    levels_.push_back(std::move(level));
    return true;
  }

  void CloseLevelsAbove(size_t index) {
    while (levels_.size() > index + 1) {
      levels_.back()->window.reset();
      levels_.pop_back();
    }
  }

  // The deepest level whose window holds the screen point, or -1.
  int LevelAt(vz::Point screen) const {
    for (int i = static_cast<int>(levels_.size()) - 1; i >= 0; --i) {
      if (levels_[i]->window->bounds().Contains(screen)) return i;
    }
    return -1;
  }

  int ItemAt(const Level& level, vz::Point screen) const {
    const vz::Rect b = level.window->bounds();
    const vz::Point local{screen.x - b.left, screen.y - b.top};
    for (size_t i = 0; i < level.rects.size(); ++i) {
      if (level.rects[i].Contains(local)) return static_cast<int>(i);
    }
    return -1;
  }

  static bool Selectable(const MenuItem& item) { return !(item.flags & MF_SEPARATOR); }
  static bool Enabled(const MenuItem& item) { return !(item.flags & (MF_GRAYED | MF_DISABLED)); }

  void Select(size_t level_index, int item) {
    Level& level = *levels_[level_index];
    if (level.selected == item) return;
    level.selected = item;
    level.window->Invalidate();
    CloseLevelsAbove(level_index);
  }

  void OpenSubMenu(size_t level_index) {
    Level& level = *levels_[level_index];
    if (level.selected < 0) return;
    const MenuItem& item = level.menu->items()[static_cast<size_t>(level.selected)];
    if (!(item.flags & MF_POPUP) || item.sub_menu == nullptr || !Enabled(item)) return;
    if (levels_.size() > level_index + 1) return;  // already open
    const vz::Rect b = level.window->bounds();
    const vz::Rect item_rect = level.rects[static_cast<size_t>(level.selected)].Offset(b.left, b.top);
    OpenLevel(item.sub_menu, {item_rect.right, item_rect.top}, &item_rect);
  }

  // Choosing an item: a command ends the tracking, a sub-menu opens.
  void Choose(size_t level_index, int item_index) {
    if (item_index < 0) return;
    const MenuItem& item = levels_[level_index]->menu->items()[static_cast<size_t>(item_index)];
    if (!Selectable(item) || !Enabled(item)) return;
    if (item.flags & MF_POPUP) {
      Select(level_index, item_index);
      OpenSubMenu(level_index);
      return;
    }
    loop_.End(static_cast<int>(item.id));
  }

  // A menu destroyed while its tracking runs (events of the same batch may
  // still arrive) ends the tracking and is not touched.
  bool MenusAlive() {
    for (const auto& level : levels_) {
      if (!*level->menu_alive) {
        loop_.End(0);
        return false;
      }
    }
    return true;
  }

  void OnMouse(const vz::MouseEvent& event) {
    if (levels_.empty() || !MenusAlive()) return;
    const int level = LevelAt(event.screen_position);
    switch (event.action) {
      case vz::MouseAction::kMove: {
        moved_ = true;
        if (level < 0) return;
        const int item = ItemAt(*levels_[static_cast<size_t>(level)], event.screen_position);
        Select(static_cast<size_t>(level), item);
        OpenSubMenu(static_cast<size_t>(level));
        return;
      }
      case vz::MouseAction::kPress:
      case vz::MouseAction::kDoubleClick:
        if (level < 0) {
          loop_.End(0);  // a click outside every level cancels
          return;
        }
        pressed_inside_ = true;
        return;
      case vz::MouseAction::kRelease: {
        // The release of the click that opened the menu chooses nothing
        // until the pointer has moved or pressed inside the menu.
        if (level < 0 || !(pressed_inside_ || moved_)) return;
        const auto index = static_cast<size_t>(level);
        const int item = ItemAt(*levels_[index], event.screen_position);
        Select(index, item);
        Choose(index, item);
        return;
      }
      default:
        return;
    }
  }

  void OnKey(const vz::KeyEvent& event) {
    if (!event.pressed || levels_.empty() || !MenusAlive()) return;
    const size_t deepest = levels_.size() - 1;
    Level& level = *levels_[deepest];
    const auto& items = level.menu->items();
    auto step = [&](int direction) {
      if (items.empty()) return;
      int i = level.selected;
      for (size_t n = 0; n < items.size(); ++n) {
        i = (i + direction + static_cast<int>(items.size())) % static_cast<int>(items.size());
        if (i < 0) i = direction > 0 ? 0 : static_cast<int>(items.size()) - 1;
        if (Selectable(items[static_cast<size_t>(i)])) break;
      }
      Select(deepest, i);
    };
    switch (event.keysym) {
      case vz::keys::kEscape:
        if (deepest == 0) {
          loop_.End(0);
        } else {
          CloseLevelsAbove(deepest - 1);
        }
        return;
      case vz::keys::kDown:
        step(1);
        return;
      case vz::keys::kUp:
        step(-1);
        return;
      case vz::keys::kRight:
        OpenSubMenu(deepest);
        return;
      case vz::keys::kLeft:
        if (deepest > 0) CloseLevelsAbove(deepest - 1);
        return;
      case vz::keys::kReturn:
      case vz::keys::kKpEnter:
      case vz::keys::kSpace:
        Choose(deepest, level.selected);
        return;
      default:
        return;
    }
  }

  vz::WindowSystem& system_;
  vz::ModalLoop& loop_;
  std::vector<std::unique_ptr<Level>> levels_;
  bool moved_ = false;
  bool pressed_inside_ = false;
};

uint32_t CVzPopupMenuBase::TrackPopupMenu(vz::Point screen, vz::WindowSystem* system) {
  if (system == nullptr) system = vz::WindowSystem::Current();
  if (system == nullptr) {
    VZ_LOG_ERROR("no window system: the menu is not shown");
    return 0;
  }
  if (tracking_ != nullptr) {
    VZ_LOG_ERROR("the menu is tracked already");
    return 0;
  }
  vz::ModalLoop loop(vz::RunLoop::ForCurrentThread());
  std::shared_ptr<const bool> alive = alive_.Watch();
  int result = 0;
  {
    MenuTracker tracker(*system, loop);
    if (!tracker.Open(this, screen)) return 0;
    tracking_ = &loop;
    result = loop.Run();
    if (*alive) tracking_ = nullptr;
    if (tracker.root() != nullptr) tracker.root()->Ungrab();
  }
  // The menu may have been destroyed while the loop ran: then nothing was chosen.
  if (!*alive || result < 0) return 0;
  VZ_LOG("chosen [%d]", result);
  return static_cast<uint32_t>(result);
}
