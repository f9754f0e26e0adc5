#include "client/controller/ui_thread_check.h"

#include "common/trace_client.h"
#include "platform/process.h"

bool UiThreadCheck::LogWrongThread(const char* function, int line) {
  TraceA("%s [line# %d] : *** ERROR ****** >called off the UI thread (thread %d)< *************", function, line,
         vz::ThreadId());
  return false;
}
