#pragma once
// The window that picks what to share: thumbnails of every monitor, then of
// every shareable window, in an icon list, with a Share and a Cancel button,
// a status label that covers the list until the session is joined, and the
// "powered by" logo when the meeting wants it.
//
// The sharing UI fills it from the capture side's lists, shows and hides
// it, and hears from it through posted panel messages: 2033 confirmed (Share
// or a double click), 2035 cancelled, 2036 (every 2.5 s while visible) time
// to refresh the window list. A refresh is incremental: items of windows
// that are gone are deleted, new windows are appended, and a window seen
// again keeps its thumbnail.
//
// UI thread only.
#include <cstdint>
#include <functional>
#include <memory>

#include "client/sharingui/thumbnail_list.h"
#include "client/sharingui/thumbnail_source.h"
#include "uikit/dialog_controls.h"
#include "uikit/gdip_button.h"
#include "uikit/vz_dialog.h"
#include "contracts/capture_records.h"
#include "contracts/session_records.h"

class CDSSharingSelectWindow : public CVzDialog {
 public:
  static constexpr uintptr_t kRefreshTimer = 257;
  static constexpr uint32_t kRefreshMs = 2500;
  static constexpr uint32_t kListId = 1;
  static constexpr uint32_t kStatusLabelId = 102;
  static constexpr int kButtonArea = 38;  // below the list

  // `notify` receives the panel messages (it posts them); the source gives
  // the thumbnails' pixels and process names and must outlive the window.
  CDSSharingSelectWindow(IThumbnailSource* source, std::function<void(uint32_t message)> notify);
  ~CDSSharingSelectWindow() override;

  // Makes the window, hidden. False, logged, when it cannot be made.
  bool CreateWindow(vz::WindowSystem* system = nullptr);
  void Show(bool show);
  bool IsVisible() const;

  void updateMeetConfig(const MeetConfig* config);
  // Deletes every item.
  void Clean();
  // Appends one item per monitor of the list (null: ignored).
  void setMonitorsInfo(const MonitorList* monitors);
  // Brings the window items in line with the list (null: ignored).
  void setWindowsInfo(const ApplicationList* windows);
  // The selected monitor's record (in the window's copy), or null.
  const MonitorInfo* getCurrentSelectedMonitor();
  // The last record of the copied window list with the selected item's
  // window, or null (nothing or a monitor selected, or the window gone).
  const ApplicationInfo* getCurrentSelectedWindow();
  // Selects item 0 when nothing (or nothing valid) is selected, and focuses
  // the list.
  void focusList();
  // With text: covers the list with a large label, disables the list and
  // hides Share. Null: removes it and shows both buttons.
  void showStatusLabel(const char16_t* text);

  CThumbnailList* list() const { return list_.get(); }
  bool HasStatusLabelForTesting() const { return status_label_ != nullptr; }
  CPushButton* status_label_for_testing() const { return status_label_.get(); }
  int monitor_count_for_testing() const { return monitors_.Count; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(uint32_t id, int code) override;
  void OnOK() override {}
  void OnCancel() override;

 private:
  void UpdateShareButton();
  vz::Image MonitorThumbnail(const MonitorInfo& monitor);
  // With the program's icon at the bottom left: the window's own, else the
  // generic one when its process is known.
  vz::Image WindowThumbnail(const ApplicationInfo& window, bool process_known);
  void Notify(uint32_t message);

  IThumbnailSource* source_;
  std::function<void(uint32_t)> notify_;
  MeetConfig config_;
  std::unique_ptr<CThumbnailList> list_;
  std::unique_ptr<CPushButton> status_label_;
  MonitorList monitors_;
  ApplicationList windows_;
  bool refreshing_ = false;
  vz::AliveFlag alive_;
};
