#include "capture/controller/helper_thread.h"

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "common/trace_client.h"
#include "platform/desktop_switch.h"

CHelperThread::CHelperThread(CDsHelperWindow* window, std::unique_ptr<vz::DesktopSwitchEvents> switches)
    : window_(window), switches_(std::move(switches)) {}

CHelperThread::~CHelperThread() { Stop(nullptr); }

int CHelperThread::ThreadRun() {
  VZ_LOG("Desktop switch Event: %llx", vz::LogAddress(switches_.get()));
  if (!switches_) return 1;
  while (switches_->Wait()) window_->Post(WMDS_DESKTOP_SWITCH);
  VZ_LOG("Helper thread is exiting...");
  return 0;
}

void CHelperThread::OnStopRequested() {
  if (switches_) switches_->Cancel();
}
