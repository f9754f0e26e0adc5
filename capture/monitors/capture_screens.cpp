#include "capture/monitors/capture_screens.h"

#include <algorithm>

#include "common/scoped_lock.h"
#include "common/trace_client.h"

CCaptureScreens::CCaptureScreens(CMultiMonitor& monitors, CSharingRgnController& regions)
    : monitors_(monitors), regions_(regions) {}

bool CCaptureScreens::RegionsUnchanged(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window) {
  const bool unchanged = regions_.Update(monitors_.MonitorRegion(), monitors_, source, is_own_window);
  if (unchanged) monitors_.SetRegions(regions_.full_shared(), regions_.covered());
  return unchanged;
}

bool CCaptureScreens::InitScreen(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window, int* max_width,
                                 int* max_height) {
  regions_.ResetRgn();
  monitors_.ResetRegions();
  regions_.Update(monitors_.MonitorRegion(), monitors_, source, is_own_window);
  monitors_.SetRegions(regions_.full_shared(), regions_.covered());
  const CScreenRegion shared = monitors_.SharedRegion();

  std::vector<std::unique_ptr<CSharedMonitor>> built;
  int width = 0, height = 0, colour_bits = 32;
  for (const MonitorInfo& monitor : monitors_.Monitors()) {
    CScreenRegion part(monitor.Rect);
    part.Intersect(shared);
    if (part.IsEmpty()) continue;
    auto grabber = std::make_unique<CSharedMonitor>(monitor);
    if (!grabber->InitMonitor(&source)) continue;  // left out until the next reset
    width = std::max(width, grabber->width());
    height = std::max(height, grabber->height());
    colour_bits = std::min(colour_bits, static_cast<int>(monitor.BitsPerPixel));
    VZ_LOG(" InitScreen shared monitor id =[%d], rect [%s]", monitor.MonitorId, FormatRect(&monitor.Rect).c_str());
    built.push_back(std::move(grabber));
  }
  VZ_LOG("Init screen max cx=%d, cy=%d, and min colorbits=%d", width, height, colour_bits);
  if (width == 0 || height == 0) {
    EndScreen();
    VZ_LOG_ERROR("nMaxScreenCX: %d nMaxScreenCY=%d", width, height);
    return false;
  }
  {
    CScopedLock guard(monitors_.lock());
    monitors_.grabbers() = std::move(built);
  }
  if (max_width) *max_width = width;
  if (max_height) *max_height = height;
  return true;
}

std::vector<VzRect> CCaptureScreens::WatchedArea() {
  CScreenRegion grabbed;
  {
    CScopedLock guard(monitors_.lock());
    for (const auto& grabber : monitors_.grabbers()) grabbed.Union(CScreenRegion(grabber->monitor().Rect));
  }
  grabbed.Intersect(monitors_.SharedRegion());
  grabbed.Subtract(monitors_.CoveredRegion());
  return grabbed.Rects();
}

void CCaptureScreens::EndScreen() {
  std::vector<std::unique_ptr<CSharedMonitor>> gone;
  {
    CScopedLock guard(monitors_.lock());
    gone.swap(monitors_.grabbers());
  }
  for (auto& grabber : gone) grabber->EndMonitor();
}

CaptureRoundResult CCaptureScreens::CheckSharedScreenData(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window,
                                                          const CaptureRoundSettings& settings,
                                                          IChangedBoxSender& sender) {
  if (!RegionsUnchanged(source, is_own_window)) {
    VZ_LOG_ERROR(" ------------> visual change, skip scan this time!");
    return CaptureRoundResult::kVisualChange;
  }
  return ScanAndSend(settings, sender) ? CaptureRoundResult::kChanged : CaptureRoundResult::kNoChange;
}

bool CCaptureScreens::ScanAndSend(const CaptureRoundSettings& settings, IChangedBoxSender& sender) {
  ScanContext context;
  context.capture_mode = settings.capture_mode;
  context.block_width = settings.block_width;
  context.block_height = settings.block_height;
  context.has_cursor = settings.has_cursor;
  context.cursor_x = settings.cursor_x;
  context.cursor_y = settings.cursor_y;
  context.cursor_phase = &cursor_phase_;
  // Only the capture thread changes the grabber list, so it is walked
  // without the set's lock (sends block on the caller's thread).
  auto& grabbers = monitors_.grabbers();
  for (auto& grabber : grabbers) grabber->ScanScreenChanged(settings.full_compare, context);
  const CScreenRegion shared = regions_.full_shared();
  const CScreenRegion covered = regions_.covered();
  bool taken = false;
  for (auto& grabber : grabbers) taken = grabber->SendChangedBox(shared, covered, settings.header_colour, sender) || taken;
  return taken;
}

bool CCaptureScreens::DumpAllScreens(uint32_t header_colour, IChangedBoxSender& sender) {
  const CScreenRegion shared = regions_.full_shared();
  const CScreenRegion covered = regions_.covered();
  bool copied = false;
  for (auto& grabber : monitors_.grabbers())
    copied = grabber->ForceDumpScreenRect(shared, covered, header_colour, sender) != 0 || copied;
  return copied;
}
