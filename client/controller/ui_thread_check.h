#pragma once
// The meeting controller's check that it is called on its UI thread: every
// sink of the web link and of the engines runs there, and the controller
// takes no lock. A call from another thread is a fault of the caller; it is
// logged as an error line (with the caller's name and line and the thread)
// and the call goes on, so a release build never stops for it.
#include "common/trace_client.h"
#include "platform/run_loop.h"

class UiThreadCheck {
 public:
  // `loop` is the UI thread's loop and must outlive the check.
  explicit UiThreadCheck(const vz::RunLoop& loop) : loop_(loop) {}

  // True on the UI thread; elsewhere logs the error line and returns false.
  bool Check(const char* function, int line) const {
    return loop_.BelongsToCurrentThread() || LogWrongThread(function, line);
  }

 private:
  static bool LogWrongThread(const char* function, int line);
  const vz::RunLoop& loop_;
};

// At an entry point: logs when it is not called on the UI thread.
#define VZ_CHECK_UI_THREAD(check) (check).Check(VZ_FUNC, __LINE__)
