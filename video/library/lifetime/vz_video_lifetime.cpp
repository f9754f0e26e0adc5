// The library's load and unload lines, and the choice of camera backend.
// Constructed after the tracer client inside libvzvideo.so has bound the
// log writer: it lives in its own archive, linked after vzcommon.
#include <mutex>

#include "common/trace_client.h"
#include "video/devices/render/win_video_renderer.h"
#include "video/library/lifetime/camera_backend_choice.h"
#include "video/engine/core/video_factories.h"

namespace {

struct LibraryLifetime {
  LibraryLifetime() { VZ_LOG_ERROR("Video component attached."); }
  ~LibraryLifetime() { VZ_LOG_ERROR("Video component detached."); }
};
const LibraryLifetime g_lifetime;

}  // namespace

// Referenced by the exports, so that the linker takes this object. The
// camera backend is chosen at the first instance rather than inside the
// loader's call (the setting is a file read under a lock).
void VzVideoLifetimeAnchor() {
  static std::once_flag chosen;
  std::call_once(chosen, [] {
    SetDefaultVideoRendererMaker(&MakeWinVideoRenderer);
    ChooseCameraBackend();
  });
}
