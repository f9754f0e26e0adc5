#pragma once
// Where the platform's own failures are logged. The tracer client installs a
// sink that forwards to the log writer; until then lines go to stderr.
namespace vz {

using PlatformLogSink = void (*)(const char* line);
void SetPlatformLogSink(PlatformLogSink sink);  // null restores stderr
void PlatformLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vz
