#pragma once
// vzbridge's own log writer, linked into it: the same log file in the
// temporary folder, clean-up, line format, end marker and crash handler as
// libvztrace.so, under the fixed application name "app.host", with no
// pending-crash-file search and no collect sink.
// The entries have the signatures of the library's exports (see
// common/trace_client.h), so the tracer client can be bound to them.
#include <cstdarg>

namespace vz {

extern const char kLinkedAppName[];  // "app.host"

// Deletes old logs, creates the log and installs the crash handler. Call it
// once, first thing in main; false when it was started already.
bool StartLinkedTracer();
// Writes the end marker and closes the log; later lines are dropped. Runs at
// exit by itself.
void StopLinkedTracer();

void LinkedTracerLogA(const char* tag, const char* format, va_list args);
void LinkedTracerLogW(const char16_t* tag, const char16_t* format, va_list args);
// The name is ignored: it stays "app.host". Only the version is kept.
void LinkedTracerSetAppInfo(const char* app_name, const char* version);
void LinkedTracerSetMeetInfo(const char* meet_id, const char* roster_id);

}  // namespace vz
