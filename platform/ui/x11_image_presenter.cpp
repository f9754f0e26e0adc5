#include "platform/ui/x11_image_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

constexpr int kMaxSide = 16384;

class X11ImagePresenterImpl : public X11ImagePresenter {
 public:
  X11ImagePresenterImpl(Display* display, Window window, Visual* visual, int depth, bool shm)
      : display_(display), window_(window), visual_(visual), depth_(depth), shm_ok_(shm) {
    gc_ = XCreateGC(display_, window_, 0, nullptr);
  }
  ~X11ImagePresenterImpl() override {
    DropImage();
    XFreeGC(display_, gc_);
    XCloseDisplay(display_);
  }

  uint32_t* Buffer(int width, int height) override {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
      PlatformLog("video output: no %dx%d picture", width, height);
      return nullptr;
    }
    if (image_ != nullptr && width == width_ && height == height_) return pixels_;
    DropImage();
    if (shm_ok_ && MakeShmImage(width, height)) return pixels_;
    shm_ok_ = false;  // a server that refused once is not asked again
    plain_.assign(static_cast<size_t>(width) * height, 0);
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                          reinterpret_cast<char*>(plain_.data()), static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 32, width * 4);
    if (image_ == nullptr) {
      PlatformLog("video output: XCreateImage %dx%d failed", width, height);
      plain_.clear();
      return nullptr;
    }
    width_ = width, height_ = height;
    pixels_ = plain_.data();
    return pixels_;
  }

  bool Put(int x, int y) override {
    if (image_ == nullptr) return false;
    X11ErrorTrap trap(display_);
    if (shm_image_) {
      XShmPutImage(display_, window_, gc_, image_, 0, 0, x, y, static_cast<unsigned>(width_),
                   static_cast<unsigned>(height_), False);
    } else {
      XPutImage(display_, window_, gc_, image_, 0, 0, x, y, static_cast<unsigned>(width_),
                static_cast<unsigned>(height_));
    }
    // Failed() waits for the server, so the buffer may be filled again.
    if (trap.Failed()) {
      if (!put_failed_) PlatformLog("video output: putting the picture into 0x%lx failed", window_);
      put_failed_ = true;
      return false;
    }
    return true;
  }

  bool uses_shm() const override { return shm_image_; }

 private:
  bool MakeShmImage(int width, int height) {
    image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                             static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image_ == nullptr) return false;
    const size_t bytes = static_cast<size_t>(image_->bytes_per_line) * height;
    shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shm_.shmid < 0) return DropShmImage("shmget");
    shm_.shmaddr = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
    if (shm_.shmaddr == reinterpret_cast<char*>(-1)) {
      shm_.shmaddr = nullptr;
      return DropShmImage("shmat");
    }
    image_->data = shm_.shmaddr;
    shm_.readOnly = True;
    bool attached = false;
    {
      X11ErrorTrap trap(display_);
      attached = XShmAttach(display_, &shm_) && !trap.Failed();
    }
    // Marked for removal now: it goes when both sides have detached, even
    // if this process dies.
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    if (!attached) return DropShmImage("XShmAttach");
    shm_attached_ = true;
    shm_image_ = true;
    width_ = width, height_ = height;
    pixels_ = reinterpret_cast<uint32_t*>(shm_.shmaddr);
    return true;
  }

  bool DropShmImage(const char* what) {
    PlatformLog("video output: %s failed; using XPutImage", what);
    DropImage();
    return false;
  }

  void DropImage() {
    if (image_ != nullptr) {
      image_->data = nullptr;  // the memory is not Xlib's to free
      XDestroyImage(image_);
      image_ = nullptr;
    }
    if (shm_attached_) {
      XShmDetach(display_, &shm_);
      XSync(display_, False);
      shm_attached_ = false;
    }
    if (shm_.shmaddr != nullptr) {
      shmdt(shm_.shmaddr);
      shm_.shmaddr = nullptr;
    }
    shm_image_ = false;
    plain_.clear();
    pixels_ = nullptr;
    width_ = height_ = 0;
  }

  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  bool shm_ok_;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  bool shm_attached_ = false;
  bool shm_image_ = false;
  std::vector<uint32_t> plain_;
  uint32_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
  bool put_failed_ = false;
};

}  // namespace

std::unique_ptr<X11ImagePresenter> X11ImagePresenter::Open(const std::string& display_name, uint64_t window,
                                                           bool allow_shm) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
  if (display == nullptr) {
    PlatformLog("video output: cannot open the display \"%s\"", display_name.c_str());
    return nullptr;
  }
  XWindowAttributes attributes{};
  bool ok = false;
  {
    X11ErrorTrap trap(display);
    ok = XGetWindowAttributes(display, static_cast<Window>(window), &attributes) && !trap.Failed();
  }
  if (!ok) {
    PlatformLog("video output: 0x%llx is not a window", static_cast<unsigned long long>(window));
    XCloseDisplay(display);
    return nullptr;
  }
  Visual* visual = attributes.visual;
  if ((attributes.depth != 24 && attributes.depth != 32) || visual->red_mask != 0xFF0000 ||
      visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
    PlatformLog("video output: visual of depth %d is not 8-bit RGB", attributes.depth);
    XCloseDisplay(display);
    return nullptr;
  }
  int major = 0, minor = 0;
  Bool pixmaps = False;
  const bool shm = allow_shm && XShmQueryExtension(display) && XShmQueryVersion(display, &major, &minor, &pixmaps);
  return std::make_unique<X11ImagePresenterImpl>(display, static_cast<Window>(window), visual, attributes.depth,
                                                 shm);
}

}  // namespace vz
