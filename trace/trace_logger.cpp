#include "trace/trace_logger.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/log_text.h"
#include "platform/clock.h"
#include "platform/fatal_signal_safe_io.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/wide_format.h"
#include "trace/log_text_format.h"
#include "trace/signal_safe_format.h"

namespace vz {

const char kTraceEndMarker[] =
    "\n\n       --------------> [ VZTRACE END ] <-------------------\n\n\n\n\n";

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr size_t kLineEndSize = 2;
// How long the crash path waits for a logger lock that another thread holds.
constexpr int kCrashLockAttempts = 200;
constexpr auto kCrashLockPause = std::chrono::milliseconds(1);

// The longest prefix of `text` of at most `limit` bytes that does not end
// inside a UTF-8 sequence.
size_t CutAtCharacter(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

void CopyIdentity(char (&field)[256], const char* value) {
  if (value == nullptr || value[0] == '\0') return;
  std::strncpy(field, value, sizeof(field) - 1);
  field[sizeof(field) - 1] = '\0';
}

}  // namespace

TraceLogger::TraceLogger(const Options& options)
    : folder_(options.folder),
      process_id_(options.process_id),
      fixed_app_name_(!options.fixed_app_name.empty()) {
  CopyIdentity(app_name_, options.fixed_app_name.c_str());
  char name[64];
  std::snprintf(name, sizeof(name), "vzmeet-app.%d.log", process_id_);
  // Without a temporary folder there is no file; lines are dropped.
  log_path_ = folder_.empty() ? std::string() : folder_ + "/" + name;
  const int fd = log_path_.empty() ? -1 : OpenFileForWritingSafely(log_path_.c_str());
  if (fd < 0) {
    // The logger works on without a file; the collect sink still works.
    const std::string message = "vztrace: cannot open the log file in \"" + folder_ + "\"\n";
    WriteStderrSafely(message.c_str());
  }
  fd_.store(fd);
}

TraceLogger::~TraceLogger() { Close(); }

size_t TraceLogger::FormatPrefix(char* out, size_t capacity) const {
  const LocalTime now = NowLocal();
  const int n = std::snprintf(out, capacity, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%d:%d] ", now.year, now.month,
                              now.day, now.hour, now.minute, now.second, now.millisecond, process_id_, ThreadId());
  if (n < 0) return 0;
  return static_cast<size_t>(n) < capacity ? static_cast<size_t>(n) : capacity - 1;
}

void TraceLogger::LogA(const char* format, va_list args) {
  if (format == nullptr) return;
  char text[kTraceBufferSize];
  const size_t n = FormatLogTextV(text, sizeof(text), format, args);
  // WriteLine cuts the text again where the whole line would not fit.
  WriteLine(std::string_view(text, n));
}

void TraceLogger::LogW(const char16_t* format, va_list args) {
  if (format == nullptr) return;
  char16_t text[kTraceBufferSize];
  WideFormatFields escaped;
  escaped.narrow = [](std::string_view field) {
    std::string safe;
    AppendLineSafeText(&safe, field);
    return safe;
  };
  escaped.wide = [](std::u16string_view field) { return LineSafeText(field); };
  FormatWideV(text, kTraceBufferSize, format, args, escaped);
  WriteLine(Utf16ToUtf8(text));
}

void TraceLogger::WriteLine(std::string_view text) {
  if (fd_.load() < 0) return;
  char line[kTraceBufferSize];
  // Stamped under the lock, so the file's lines are in time order: a line
  // stamped before it waited for another thread's write would land after a
  // newer one, and a reader of the wrapped file finds the round's end by time.
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const size_t prefix = FormatPrefix(line, sizeof(line));
  const size_t room = sizeof(line) - 1 - prefix - kLineEndSize;
  const size_t taken = CutAtCharacter(text, room);
  std::memcpy(line + prefix, text.data(), taken);
  std::memcpy(line + prefix + taken, kLineEnd, kLineEndSize);
  WriteLocked(line, prefix + taken + kLineEndSize);
}

void TraceLogger::WriteLocked(const char* bytes, size_t length) {
  const int fd = fd_.load();
  if (fd < 0) return;
  if (position_.load(std::memory_order_relaxed) > kLogWrapSize && SeekToStartSafely(fd)) {
    position_.store(0, std::memory_order_relaxed);
  }
  if (WriteAllSafely(fd, bytes, length)) {
    position_.fetch_add(static_cast<int64_t>(length), std::memory_order_relaxed);
  } else {
    // A short write leaves the offset unknown; ask the file.
    const int64_t where = FilePositionSafely(fd);
    if (where >= 0) position_.store(where, std::memory_order_relaxed);
  }
}

size_t TraceLogger::FormatCollectLine(char* out, size_t capacity, const char* format, va_list args) const {
  if (capacity == 0) return 0;
  out[0] = '\0';
  if (format == nullptr) return 0;
  char text[kTraceBufferSize];
  const size_t length = FormatLogTextV(text, sizeof(text), format, args);
  const size_t prefix = FormatPrefix(out, capacity);
  const size_t taken = CutAtCharacter(std::string_view(text, length), capacity - 1 - prefix);
  std::memcpy(out + prefix, text, taken);
  out[prefix + taken] = '\0';
  return prefix + taken;
}

void TraceLogger::SetAppInfo(const char* app_name, const char* version) {
  std::lock_guard<std::mutex> hold(identity_lock_);
  if (!fixed_app_name_) CopyIdentity(app_name_, app_name);
  CopyIdentity(version_, version);
}

void TraceLogger::SetMeetInfo(const char* meet_id, const char* roster_id) {
  std::lock_guard<std::mutex> hold(identity_lock_);
  CopyIdentity(meet_id_, meet_id);
  CopyIdentity(roster_id_, roster_id);
}

std::string TraceLogger::AppName() const {
  std::lock_guard<std::mutex> hold(identity_lock_);
  return app_name_;
}

bool TraceLogger::LockForCrash() {
  // A recursive lock: when the fault hit inside the logger on this thread,
  // the thread already owns it and try_lock succeeds.
  // Once the wait has run out, the holder is taken to be stuck: the later
  // lines of the report do not wait again.
  const int attempts = crash_lock_given_up_.load() ? 1 : kCrashLockAttempts;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (lock_.try_lock()) return true;
    if (attempt + 1 < attempts) std::this_thread::sleep_for(kCrashLockPause);
  }
  crash_lock_given_up_.store(true);
  return false;
}

void TraceLogger::WriteRaw(const char* bytes, size_t length) {
  if (fd_.load() < 0) return;
  const bool locked = LockForCrash();
  WriteLocked(bytes, length);
  if (locked) lock_.unlock();
}

size_t TraceLogger::FormatPendingName(char* out, size_t capacity, const CivilTime& t) const {
  // The crash path must not wait for a setter; a torn read only garbles a name.
  const bool locked = identity_lock_.try_lock();
  const size_t n = SafeFormat(out, capacity, "native.crash.win.%s.%s.%04d-%02d-%02d.%02d.%02d.%02d.exception",
                              app_name_, version_, t.year, t.month, t.day, t.hour, t.minute, t.second);
  if (locked) identity_lock_.unlock();
  // The name stays inside the folder whatever the identity holds.
  for (size_t i = 0; i < n; ++i) {
    if (out[i] == '/') out[i] = '_';
  }
  return n;
}

bool TraceLogger::FinishCrashLog(const CivilTime& local_now) {
  if (fd_.load() < 0) return false;
  // The identity came from outside (a roster id is the member's choice): each
  // value is made line-safe as every logged text is, so that it cannot start
  // a line of its own in the report. Room for the worst case, four bytes of
  // escape a byte, and the header's own text.
  constexpr size_t kEscapedIdentity = sizeof(meet_id_) * 4;
  char app[kEscapedIdentity], version[kEscapedIdentity], meet[kEscapedIdentity], roster[kEscapedIdentity];
  const bool identity_locked = identity_lock_.try_lock();
  WriteLineSafeText(app, sizeof(app), app_name_);
  WriteLineSafeText(version, sizeof(version), version_);
  WriteLineSafeText(meet, sizeof(meet), meet_id_);
  WriteLineSafeText(roster, sizeof(roster), roster_id_);
  if (identity_locked) identity_lock_.unlock();
  char header[kCrashHeaderSize + 4 * kEscapedIdentity];
  const size_t header_length = SafeFormat(header, sizeof(header), "[%s] [%s] \nMeetId: [%s] \nRosterId: [%s]\n\n",
                                          app, version, meet, roster);

  const bool locked = LockForCrash();
  const int fd = fd_.exchange(-1);
  if (fd >= 0) {
    WriteAllSafely(fd, header, header_length);
    WriteAllSafely(fd, kTraceEndMarker, sizeof(kTraceEndMarker) - 1);
    CloseFileSafely(fd);
  }
  if (locked) lock_.unlock();
  if (fd < 0) return false;

  char name[512];
  FormatPendingName(name, sizeof(name), local_now);
  char target[2048];
  SafeFormat(target, sizeof(target), "%s/%s", folder_.c_str(), name);
  return RenameFileSafely(log_path_.c_str(), target);
}

void TraceLogger::Close() {
  std::lock_guard<std::recursive_mutex> hold(lock_);
  const int fd = fd_.exchange(-1);
  if (fd < 0) return;
  WriteAllSafely(fd, kTraceEndMarker, sizeof(kTraceEndMarker) - 1);
  CloseFileSafely(fd);
}

}  // namespace vz
