// The library's load and unload lines. This object must be constructed after
// the tracer client inside libvzshare.so has bound the log writer, and so be
// destroyed before it unbinds: it lives in its own archive, linked after
// vzcommon, so that its initialiser comes after the tracer client's.
#include "common/trace_client.h"

namespace {

struct LibraryLifetimeLog {
  LibraryLifetimeLog() { VZ_LOG_ERROR("Sharing component attached."); }
  ~LibraryLifetimeLog() { VZ_LOG_ERROR("Sharing component detached."); }
};
const LibraryLifetimeLog g_lifetime_log;

}  // namespace

// Referenced by the exports, so that the linker takes this object.
void VzShareLifetimeAnchor() {}
