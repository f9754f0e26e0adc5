#include "client/sharingui/ds_sharing_select_window.h"

#include <algorithm>
#include <cstring>

#include "client/sharingui/panel_messages.h"
#include "client/sharingui/program_icon.h"
#include "client/sharingui/sharing_thumbnail.h"
#include "uikit/gdiplus_bitmap.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/wide_format.h"

namespace {

using namespace vzres;

constexpr uint32_t kMonitorShared = 4;
constexpr int kMaxMonitors = 16;
constexpr int kBadgeSize = 32;

// Items of windows carry the handle; monitors their index in the copy.
constexpr uint64_t kWindowTag = uint64_t{1} << 32;

bool IsWindowItem(uint64_t param) { return (param & kWindowTag) != 0; }
VzWindowHandle HandleOf(uint64_t param) { return static_cast<VzWindowHandle>(param & 0xFFFFFFFFu); }

std::string RectText(const VzRect& r) {
  char text[96];
  std::snprintf(text, sizeof(text), "{%d, %d, %d, %d}(%d, %d)", r.left, r.top, r.right, r.bottom, r.right - r.left,
                r.bottom - r.top);
  return text;
}

std::string TitleOf(const char16_t* title, size_t capacity) {
  size_t n = 0;
  while (n < capacity && title[n] != 0) ++n;
  return vz::Utf16ToUtf8(std::u16string(title, n));
}

}  // namespace

CDSSharingSelectWindow::CDSSharingSelectWindow(IThumbnailSource* source, std::function<void(uint32_t)> notify)
    : CVzDialog(IDD_SHARING_SELECT), source_(source), notify_(std::move(notify)), config_(kDefaultMeetConfig) {
  std::memset(&monitors_, 0, sizeof(monitors_));
  std::memset(&windows_, 0, sizeof(windows_));
}

CDSSharingSelectWindow::~CDSSharingSelectWindow() {
  if (vz::RunLoop* loop = vz::RunLoop::Current(); loop != nullptr) loop->KillTimers(this);
  status_label_.reset();
  list_.reset();
  DestroyWindow();
}

bool CDSSharingSelectWindow::CreateWindow(vz::WindowSystem* system) {
  if (IsWindow()) return true;
  if (!CreateHidden(nullptr, system)) {
    VZ_LOG_ERROR("sharing selection window not created");
    return false;
  }
  return true;
}

bool CDSSharingSelectWindow::OnInitDialog() {
  CenterWindow(nullptr);
  const vz::Rect client = window()->ClientRect();
  list_ = std::make_unique<CThumbnailList>();
  if (!list_->Create(window(), {0, 0, client.Width(), client.Height() - kButtonArea}, kListId, u"")) return false;
  std::shared_ptr<const bool> alive = alive_.Watch();
  list_->on_selection_changed = [this, alive] {
    if (*alive) UpdateShareButton();
  };
  list_->on_activate = [this, alive](int) {
    if (*alive) Notify(kPanelSelectionConfirmed);
  };
  vz::RunLoop::ForCurrentThread().StartTimer(this, kRefreshTimer, kRefreshMs, [this, alive] {
    if (*alive && IsVisible()) Notify(kPanelWindowListRefresh);
  });
  SetWindowText(LoadResString(IDS_SELECT_TITLE));
  SetDlgItemText(IDC_SELECT_SHARE, LoadResString(IDS_SHARE));
  SetDlgItemText(IDCANCEL, LoadResString(IDS_CANCEL));
  if (auto* share = GetDlgItemAs<CPushButton>(IDC_SELECT_SHARE); share != nullptr) {
    share->EnableWindow(false);
    // While enabled, the Share button wears the meeting's header colour.
    share->face_color = vz::ColorFromColorRef(config_.HeaderBgColor & 0xFFFFFF);
  }
  if (auto* logo = GetDlgItemAs<CImageButton>(IDC_SELECT_LOGO); logo != nullptr) {
    logo->AddImage(IDB_LOGO, 1);
    logo->SetWindowText(u"");
    logo->EnableWindow(false);
    logo->ShowWindow(config_.ShowPoweredBy != 0);
  }
  return true;
}

void CDSSharingSelectWindow::Notify(uint32_t message) {
  if (notify_) notify_(message);
}

void CDSSharingSelectWindow::Show(bool show) {
  if (!window()) return;
  if (show) {
    window()->Show(true);
  } else {
    window()->Hide();
  }
}

bool CDSSharingSelectWindow::IsVisible() const { return window() != nullptr && window()->IsVisible(); }

void CDSSharingSelectWindow::updateMeetConfig(const MeetConfig* config) {
  if (config == nullptr) return;
  config_ = *config;
  if (auto* share = GetDlgItemAs<CPushButton>(IDC_SELECT_SHARE); share != nullptr) {
    share->face_color = vz::ColorFromColorRef(config_.HeaderBgColor & 0xFFFFFF);
    share->Invalidate();
  }
  if (auto* logo = GetDlgItemAs<CImageButton>(IDC_SELECT_LOGO); logo != nullptr) {
    logo->ShowWindow(config_.ShowPoweredBy != 0);
  }
}

void CDSSharingSelectWindow::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked) return;
  if (id == IDC_SELECT_SHARE) Notify(kPanelSelectionConfirmed);
  if (id == IDCANCEL) OnCancel();
}

void CDSSharingSelectWindow::OnCancel() { Notify(kPanelSelectionClosed); }

void CDSSharingSelectWindow::Clean() {
  if (list_) list_->DeleteAllItems();
}

vz::Image CDSSharingSelectWindow::MonitorThumbnail(const MonitorInfo& monitor) {
  const VzRect& r = monitor.Rect;
  VZ_LOG("monitor rc [%s] size {%d, %d} SM_CXSCREEN [%d]", RectText(r).c_str(), sharing_thumbnail::kSize,
         sharing_thumbnail::kSize, window() ? window()->system().ScreenBounds().Width() : 0);
  const bool shared = (monitor.StateFlags & kMonitorShared) != 0;
  const vz::Image pixels = source_ != nullptr ? source_->GrabScreen(r) : vz::Image();
  vz::Image thumbnail = sharing_thumbnail::Compose(pixels, r.right - r.left, r.bottom - r.top, shared,
                                                   config_.HeaderBgColor);
  CGdiPlusBitmapResource badge;
  if (badge.Load(IDB_MONITOR_BADGE)) {
    auto canvas = vz::CreateImageCanvas(thumbnail);
    canvas->DrawImageScaled(*badge.bitmap(),
                            vz::Rect::FromXYWH((sharing_thumbnail::kSize - kBadgeSize) / 2,
                                               sharing_thumbnail::kSize - kBadgeSize, kBadgeSize, kBadgeSize));
  }
  return thumbnail;
}

vz::Image CDSSharingSelectWindow::WindowThumbnail(const ApplicationInfo& app, bool process_known) {
  const VzRect& r = app.Rect;
  const vz::Image pixels = source_ != nullptr ? source_->GrabScreen(r) : vz::Image();
  vz::Image thumbnail = sharing_thumbnail::Compose(pixels, r.right - r.left, r.bottom - r.top, app.Shared != 0,
                                                   config_.HeaderBgColor);
  // The window's own icon; else, for a program that could be found, the
  // generic one (as a program file without an icon of its own shows); a
  // window of an unknown process gets none.
  vz::Image icon = source_ != nullptr ? program_icon::FromWindowIcons(source_->WindowIcons(app.Window)) : vz::Image();
  CGdiPlusBitmapResource generic;
  const vz::Image* shown = &icon;
  if (icon.IsEmpty()) {
    shown = process_known && generic.Load(IDB_PROGRAM_ICON) ? generic.bitmap() : nullptr;
  }
  if (shown != nullptr) {
    auto canvas = vz::CreateImageCanvas(thumbnail);
    canvas->DrawImageScaled(*shown, vz::Rect::FromXYWH(0, sharing_thumbnail::kSize - program_icon::kSide,
                                                       program_icon::kSide, program_icon::kSide));
  }
  return thumbnail;
}

void CDSSharingSelectWindow::setMonitorsInfo(const MonitorList* monitors) {
  if (monitors == nullptr || !list_) return;
  monitors_ = *monitors;
  monitors_.Count = std::clamp(monitors_.Count, 0, kMaxMonitors);
  const std::u16string format = LoadResString(IDS_MONITOR_NAME);
  for (int i = 0; i < monitors_.Count; ++i) {
    const MonitorInfo& monitor = monitors_.Monitors[i];
    const std::u16string text = vz::FormatWideString(format.c_str(), monitor.MonitorId);
    list_->InsertItem(text, MonitorThumbnail(monitor), static_cast<uint64_t>(i));
  }
  UpdateShareButton();
}

void CDSSharingSelectWindow::setWindowsInfo(const ApplicationList* windows) {
  if (windows == nullptr || !list_ || refreshing_) return;
  refreshing_ = true;
  windows_ = *windows;
  windows_.Count = std::clamp(windows_.Count, 0, kApplicationListCapacity);
  VZ_LOG("windows count [%d] items [%d]", windows_.Count, list_->GetItemCount());
  auto listed = [this](VzWindowHandle handle) {
    for (int i = 0; i < windows_.Count; ++i) {
      if (windows_.Applications[i].Window == handle) return true;
    }
    return false;
  };
  // Items of windows that are gone, from the last down to the first window item.
  for (int item = list_->GetItemCount() - 1; item >= 0; --item) {
    const uint64_t param = list_->GetItem(item).param;
    if (!IsWindowItem(param)) continue;
    if (!listed(HandleOf(param))) {
      VZ_LOG("Delete item [%d] hwnd [0x%08X]", item, HandleOf(param));
      list_->DeleteItem(item);
    }
  }
  // New windows, appended; records are walked from the last to the first.
  for (int i = windows_.Count - 1; i >= 0; --i) {
    const ApplicationInfo& app = windows_.Applications[i];
    bool present = false;
    for (int item = 0; item < list_->GetItemCount() && !present; ++item) {
      const uint64_t param = list_->GetItem(item).param;
      present = IsWindowItem(param) && HandleOf(param) == app.Window;
    }
    if (present) continue;
    const std::u16string process = source_ != nullptr ? source_->ProcessName(app.ProcessId) : std::u16string();
    if (!process.empty()) {
      VZ_LOG("app pid [%d][%s] rc [%s]", app.ProcessId, vz::Utf16ToUtf8(process).c_str(), RectText(app.Rect).c_str());
    }
    const std::string title = TitleOf(app.Title, 128);
    const int item =
        list_->InsertItem(vz::Utf8ToUtf16(title), WindowThumbnail(app, !process.empty()), kWindowTag | app.Window);
    VZ_LOG("Insert item [%d] hwnd [0x%08X] name [%s]", item, app.Window, title.c_str());
  }
  UpdateShareButton();
  refreshing_ = false;
}

const MonitorInfo* CDSSharingSelectWindow::getCurrentSelectedMonitor() {
  if (!list_) return nullptr;
  const int selected = list_->GetSelectedIndex();
  if (selected < 0) return nullptr;
  const uint64_t param = list_->GetItem(selected).param;
  if (IsWindowItem(param) || selected >= monitors_.Count) return nullptr;
  const MonitorInfo& monitor = monitors_.Monitors[selected];
  VZ_LOG("selected monitor [%s]", TitleOf(monitor.Name, 128).c_str());
  return &monitor;
}

const ApplicationInfo* CDSSharingSelectWindow::getCurrentSelectedWindow() {
  if (!list_) return nullptr;
  const int selected = list_->GetSelectedIndex();
  if (selected < 0) return nullptr;
  const uint64_t param = list_->GetItem(selected).param;
  if (!IsWindowItem(param)) return nullptr;
  const ApplicationInfo* found = nullptr;
  for (int i = 0; i < windows_.Count; ++i) {
    if (windows_.Applications[i].Window == HandleOf(param)) found = &windows_.Applications[i];
  }
  return found;
}

void CDSSharingSelectWindow::UpdateShareButton() {
  CVzControl* share = GetDlgItem(IDC_SELECT_SHARE);
  if (share == nullptr || !list_) return;
  bool enable = false;
  const int selected = list_->GetSelectedIndex();
  if (selected >= 0) {
    const uint64_t param = list_->GetItem(selected).param;
    if (!IsWindowItem(param)) {
      enable = selected < monitors_.Count && (monitors_.Monitors[selected].StateFlags & kMonitorShared) == 0;
    } else {
      const ApplicationInfo* app = getCurrentSelectedWindow();
      enable = app != nullptr && app->Shared == 0;
    }
  }
  share->EnableWindow(enable);
}

void CDSSharingSelectWindow::focusList() {
  if (!list_) return;
  const int selected = list_->GetSelectedIndex();
  if ((selected < 0 || selected >= list_->GetItemCount()) && list_->GetItemCount() > 0) {
    list_->SetSelectedIndex(0);
    list_->EnsureVisible(0);
  }
  if (list_->window() != nullptr) list_->window()->Focus();
}

void CDSSharingSelectWindow::showStatusLabel(const char16_t* text) {
  if (!list_ || !window()) return;
  CVzControl* share = GetDlgItem(IDC_SELECT_SHARE);
  CVzControl* cancel = GetDlgItem(IDCANCEL);
  if (text != nullptr) {
    if (!status_label_) {
      const vz::Rect area = list_->window()->bounds();
      status_label_ = std::make_unique<CPushButton>();
      const vz::Rect rect =
          vz::Rect::FromXYWH(area.left + (area.Width() - 420) / 2, area.top + (area.Height() - 68) / 2, 420, 68);
      if (!status_label_->Create(window(), rect, kStatusLabelId, text)) {
        status_label_.reset();
        return;
      }
      vz::Font font = DefaultControlFont();
      font.pixel_size = 15;
      font.weight = 700;
      status_label_->SetFont(font);
      list_->EnableWindow(false);
      if (share != nullptr) share->ShowWindow(false);
      if (cancel != nullptr) cancel->ShowWindow(true);
    } else {
      status_label_->SetWindowText(text);
    }
    return;
  }
  status_label_.reset();
  list_->EnableWindow(true);
  if (share != nullptr) share->ShowWindow(true);
  if (cancel != nullptr) cancel->ShowWindow(true);
}
