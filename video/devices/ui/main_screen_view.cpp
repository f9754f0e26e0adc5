#include "video/devices/ui/main_screen_view.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/run_loop.h"
#include "video/devices/ui/panel_helpers.h"
#include "video/devices/ui/thumb_menu.h"

namespace vzpanel {
namespace {

constexpr uint32_t kFullscreenId = 1;
constexpr uint32_t kCollapseId = 2;
constexpr uint32_t kPrevId = 3;
constexpr uint32_t kNextId = 4;
constexpr uintptr_t kIdleTimer = 2;
// The idle check runs more often than the idle time so the controls hide
// close to 3.5 s after the last movement.
constexpr uint32_t kIdleCheckMs = 250;

}  // namespace

CVzMainScreenView::CVzMainScreenView(IVideoRenderService* render, IMainViewClient* client, std::string my_roster_id,
                                     const vz::Clock& clock)
    : model_(render, client, std::move(my_roster_id), clock),
      active_(&model_.activeView()),
      strip_(&model_.strip()) {
  model_.setRendererOwner([this](VideoContainerState* state) -> void* {
    if (state == &model_.activeView().container()) return active_.container().window();
    for (ThumbTile* tile : model_.strip().allItems()) {
      if (&tile->container == state) {
        CVzThumbItem* item = strip_.EnsureItem(tile);
        return item != nullptr ? item->container().window() : nullptr;
      }
    }
    return nullptr;
  });
}

CVzMainScreenView::~CVzMainScreenView() {
  VZ_LOG("CVzMainScreenView::~CVzMainScreenView");
  *alive_ = false;
  model_.cleanUp();
  Destroy();
}

void CVzMainScreenView::MakeButton(CGdipButton& button, uint32_t id, std::initializer_list<uint32_t> images) {
  for (uint32_t image : images) button.AddImage(image, image);
  button.Create(window_.get(), vz::Rect::FromXYWH(0, 0, 24, 24), id, u"");
  button.SetBackgroundColor(0x2D2D2D);
  const vz::Size size = button.GetCurrentImageSize();
  if (button.window() && size.width > 0) button.window()->Resize(size.width, size.height);
  button.SetCommandHandler([this](uint32_t which, int) {
    switch (which) {
      case kFullscreenId:
        VZ_LOG("full screen");
        if (on_fullscreen_toggle) on_fullscreen_toggle();
        return;
      case kCollapseId:
        model_.onExpandCollapseButtonClicked();
        break;
      case kPrevId:
        model_.strip().onPrevSlide();
        break;
      case kNextId:
        model_.strip().onNextSlide();
        break;
      default:
        break;
    }
    Sync();
  });
  button.forward_mouse_moves = true;
  button.on_forwarded_move = [this, &button](const vz::MouseEvent& e) { OnChildMouse(e, button.window()); };
}

bool CVzMainScreenView::Create(vz::Window* parent, const vz::Rect& rect) {
  VZ_LOG("");
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = rect;
  params.class_name = "CVzMainScreenView";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) return false;
  model_.setClientSize(rect.GetSize());
  active_.Create(window_.get());
  active_.on_button = [this] {
    model_.onActiveSpeakerButtonTapped();
    Sync();
  };
  active_.on_mouse = [this](const vz::MouseEvent& e) { OnChildMouse(e, active_.window()); };
  strip_.Create(window_.get());
  strip_.on_single_tap = [this](ThumbTile* tile) { OnTileTapped(tile); };
  strip_.on_double_tap = [](ThumbTile*) { VZ_LOG("double tapped"); };
  strip_.on_mouse = [this](const vz::MouseEvent& e) { OnChildMouse(e, strip_.window()); };
  MakeButton(fullscreen_button_, kFullscreenId, {vzres::IDB_VIDEO_FULLSCREEN, vzres::IDB_VIDEO_FULLSCREEN_LEAVE});
  MakeButton(collapse_button_, kCollapseId, {vzres::IDB_VIDEO_COLLAPSE, vzres::IDB_VIDEO_EXPAND});
  MakeButton(prev_button_, kPrevId, {vzres::IDB_VIDEO_PREV_PAGE});
  MakeButton(next_button_, kNextId, {vzres::IDB_VIDEO_NEXT_PAGE});
  model_.setButtonSizes(fullscreen_button_.GetCurrentImageSize(), collapse_button_.GetCurrentImageSize(),
                        prev_button_.GetCurrentImageSize());
  if (vz::RunLoop* loop = vz::RunLoop::Current()) {
    loop->StartTimer(this, kIdleTimer, kIdleCheckMs, [this] { OnIdleTimer(); });
  }
  window_->Show(false);
  model_.relayoutViewContent();
  Sync();
  return true;
}

void CVzMainScreenView::Destroy() {
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->KillTimers(this);
  // Renderers are made for the container windows about to go.
  model_.cleanAllVideoRender();
  for (CGdipButton* button : {&fullscreen_button_, &collapse_button_, &prev_button_, &next_button_}) button->Destroy();
  progress_.Destroy();
  strip_.Destroy();
  active_.Destroy();
  // The toolbar's window goes with its host too; the owner gives it again.
  toolbar_ = nullptr;
  window_.reset();
}

void CVzMainScreenView::SetBounds(const vz::Rect& rect) {
  if (!window_) return;
  window_->SetBounds(rect);
  OnResize(rect.GetSize());
}

void CVzMainScreenView::OnResize(vz::Size size) {
  progress_.CenterIn(size);
  model_.setClientSize(size);
  model_.relayoutViewContent();
  Sync();
}

void CVzMainScreenView::SetToolbar(vz::Window* toolbar, vz::Size preferred) {
  toolbar_ = toolbar;
  model_.setToolbar(toolbar != nullptr ? std::optional<vz::Size>(preferred) : std::nullopt);
  model_.relayoutViewContent();
  Sync();
}

void CVzMainScreenView::Sync() {
  if (!window_) return;
  const MainViewLayout& layout = model_.layout();
  active_.Sync(layout.large, model_.activeViewShown(), model_.largeLabelInset(), model_.largeLabelRightLimit());
  strip_.Sync(model_.stripShown() && model_.layoutMode() != kLayoutLargeOnly);

  auto place = [](CGdipButton& button, const vz::Rect& rect, bool shown) {
    if (!button.window()) return;
    if (button.window()->bounds() != rect) button.window()->SetBounds(rect);
    button.ShowWindow(shown);
    if (shown) button.window()->Raise();
  };
  fullscreen_button_.SetCurrentImage(model_.fullscreenButtonImage());
  place(fullscreen_button_, layout.fullscreen_button, model_.fullscreenButtonShown());
  collapse_button_.SetCurrentImage(model_.collapseButtonImage());
  place(collapse_button_, layout.collapse_button, model_.collapseButtonShown());
  // The page buttons: left and right of the strip, centred on it.
  const vz::Rect& strip = layout.strip;
  const vz::Size page = prev_button_.GetCurrentImageSize();
  const int page_top = strip.top + (strip.Height() - page.height) / 2;
  place(prev_button_, vz::Rect::FromXYWH(strip.left - 2 - page.width, page_top, page.width, page.height),
        model_.strip().prevButtonShown() && model_.stripShown());
  place(next_button_, vz::Rect::FromXYWH(strip.right + 2, page_top, page.width, page.height),
        model_.strip().nextButtonShown() && model_.stripShown());
  if (toolbar_ != nullptr) {
    if (toolbar_->bounds() != layout.toolbar) toolbar_->SetBounds(layout.toolbar);
    if (model_.toolbarShown()) {
      toolbar_->Show(false);
      toolbar_->Raise();
    } else {
      toolbar_->Hide();
    }
  }
  // The join's waiting animation: a window over the large view's video.
  if (model_.progressShown() && !progress_.window()) {
    progress_.on_mouse = [this](const vz::MouseEvent& e) { OnChildMouse(e, progress_.window()); };
    progress_.Create(window_.get());
  } else if (!model_.progressShown() && progress_.window()) {
    progress_.Destroy();
  }
  // Logged both ways, whatever showed or hid them (the pointer, the idle
  // time, a roster event): the log tells when the controls take clicks.
  if (model_.fullscreenButtonShown() != overlay_logged_) {
    overlay_logged_ = model_.fullscreenButtonShown();
    if (overlay_logged_) {
      VZ_LOG("overlay controls shown");
    } else {
      VZ_LOG("overlay controls hidden");
    }
  }
  // The renderers follow their containers' windows, which are placed now.
  model_.notifyRendererPositions();
  window_->Invalidate();
}

void CVzMainScreenView::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, size.width, size.height}, kPanelBackground);
}

std::optional<vz::Point> CVzMainScreenView::CursorInView() {
  if (!window_) return std::nullopt;
  const vz::Point pointer = window_->system().PointerPosition();
  const vz::Point origin = window_->ToScreen({0, 0});
  return vz::Point{pointer.x - origin.x, pointer.y - origin.y};
}

void CVzMainScreenView::OnChildMouse(const vz::MouseEvent& event, vz::Window*) {
  vz::MouseEvent in_view = event;
  if (window_) {
    const vz::Point origin = window_->ToScreen({0, 0});
    in_view.position = {event.screen_position.x - origin.x, event.screen_position.y - origin.y};
  }
  OnMouse(in_view);
}

void CVzMainScreenView::OnMouse(const vz::MouseEvent& event) {
  if (event.action == vz::MouseAction::kMove) {
    const bool was_hidden = !model_.fullscreenButtonShown();
    model_.onMouseMove(event.position);
    if (was_hidden && model_.fullscreenButtonShown()) Sync();
  } else if (event.action == vz::MouseAction::kDoubleClick && event.button == vz::MouseButton::kLeft) {
    if (model_.onDoubleClick(event.position)) {
      if (on_fullscreen_toggle) on_fullscreen_toggle();
    } else {
      Sync();
    }
  }
}

void CVzMainScreenView::OnTileTapped(ThumbTile* tile) {
  // Handled from the loop, after the tile's own handler has returned: the
  // menu's nested loop may see the tile leave.
  const std::string roster_id = tile->record.rosterId;
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) {
    ShowTileMenu(roster_id);
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  loop->Post([this, alive, roster_id] {
    if (alive.lock()) ShowTileMenu(roster_id);
  });
}

void CVzMainScreenView::ShowTileMenu(const std::string& roster_id) {
  ThumbTile* tile = model_.strip().itemOf(roster_id);
  if (tile == nullptr) return;
  std::vector<ThumbMenuItem> items = model_.onThumbItemSingleTapped(tile);
  if (!items.empty() && window_) {
    const vz::Point at = window_->system().PointerPosition();
    const uint32_t command =
        track_menu ? track_menu(items, at) : TrackThumbMenu(items, at, &window_->system());
    // The command goes through the model whatever it is: it forgets the
    // menu's participant, who may have left while the menu was open.
    model_.onCommand(command);
  }
  Sync();
}

void CVzMainScreenView::OnIdleTimer() {
  if (model_.onIdleTick(CursorInView())) Sync();
}

}  // namespace vzpanel
