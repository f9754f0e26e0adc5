// Heap images, the bounds check and the read-and-copy path every screen
// source has.
#include <cstring>
#include <new>
#include <vector>

#include "platform/platform_log.h"
#include "platform/screen/screen_source.h"

namespace vz {
namespace {

class HeapScreenImage : public ScreenImage {
 public:
  HeapScreenImage(std::vector<uint32_t> pixels, int width, int height)
      : ScreenImage(pixels.data(), width, height), storage_(std::move(pixels)) {}

 private:
  std::vector<uint32_t> storage_;
};

}  // namespace

bool ScreenRectInside(const ScreenRect& rect, const ScreenRect& bounds) {
  if (rect.empty()) return false;
  // 64-bit sums so huge widths cannot wrap past the check.
  const int64_t right = int64_t{rect.x} + rect.width;
  const int64_t bottom = int64_t{rect.y} + rect.height;
  return rect.x >= bounds.x && rect.y >= bounds.y && right <= int64_t{bounds.x} + bounds.width &&
         bottom <= int64_t{bounds.y} + bounds.height;
}

std::unique_ptr<ScreenImage> NewHeapScreenImage(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  try {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    return std::make_unique<HeapScreenImage>(std::move(pixels), width, height);
  } catch (const std::bad_alloc&) {
    PlatformLog("screen: no memory for an image of %dx%d", width, height);
    return nullptr;
  }
}

std::unique_ptr<ScreenImage> ScreenSource::NewImage(int width, int height) {
  return NewHeapScreenImage(width, height);
}

ScreenReadResult ScreenSource::ReadInto(const ScreenRect& rect, ScreenImage* image, int x, int y) {
  if (!image || !ScreenRectInside({x, y, rect.width, rect.height}, {0, 0, image->width(), image->height()})) {
    PlatformLog("screen: %dx%d at %d,%d does not fit the image", rect.width, rect.height, x, y);
    return ScreenReadResult::kReadFailed;
  }
  // One scratch buffer per thread: sources and their images belong to one.
  thread_local ScreenPixels scratch;
  const ScreenReadResult result = ReadBlock(rect, &scratch);
  if (result != ScreenReadResult::kOk) return result;
  if (scratch.width != rect.width || scratch.height != rect.height) {
    PlatformLog("screen: a read of %dx%d answered %dx%d", rect.width, rect.height, scratch.width, scratch.height);
    return ScreenReadResult::kReadFailed;
  }
  for (int row = 0; row < rect.height; ++row)
    std::memcpy(image->Row(y + row) + x, scratch.Row(row), static_cast<size_t>(rect.width) * 4);
  return ScreenReadResult::kOk;
}

}  // namespace vz
