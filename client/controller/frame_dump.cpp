#include "client/controller/frame_dump.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"

namespace {

constexpr char kMagic[4] = {'V', 'Z', 'F', 'D'};
constexpr uint32_t kMaxSide = 16384;

bool HeaderSound(const FrameDumpHeader& header) {
  return std::memcmp(header.magic, kMagic, 4) == 0 && header.width > 0 && header.height > 0 &&
         header.width <= kMaxSide && header.height <= kMaxSide;
}

}  // namespace

CFrameDump::CFrameDump() {
  if (const char* path = std::getenv("VZ_SHARE_FRAME_DUMP"); path != nullptr) path_ = path;
  if (!path_.empty()) VZ_LOG("the rebuilt frame is written to [%s] after each update", path_.c_str());
}

void CFrameDump::Shared(const MonitorInfo* monitor, const uint8_t* pixels) {
  if (!enabled() || monitor == nullptr || pixels == nullptr) return;
  // The first monitor shared is the one written; others are left alone.
  if (pixels_ != nullptr && monitor->MonitorId != monitor_id_) return;
  monitor_id_ = monitor->MonitorId;
  width_ = monitor->Rect.right - monitor->Rect.left;
  height_ = monitor->Rect.bottom - monitor->Rect.top;
  pixels_ = pixels;
  if (width_ <= 0 || height_ <= 0 || width_ > static_cast<int>(kMaxSide) || height_ > static_cast<int>(kMaxSide)) {
    VZ_LOG_ERROR("monitor [%d] of %dx%d is not written", monitor_id_, width_, height_);
    pixels_ = nullptr;
  }
}

void CFrameDump::Unshared(const MonitorInfo* monitor) {
  if (monitor != nullptr && monitor->MonitorId == monitor_id_) {
    if (pending_) Write(last_write_us_ + Interval());
    pixels_ = nullptr;
    monitor_id_ = -1;
  }
}

void CFrameDump::Updated(const MonitorInfo* monitor, uint64_t now_us) {
  if (pixels_ == nullptr || monitor == nullptr || monitor->MonitorId != monitor_id_) return;
  pending_ = true;
  if (sequence_ != 0 && now_us - last_write_us_ < Interval()) return;
  Write(now_us);
}

void CFrameDump::Flush(uint64_t now_us) {
  if (pending()) Write(now_us);
}

void CFrameDump::Forget() {
  pixels_ = nullptr;
  monitor_id_ = -1;
  pending_ = false;
}

bool CFrameDump::Write(uint64_t now_us) {
  pending_ = false;
  last_write_us_ = now_us;
  FrameDumpHeader header{};
  std::memcpy(header.magic, kMagic, 4);
  header.width = static_cast<uint32_t>(width_);
  header.height = static_cast<uint32_t>(height_);
  header.sequence = ++sequence_;
  header.written_us = now_us;
  const std::string temporary = path_ + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    VZ_LOG_ERROR("cannot write [%s]", temporary.c_str());
    return false;
  }
  const size_t bytes = static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4;
  const bool written = std::fwrite(&header, sizeof(header), 1, file) == 1 && std::fwrite(pixels_, 1, bytes, file) == bytes;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), path_.c_str()) != 0) {
    VZ_LOG_ERROR("the frame dump [%s] failed", path_.c_str());
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

bool ReadFrameDumpHeader(const std::string& path, FrameDumpHeader* header) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const bool read = std::fread(header, sizeof(*header), 1, file) == 1;
  std::fclose(file);
  return read && HeaderSound(*header);
}

bool ReadFrameDump(const std::string& path, DumpedFrame* frame, std::string* why) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *why = "no frame dump at " + path;
    return false;
  }
  bool ok = std::fread(&frame->header, sizeof(frame->header), 1, file) == 1 && HeaderSound(frame->header);
  if (!ok) {
    *why = path + " is not a frame dump";
  } else {
    frame->bgra.resize(static_cast<size_t>(frame->header.width) * frame->header.height * 4);
    ok = std::fread(frame->bgra.data(), 1, frame->bgra.size(), file) == frame->bgra.size();
    if (!ok) *why = path + " is shorter than its header says";
  }
  std::fclose(file);
  return ok;
}

bool ReadFrameDumpRect(const std::string& path, const FrameDumpHeader& header, int x, int y, int width, int height,
                       std::vector<uint8_t>* bgra) {
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || static_cast<uint32_t>(x + width) > header.width ||
      static_cast<uint32_t>(y + height) > header.height) {
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bgra->resize(static_cast<size_t>(width) * height * 4);
  bool ok = true;
  for (int row = 0; row < height && ok; ++row) {
    const long offset = static_cast<long>(sizeof(FrameDumpHeader) +
                                          ((static_cast<size_t>(y + row) * header.width) + x) * 4);
    ok = std::fseek(file, offset, SEEK_SET) == 0 &&
         std::fread(bgra->data() + static_cast<size_t>(row) * width * 4, 1, static_cast<size_t>(width) * 4, file) ==
             static_cast<size_t>(width) * 4;
  }
  std::fclose(file);
  return ok;
}
