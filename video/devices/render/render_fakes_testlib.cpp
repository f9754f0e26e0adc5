#include "video/devices/render/render_fakes_testlib.h"

#include <algorithm>
#include <utility>

vz::Rect FakeWindowPort::ClientRect() {
  std::lock_guard<std::mutex> guard(mutex_);
  return client_;
}

void FakeWindowPort::SetClientRect(const vz::Rect& rect) {
  std::lock_guard<std::mutex> guard(mutex_);
  client_ = rect;
}

bool FakeWindowPort::PostMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  std::lock_guard<std::mutex> guard(queue_->mutex);
  queue_->messages.push_back(vz::HookMessage{WindowId(), message, wparam, lparam});
  return true;
}

bool FakeWindowPort::PostTask(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(queue_->mutex);
  queue_->tasks.push_back(std::move(task));
  return true;
}

std::vector<vz::HookMessage> FakeWindowQueue::TakeMessages() {
  std::lock_guard<std::mutex> guard(mutex);
  return std::exchange(messages, {});
}

std::vector<std::function<void()>> FakeWindowQueue::TakeTasks() {
  std::lock_guard<std::mutex> guard(mutex);
  return std::exchange(tasks, {});
}

FakeDraw::~FakeDraw() {
  std::lock_guard<std::mutex> guard(record_->mutex);
  ++record_->destroyed;
  record_->destroyed_on.push_back(std::this_thread::get_id());
}

int32_t FakeDraw::Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect&, const Rect&) {
  std::lock_guard<std::mutex> guard(record_->mutex);
  if (pixels == nullptr || header == nullptr) {
    ++record_->repaints;
    if (repaint_result != 0) return repaint_result;
    return kept_ ? 1 : -3;
  }
  if (!IsFourCCSupported(header->compression)) return -2;
  record_->drawn.push_back(*header);
  record_->drawn_sizes.push_back(size);
  record_->flags_seen.push_back(effect_flags());
  const int32_t result = frame_result;
  kept_ = result == 1;
  return result;
}

int32_t FakeDraw::DrawBkgnd(const Rect&) {
  std::lock_guard<std::mutex> guard(record_->mutex);
  ++record_->backgrounds;
  return background_result;
}

void FakeDraw::WindowThreadAction() {
  std::lock_guard<std::mutex> guard(record_->mutex);
  ++record_->window_actions;
}

VideoDrawFactory FakeDrawFactory::Factory() {
  VideoDrawFactory factory;
  factory.create_first_choice = [this](IVideoWindowPort* window, IDrawHost* host) -> IVideoDraw* {
    ++first_made;
    if (first_fails) return nullptr;
    auto* draw = new FakeDraw(&record, first_needs_window_thread, first_takes_yuv);
    draw->Init(window, host);
    std::lock_guard<std::mutex> guard(mutex);
    live.push_back(draw);
    return draw;
  };
  factory.create_software = [this](IVideoWindowPort* window, IDrawHost* host) -> IVideoDraw* {
    ++software_made;
    if (software_fails) return nullptr;
    auto* draw = new FakeDraw(&record, false, false);
    draw->Init(window, host);
    std::lock_guard<std::mutex> guard(mutex);
    live.push_back(draw);
    return draw;
  };
  factory.destroy = [this](IVideoDraw* draw) {
    if (draw == nullptr) return;
    {
      std::lock_guard<std::mutex> guard(mutex);
      live.erase(std::remove(live.begin(), live.end(), draw), live.end());
    }
    delete draw;
  };
  return factory;
}

FakeDraw* FakeDrawFactory::Latest() {
  std::lock_guard<std::mutex> guard(mutex);
  return live.empty() ? nullptr : live.back();
}

int32_t TestSample::Release() {
  const int32_t n = --count_;
  if (n == 0) delete this;
  return n;
}
VseResult TestSample::GetSize(int32_t* size) {
  *size = static_cast<int32_t>(data_.size());
  return VSE_S_OK;
}
VseResult TestSample::GetBase(void** base) {
  *base = data_.data();
  return VSE_S_OK;
}
VseResult TestSample::GetPointer(void** pointer) {
  *pointer = data_.data();
  return VSE_S_OK;
}
VseResult TestSample::GetActualDataLength(int32_t* length) {
  *length = static_cast<int32_t>(data_.size());
  return VSE_S_OK;
}
VseResult TestSample::GetFormat(VideoFormat* format) {
  *format = format_;
  return VSE_S_OK;
}
VseResult TestSample::SetFormat(const VideoFormat* format) {
  format_ = *format;
  return VSE_S_OK;
}

TestSample* MakeTestSample(int32_t video_type, int32_t width, int32_t height, int32_t short_by) {
  int64_t bytes = 0;
  switch (video_type) {
    case kVideoTypeI420:
    case kVideoTypeYv12: bytes = int64_t{width} * height + 2 * (width / 2) * (height / 2); break;
    case kVideoTypeYuy2: bytes = 2 * int64_t{width} * height; break;
    default: bytes = int64_t{((width * 24 + 31) / 32) * 4} * height; break;
  }
  std::vector<uint8_t> data(static_cast<size_t>(bytes - short_by));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(16 + (i * 7) % 200);
  VideoFormat format{video_type, width, height, 30.0f, 0};
  auto* sample = new TestSample(format, std::move(data));
  sample->AddRef();
  return sample;
}
