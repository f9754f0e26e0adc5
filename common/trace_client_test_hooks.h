#pragma once
// Test-only rebinding of the tracer client, so tests run with a recording
// writer or with none, whatever log writer sits beside the test binary.
#include "common/trace_client.h"

namespace vz {

// The seven exports of the log writer, by ordinal (1 to 7).
struct TracerEntries {
  TracerLogAFn log_a = nullptr;                        // 1
  TracerLogWFn log_w = nullptr;                        // 2
  TracerSetAppInfoFn set_app_info = nullptr;           // 3
  TracerGetCrashReportFn get_crash_report = nullptr;   // 4
  TracerSetCollectSinkFn set_collect_sink = nullptr;   // 5
  TracerCollectAFn collect_a = nullptr;                // 6
  TracerSetMeetInfoFn set_meet_info = nullptr;         // 7
};

// Every tracer call goes to `entries` (kept by the caller while bound); null
// unbinds: every call is then a no-op, as without the log writer.
void BindTracerForTest(const TracerEntries* entries);
// Returns to what was bound when the program was loaded.
void RestoreTracerForTest();

}  // namespace vz
