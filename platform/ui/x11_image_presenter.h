#pragma once
// Puts 32-bit pictures into a window of the display: through the MIT
// shared-memory extension where the server has it (no copy through the
// socket), with plain XPutImage otherwise. It has its own connection, so
// it may run on any one thread at a time (a renderer's data thread).
#include <cstdint>
#include <memory>
#include <string>

namespace vz {

class X11ImagePresenter {
 public:
  // For `window` on the display named ("" for $DISPLAY). Null, logged, when
  // the display cannot be opened, the window is gone, or its visual is not
  // 24-bit true colour with red, green, blue in bytes 2, 1, 0.
  static std::unique_ptr<X11ImagePresenter> Open(const std::string& display_name, uint64_t window,
                                                 bool allow_shm = true);
  virtual ~X11ImagePresenter() = default;

  // A width x height buffer (rows `width` pixels apart, bytes B, G, R, X)
  // for the caller to fill; kept while the size stays. Null, logged, for a
  // size outside 1..16384 or when no memory can be had.
  virtual uint32_t* Buffer(int width, int height) = 0;
  // Puts the whole buffer at (x, y) of the window and returns when the
  // server has taken it. False when that failed (the window is gone).
  virtual bool Put(int x, int y) = 0;
  virtual bool uses_shm() const = 0;
};

}  // namespace vz
