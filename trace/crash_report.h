#pragma once
// The plain-text crash report: its sections and their lines. Everything here
// is async-signal-safe (no allocation, no locks, no stdio), because it runs
// inside the fatal-signal handler.
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/fatal_signal.h"
#include "platform/fatal_signal_system.h"
#include "trace/civil_time.h"

namespace vz {

// Receives each report line, "\r\n" included.
class CrashReportSink {
 public:
  virtual void WriteReportLine(const char* line, size_t length) = 0;

 protected:
  ~CrashReportSink() = default;
};

struct CrashReportInput {
  const FatalSignalInfo* signal = nullptr;
  LocalTime start_time{};        // local time at install
  CivilTime exception_time{};    // UTC at the crash
  const CrashSystemFacts* facts = nullptr;
};

// Writes the report, from "Crash Log Begin" to "Crash Log End". Each section
// runs guarded: a fault inside one ends that section only, and "Exception
// encountered in <section>" goes to standard error.
void WriteCrashReport(const CrashReportInput& input, CrashReportSink* sink);

// The report's forms of a module's debug identity: the build-id in hex, or
// "The_image_doesn't_have_debug_data".
size_t FormatDebugIdentity(const unsigned char* build_id, size_t size, char* out, size_t capacity);

}  // namespace vz
