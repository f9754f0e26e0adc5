#pragma once
// The process's crash handler. An unhandled fault writes the crash report
// into the log, then the crash header and the end marker; the log becomes the
// pending crash file and the process ends with exit code 13. The per-user
// switch "Enable" turns it off; a stack overflow is passed on. Either way a
// passed-on fault kills the process by its signal. A fatal abort (abort(),
// std::terminate, an uncaught exception) is reported like a fault.
#include "platform/fatal_signal.h"

namespace vz {

class TraceLogger;

constexpr int kCrashExitCode = 13;
extern const char kReportSwitchKey[];   // "Software\\Velzar\\vzreport"
extern const char kReportSwitchName[];  // "Enable"
// The crash-report address of the maker's web host; kept, never contacted.
extern const char16_t kCrashReportAddress[];

// Installs the handler for `logger`'s log (which must outlive it): records
// the start time, gathers what the report tells of the system, notes where
// the settings file lies and takes the first snapshot of the loaded modules.
// With a null address nothing is installed and 0 is returned; otherwise 1.
// The handler reads the switch from the settings file at the crash, before
// the report and again after it, with raw reads (a store set for testing is
// not seen); it never calls into the dynamic loader.
int Exception_Install(TraceLogger* logger, int conference_id, int session_id, const char16_t* text,
                      const char16_t* report_address);
// Removes the handler (before the log writer goes away).
void Exception_Uninstall();
// The switch as the settings store holds it now: 0 when "Enable" is 0, else 1
// (also when it is missing or unreadable).
int Exception_IsReportEnabled();
// The handler proper, called by the fatal-signal port on the faulting thread.
FatalSignalVerdict Exception_UnhandledFilter(const FatalSignalInfo& info);

}  // namespace vz
