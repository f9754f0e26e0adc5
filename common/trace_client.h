#pragma once
// The tracer client: every deliverable's log lines go through here to the log
// writer (libvztrace.so), bound at load time. Without the library every call
// does nothing.
#include <cstdarg>
#include <cstdint>

class CVZBinaryData;
class ITracerCollectSink;

// One line to the log file.
void TraceA(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceW(const char16_t* format, ...);
// One line to the collect sink only (the web page's log), not to the file.
void TraceCollectA(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceSetAppInfo(const char* app_name, const char* version);
void TraceSetMeetInfo(const char* meet_id, const char* roster_id);

// True when the log writer is bound.
bool IsTracerLoaded();

namespace vz {
// "CAppComponentsController::StartDS" from a __PRETTY_FUNCTION__ text.
// Returns a pointer into a per-thread buffer that lives until the next call.
const char* QualifiedFunctionName(const char* pretty_function);

// The signatures of the log writer's exports (ordinals 1 to 7).
using TracerLogAFn = void (*)(const char* tag, const char* format, va_list args);
using TracerLogWFn = void (*)(const char16_t* tag, const char16_t* format, va_list args);
using TracerSetAppInfoFn = void (*)(const char* app_name, const char* version);
using TracerGetCrashReportFn = CVZBinaryData* (*)();
using TracerSetCollectSinkFn = ITracerCollectSink* (*)(ITracerCollectSink* sink);
using TracerCollectAFn = void (*)(const char* tag, const char* format, va_list args);
using TracerSetMeetInfoFn = void (*)(const char* meet_id, const char* roster_id);

// Looks an ordinal of the log writer up at each call (null when absent); for
// ordinals 4 and 5, which only the web link uses.
void* TracerOrdinal(int ordinal);

// For a program that carries the log writer linked in (vzbridge): every
// tracer call goes to these entries for the rest of the run. Such a program
// also defines vz_tracer_linked_in (below), so that libvztrace.so is never
// loaded into it as a second writer of the same log file.
void BindLinkedTracer(TracerLogAFn log_a, TracerLogWFn log_w, TracerSetAppInfoFn set_app_info,
                      TracerSetMeetInfoFn set_meet_info);
}  // namespace vz

// Defined as true, with constant initialisation, by a program that links its
// own log writer; the tracer client then does not load libvztrace.so.
extern "C" const bool vz_tracer_linked_in;

#define VZ_FUNC vz::QualifiedFunctionName(__PRETTY_FUNCTION__)

namespace vz {
// An object's address for the "[0x%016llX]" texts of log lines: the whole
// pointer, 16 hex digits here.
inline unsigned long long LogAddress(const void* object) {
  return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(object));
}
}  // namespace vz

// The line shapes every caller uses. The object shape prints the address
// with 16 hex digits, the width of a pointer here.
#define VZ_LOG(fmt, ...) TraceA("%s [line# %d] : >" fmt, VZ_FUNC, __LINE__, ##__VA_ARGS__)
#define VZ_LOG_ERROR(fmt, ...) \
  TraceA("%s [line# %d] : *** ERROR ****** >" fmt "< *************", VZ_FUNC, __LINE__, ##__VA_ARGS__)
#define VZ_LOG_WARN(fmt, ...) \
  TraceA("%s [line# %d] : *** WARN ******* >" fmt "< *************", VZ_FUNC, __LINE__, ##__VA_ARGS__)
#define VZ_LOG_OBJ(fmt, ...)                                                                     \
  TraceA("%s [line# %d] : [0x%016llX] >" fmt, VZ_FUNC, __LINE__,                                 \
         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)), ##__VA_ARGS__)
// Wide lines: the function name is narrow (%S), the text wide.
#define VZ_LOGW(fmt, ...) TraceW(u"%S [line# %d] : >" fmt, VZ_FUNC, __LINE__, ##__VA_ARGS__)
#define VZ_LOGW_ERROR(fmt, ...) \
  TraceW(u"%S [line# %d] : *** ERROR ****** >" fmt u"< *************", VZ_FUNC, __LINE__, ##__VA_ARGS__)
#define VZ_COLLECT(fmt, ...) TraceCollectA("%s [line# %d] : >" fmt, VZ_FUNC, __LINE__, ##__VA_ARGS__)
