// The library's load and unload lines. This object must be constructed after
// the tracer client inside libvzlink.so has bound the log writer, and so be
// destroyed before it unbinds: it lives in its own archive, linked after
// vzcommon, so that its initialiser comes after the tracer client's.
#include "common/trace_client.h"

namespace {

struct LibraryLifetimeLog {
  LibraryLifetimeLog() { VZ_LOG("VZLINk DLL DLL_PROCESS_ATTACH"); }
  ~LibraryLifetimeLog() { VZ_LOG("VZLINk DLL DLL_PROCESS_DETACH"); }
};
const LibraryLifetimeLog g_lifetime_log;

}  // namespace

// Referenced by the exports, so that the linker takes this object.
void VzLinkLifetimeAnchor() {}
