#pragma once
// TraceLogger: the process's log writer. One file "vzmeet-app.<pid>.log" in the
// temporary folder, created (or emptied) at construction; one time-stamped
// line per call, stamped, written and flushed under the logger lock (so the
// lines of the file are in time order); wrapped in place when it passes
// 256,000 bytes. Keeps the application and meeting identity
// that names and heads a crash report. Any thread may call it.
#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "trace/civil_time.h"

namespace vz {

constexpr size_t kTraceBufferSize = 4096;
constexpr int64_t kLogWrapSize = 256000;
constexpr size_t kCrashHeaderSize = 512;
extern const char kTraceEndMarker[];

class TraceLogger {
 public:
  struct Options {
    std::string folder;          // the temporary folder, without a trailing "/"
    int process_id = 0;
    std::string fixed_app_name;  // when set, SetAppInfo keeps it and takes only the version
  };

  explicit TraceLogger(const Options& options);
  ~TraceLogger();  // Close()
  TraceLogger(const TraceLogger&) = delete;
  TraceLogger& operator=(const TraceLogger&) = delete;

  // Lines: the time, " [pid:tid] ", the text and "\r\n". A line that does not
  // fit in 4,096 bytes is cut (never inside a UTF-8 sequence), keeping "\r\n".
  // Every text and character argument of the format is made safe for the
  // line (common/log_text.h), so whatever a value holds stays inside it.
  void LogA(const char* format, va_list args);
  // The wide text is converted to UTF-8 exactly; its arguments escaped as above.
  void LogW(const char16_t* format, va_list args);
  void WriteLine(std::string_view text);

  // A collect line: the time, " [pid:tid] " and the text (its arguments
  // escaped as above), cut to fit `capacity`.
  size_t FormatCollectLine(char* out, size_t capacity, const char* format, va_list args) const;

  // Each value that is neither null nor empty replaces the stored one.
  void SetAppInfo(const char* app_name, const char* version);
  void SetMeetInfo(const char* meet_id, const char* roster_id);
  std::string AppName() const;

  const std::string& folder() const { return folder_; }
  const std::string& log_path_for_testing() const { return log_path_; }
  bool is_open_for_testing() const { return fd_.load() >= 0; }

  // The crash path; async-signal-safe. The logger lock is taken with a
  // bounded wait, so a fault inside the logger (or a thread stuck holding the
  // lock) cannot hang the report.
  // The bytes as they are (no time prefix), with the wrap check.
  void WriteRaw(const char* bytes, size_t length);
  // Writes the crash header and the end marker, closes the log and moves it to
  // the pending crash file, named with `local_now`. False when the log was not
  // open or the move failed (the log then stays where it is).
  bool FinishCrashLog(const CivilTime& local_now);
  // The pending crash file's name (no folder) for the current identity.
  size_t FormatPendingName(char* out, size_t capacity, const CivilTime& local_now) const;

  // Writes the end marker once and closes the file; later lines are dropped.
  void Close();

  // Tests hold the logger lock to show that the crash path does not hang on it.
  std::recursive_mutex& lock_for_testing() { return lock_; }

 private:
  size_t FormatPrefix(char* out, size_t capacity) const;
  void WriteLocked(const char* bytes, size_t length);  // wrap check, write
  bool LockForCrash();

  const std::string folder_;
  const int process_id_;
  const bool fixed_app_name_;
  std::string log_path_;

  std::recursive_mutex lock_;  // the logger lock (a CriticalSectionLock's mutex, with try_lock)
  std::atomic<bool> crash_lock_given_up_{false};  // the bounded wait ran out once
  std::atomic<int> fd_{-1};
  std::atomic<int64_t> position_{0};

  // Fixed buffers, so the crash path reads them without allocating.
  mutable std::mutex identity_lock_;
  char app_name_[256] = {};
  char version_[256] = {};
  char meet_id_[256] = {};
  char roster_id_[256] = {};
};

}  // namespace vz
