#include "platform/device_change.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/run_loop.h"

namespace vz {
namespace {

// Whether this machine gives notifications or not (containers often do not),
// starting and stopping must be clean, and a refusal must say why.
TEST(UsbDeviceMonitor, StartsOrRefusesWithAReasonAndStopsCleanly) {
  FakeClock clock;
  RunLoop loop(clock);
  std::unique_ptr<UsbDeviceMonitor> monitor = CreateUsbDeviceMonitor();
  int error = 0;
  int calls = 0;
  const bool started = monitor->Start([&calls](const UsbDeviceMonitor::Change&) { ++calls; }, &error);
  if (started) {
    EXPECT_EQ(error, 0);
    loop.RunPending();  // nothing is plugged in by the test
    monitor->Stop();
    monitor->Stop();
  } else {
    EXPECT_NE(error, 0);
  }
  monitor.reset();
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace vz
