// The library's load and unload lines, and the choice of camera backend.
// Constructed after the tracer client inside libvzvideo.so has bound the
// log writer: it lives in its own archive, linked after vzcommon.
#include "common/trace_client.h"
#include "video/engine/client/test_camera.h"

namespace {

struct LibraryLifetime {
  LibraryLifetime() {
    VZ_LOG_ERROR("Video component attached.");
    if (TestCameraSelected()) InstallTestCamera();
  }
  ~LibraryLifetime() { VZ_LOG_ERROR("Video component detached."); }
};
const LibraryLifetime g_lifetime;

}  // namespace

// Referenced by the exports, so that the linker takes this object.
void VzVideoLifetimeAnchor() {}
