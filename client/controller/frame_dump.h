#pragma once
// A diagnostic of the attendee's side: the rebuilt frame of the first shared
// monitor written to a file after each update, so that a test or the local
// meeting demonstration can compare what an attendee rebuilt with the
// presenter's screen. VelzarHub has no attendee view window of its own;
// this is the least that makes the rebuilt frame visible from outside.
//
// Off unless the environment names a file in "VZ_SHARE_FRAME_DUMP". The
// file is replaced whole (written beside it, then renamed), so a reader never
// sees half a frame. Its layout (FrameDumpHeader, then height rows of
// width * 4 bytes B,G,R,A) is read by ReadFrameDump.
// Writes are spaced at least kMinIntervalUs apart, and frames larger than
// kIntervalFrameBytes proportionally further (IntervalUs), so that writing a
// large frame whole never takes most of the attendee's thread; an update
// inside the interval is written with the next one, or by Flush when no
// other follows. UI thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "contracts/capture_records.h"

struct FrameDumpHeader {
  char magic[4];         // "VZFD"
  uint32_t width;
  uint32_t height;
  uint32_t sequence;     // 1 for the first frame written, then one more each
  uint64_t written_us;   // the writer's monotonic clock (platform/clock.h)
};
static_assert(sizeof(FrameDumpHeader) == 24);

// A frame read back from a dump file.
struct DumpedFrame {
  FrameDumpHeader header{};
  std::vector<uint8_t> bgra;  // width * height * 4
};

// False (with why) when the file is missing, not a dump, or shorter than
// its header says; sizes above 16384 a side are refused before allocating.
bool ReadFrameDump(const std::string& path, DumpedFrame* frame, std::string* why);
// Only the header, cheap enough to poll.
bool ReadFrameDumpHeader(const std::string& path, FrameDumpHeader* header);
// Bytes of a rectangle of the dumped frame, read without the whole file;
// false when it lies outside.
bool ReadFrameDumpRect(const std::string& path, const FrameDumpHeader& header, int x, int y, int width, int height,
                       std::vector<uint8_t>* bgra);

class CFrameDump {
 public:
  static constexpr uint64_t kMinIntervalUs = 20000;
  static constexpr uint64_t kIntervalFrameBytes = 1920ull * 1080 * 4;
  // The spacing of writes of a frame of `bytes`.
  static uint64_t IntervalUs(uint64_t bytes) {
    return bytes <= kIntervalFrameBytes ? kMinIntervalUs : kMinIntervalUs * bytes / kIntervalFrameBytes;
  }

  // Reads the environment once; `path` empty means off.
  CFrameDump();
  explicit CFrameDump(std::string path) : path_(std::move(path)) {}

  bool enabled() const { return !path_.empty(); }
  void Shared(const MonitorInfo* monitor, const uint8_t* pixels);
  void Unshared(const MonitorInfo* monitor);
  // Writes the frame when due; `now_us` is the monotonic clock.
  void Updated(const MonitorInfo* monitor, uint64_t now_us);
  // An update held back for the interval, and when it falls due.
  bool pending() const { return pending_ && pixels_ != nullptr; }
  uint64_t DueUs() const { return last_write_us_ + Interval(); }
  // Writes a held-back update now (nothing when none is held back).
  void Flush(uint64_t now_us);
  // The session's frames go without a word (a stopped engine frees them and
  // tells the client nothing): the frame written is let go, so the next
  // session's first shared monitor is written. Nothing is held back after.
  void Forget();

 private:
  bool Write(uint64_t now_us);
  uint64_t Interval() const { return IntervalUs(static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_) * 4); }

  std::string path_;
  int32_t monitor_id_ = -1;
  int width_ = 0;
  int height_ = 0;
  const uint8_t* pixels_ = nullptr;
  uint32_t sequence_ = 0;
  uint64_t last_write_us_ = 0;
  bool pending_ = false;
};
