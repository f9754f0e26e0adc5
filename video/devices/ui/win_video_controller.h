#pragma once
// CWinVideoController: the video controller with the video panel. It makes
// the panel when a conference is joined and destroys it when it is left,
// and turns the controller's user, speaker, spotlight, progress and status
// events (already on the owner thread) into calls on the panel's main view
// and toolbar. Owner thread only, as its base.
#include <memory>
#include <string>
#include <vector>

#include "video/devices/ui/video_panel.h"
#include "video/engine/client/video_controller.h"

namespace vzpanel {

// The meeting id grouped for the title: 3-2-3 for 8 characters, 3-3-3 for
// 9, any other length as it is.
std::u16string GroupMeetingId(std::u16string_view id);
// The title format (one "%s" for the grouped id, "%%" a percent sign) with
// the id put in, cut to at most 127 units (never inside a surrogate pair).
// No other conversion is read: a format from the bundle is not trusted.
std::u16string FormatPanelTitle(std::u16string_view format, std::u16string_view grouped_id);

class CWinVideoController : public CVideoController, public IMainViewClient {
 public:
  CWinVideoController(IAVProviderSink* sink, VideoPanelFactory make_panel);
  ~CWinVideoController() override;

  // IAVProvider. JoinVideo answers 0 when the panel cannot be made or the
  // join does not start; the panel is then gone again.
  int32_t JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                    int32_t container_window) override;
  int32_t LeaveVideo() override;
  int32_t ConfigVideo() override;
  int32_t PreviewCapture(int32_t value) override;
  int32_t SetVideoLayoutMode(int32_t mode, int32_t* extra) override;
  int32_t StartMyVideo(int32_t value) override;
  int32_t StopMyVideo() override;
  void ActivateVideoPanel() override;

  // The controller's own operations.
  void OnUserChanged(uint32_t msg, const VideoRosterInfo& user, intptr_t arg) override;
  // All to the main view, which is laid out and refreshed once for them.
  void OnUsersChanged(const std::vector<UserChange>& changes) override;
  void OnActiveSpeakerChanged(const VideoRosterInfo* user) override;
  void OnSpotlightChanged(const VideoRosterInfo* user) override;
  void SetProgressingStatus(int32_t on) override;
  void OnUserBroadcastChanged(const VideoRosterInfo& user, int32_t started) override;
  void OnUserVideoBlocked(const VideoRosterInfo& user, int32_t blocked) override;
  void OnUserVideoSizeChanged(const VideoRosterInfo& user, int32_t width, int32_t height) override;
  // The panel's title from the meeting id (null: nothing).
  void SetVideoTitle(const char16_t* meeting_id);
  void SetMyVideoStatus(int32_t started);

  // The camera options window of the panel (the controller's own kind of
  // window, made here rather than through the device factories).
  int32_t OpenOptionsWindow(void* parent) override;
  int32_t CloseOptionsWindow() override;
  int32_t IsOptionsWindowOpening() override { return options_ != nullptr ? 1 : 0; }
  int32_t OnCameraNotify(IVideoCapDevice* device, int32_t kind) override;

  // IVideoOptionsSink: 1 without a panel or when the camera cannot be
  // chosen; else my mirror follows the new camera and 0.
  int32_t SelectCaptureDevice(IVideoCapDevice* device) override;

  // IMainViewClient (the panel's main view).
  int32_t RequestSourceVideo(const std::string& roster_id, int32_t size_type, uintptr_t renderer) override {
    return CVideoController::RequestSourceVideo(roster_id, size_type, renderer);
  }
  int32_t UnRequestSourceVideo(const std::string& roster_id, uintptr_t renderer) override {
    return CVideoController::UnRequestSourceVideo(roster_id, renderer);
  }
  int32_t SetSpotlight(const std::string& roster_id) override;
  bool IsCurrentCameraHardware() override;

  IVideoPanel* panelForTesting() const { return panel_.get(); }
  // For the main view of a panel: the client is joined (it has a conference client).
  bool HasClient() const { return client() != nullptr; }

 private:
  bool createVideoPanel(uint64_t container, int32_t layout, const char16_t* roster_id);
  int32_t destroyVideoPanel();

  VideoPanelFactory make_panel_;
  std::unique_ptr<IVideoPanel> panel_;
  std::unique_ptr<IVideoOptionsWindow> options_;
};

}  // namespace vzpanel
