#pragma once
// Test double of the sharing UI's owner: participants in a map, one
// monitor, and a journal of every request the UI makes.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "client/sharingui/ds_ui_owner.h"
#include "platform/text.h"

namespace sharingui_testing {

using Journal = std::vector<std::string>;

inline std::string U8(const char16_t* text) { return text ? vz::Utf16ToUtf8(text) : "null"; }

class RecordingOwner : public IDSUIOwner {
 public:
  RecordingOwner() {
    std::memset(&monitors, 0, sizeof(monitors));
    std::memset(&windows, 0, sizeof(windows));
    MonitorInfo& m = monitors.Monitors[monitors.Count++];
    m.MonitorId = 1;
    m.Rect = {0, 0, 1920, 1080};
    m.LogicalRect = m.Rect;
    m.DpiScale = 1.0f;
    m.StateFlags = 2;
    AddRoster(u"me", u"Me Myself", true);
  }
  RosterRecord& AddRoster(const std::u16string& id, const std::u16string& name, bool presenter = false) {
    RosterRecord r;
    std::memset(&r, 0, sizeof(r));
    vz::CopyUtf16(r.RosterId, 128, id);
    vz::CopyUtf16(r.Name, 128, name);
    r.IsPresenter = presenter ? 1 : 0;
    return rosters[id] = r;
  }
  void Add(std::string line) { journal.push_back(std::move(line)); }

  RosterRecord* FindRoster(const char16_t* id) override {
    if (id == nullptr) return nullptr;
    auto it = rosters.find(id);
    return it != rosters.end() ? &it->second : nullptr;
  }
  RosterRecord* FindMyRoster() override { return FindRoster(u"me"); }
  std::u16string MyRosterId() override { return u"me"; }
  bool IsMyRosterId(const char16_t* id) override { return id && std::u16string(id) == u"me"; }
  bool IsRemoteControlRoster(const char16_t* id) override {
    return id && !controller.empty() && std::u16string(id) == controller;
  }
  RosterRecord* FindRemoteControlRoster() override { return controller.empty() ? nullptr : FindRoster(controller.c_str()); }
  bool IsMyRosterPresenter() override { return FindMyRoster()->IsPresenter != 0; }
  std::vector<std::u16string> GetRosterList() override {
    std::vector<std::u16string> ids;
    for (const auto& [id, r] : rosters) ids.push_back(id);
    return ids;
  }
  std::u16string GetMeetId() override { return u"123456789"; }
  int32_t GetDSState() override { return ds_state; }
  bool IsQuickStart() override { return quick_start; }
  void RequestStopSharing() override { Add("stop sharing"); }
  MonitorList* GetMonitorList() override { return &monitors; }
  ApplicationList* GetWindowList() override { return &windows; }
  MonitorInfo* GetMonitorInfo(int32_t id) override {
    for (int i = 0; i < monitors.Count; ++i) {
      if (monitors.Monitors[i].MonitorId == id) return &monitors.Monitors[i];
    }
    return nullptr;
  }
  int32_t ShareMonitor(MonitorInfo* m, int32_t share) override {
    Add("share monitor " + std::to_string(m->MonitorId) + " " + std::to_string(share));
    return 1;
  }
  int32_t ShareWindow(ApplicationInfo* w, int32_t share) override {
    Add("share window " + std::to_string(w->Window) + " " + std::to_string(share));
    return 1;
  }
  void CaptureNow() override { ++captures; }
  int32_t ShowPointerWindow(int32_t show) override {
    Add("pointer window " + std::to_string(show));
    return 1;
  }
  int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* p) override {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%08X", color);
    Add("arrow " + U8(label) + " " + hex + " " + std::to_string(p->x) + "," + std::to_string(p->y));
    return 1;
  }
  int32_t SetArrowIndicatorText(const char16_t* label, uint32_t) override {
    Add("arrow text " + U8(label));
    return 1;
  }
  int32_t SetExcludedWindow1(VzWindowHandle w) override {
    Add("exclude1 " + std::to_string(w));  // headless windows have the id 0
    return 1;
  }
  int32_t SetExcludedWindow2(VzWindowHandle w) override {
    Add("exclude2 " + std::to_string(w));
    return 1;
  }
  int32_t SendCommand(DSCommandRecord* c) override {
    Add("send " + std::to_string(c->Type) + " " + U8(c->SrcRosterId) + "->" + U8(c->DstRosterId));
    return 1;
  }
  bool IsWindowAlive(VzWindowHandle) override { return true; }
  void SetRemoteControlRosterId(const char16_t* id) override {
    Add("control " + U8(id));
    controller = id ? id : u"";
  }
  void SetRemoteControlPaused() override { Add("paused"); }
  void StopRemoteControlTo(const char16_t* id) override { Add("stop control " + U8(id)); }
  void ReportRemoteControlDenied() override { Add("page: control denied"); }
  void CommandAudioJoin() override { Add("audio join"); }
  void CommandAudioMute() override { Add("audio mute"); }
  void CommandAudioUnmute() override { Add("audio unmute"); }
  void CommandAudioLeave() override { Add("audio leave"); }

  std::map<std::u16string, RosterRecord> rosters;
  std::u16string controller;
  MonitorList monitors;
  ApplicationList windows;
  int32_t ds_state = 2;
  bool quick_start = false;
  int captures = 0;
  Journal journal;
};

}  // namespace sharingui_testing
