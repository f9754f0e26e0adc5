#pragma once
// CHelperThread: waits for switches of the input desktop and posts
// WMDS_DESKTOP_SWITCH to the helper window for each. Where the system has no
// switches (X11) it ends at once with 1.
#include <memory>

#include "capture/controller/ds_thread.h"

class CDsHelperWindow;
namespace vz {
class DesktopSwitchEvents;
}

class CHelperThread : public CDsThread {
 public:
  CHelperThread(CDsHelperWindow* window, std::unique_ptr<vz::DesktopSwitchEvents> switches);
  ~CHelperThread() override;

 protected:
  int ThreadRun() override;
  void OnStopRequested() override;

 private:
  CDsHelperWindow* window_;
  std::unique_ptr<vz::DesktopSwitchEvents> switches_;
};
