#include "platform/ui/xlib_threads.h"

#include <X11/Xlib.h>

#include <mutex>

#include "platform/platform_log.h"

namespace vz {

void EnsureXlibThreads() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!XInitThreads()) PlatformLog("window layer: Xlib has no thread support");
  });
}

}  // namespace vz
