// The fixed ordinal-to-export table of every library the system loads. An
// ordinal is resolved only through this table, never by guessing.
#include <string>

#include "platform/module_loader.h"

namespace vz {
namespace {

struct OrdinalExport {
  const char* library;
  int ordinal;
  const char* name;
};

constexpr OrdinalExport kOrdinalExports[] = {
    {"vztrace", 1, "TracerLogA"},
    {"vztrace", 2, "TracerLogW"},
    {"vztrace", 3, "TracerSetAppInfo"},
    {"vztrace", 4, "TracerGetCrashReport"},
    {"vztrace", 5, "TracerSetCollectSink"},
    {"vztrace", 6, "TracerCollectA"},
    {"vztrace", 7, "TracerSetMeetInfo"},
    {"vzlink", 1, "CreateVzLinkInstance"},
    {"vzlink", 2, "ReleaseVzLinkInstance"},
    {"vzshare", 1, "DSCreateInstance"},
    {"vzshare", 2, "DSDeleteInstance"},
    {"vzgrab", 1, "DSCreateCapture"},
    {"vzgrab", 2, "DSReleaseCapture"},
    {"vzvideo", 1, "VideoCreateInstance"},
    {"vzvideo", 2, "VideoDeleteInstance"},
    {"vzwire", 1, "VzCreateTransport"},
    {"vzwire", 2, "VzReleaseTransport"},
    {"vzaudio", 1, "ACCreateInstance"},
    {"vzaudio", 2, "ACDeleteInstance"},
    // The loader's own test library.
    {"vzloadertest", 1, "VzLoaderTestFirst"},
    {"vzloadertest", 2, "VzLoaderTestSecond"},
    // The engine wrappers' test library, standing in for vzshare.
    {"vzwrappertest", 1, "DSCreateInstance"},
    {"vzwrappertest", 2, "DSDeleteInstance"},
};

}  // namespace

const char* OrdinalExportName(std::string_view library, int ordinal) {
  std::string name = ModuleShortName(library);
  for (const OrdinalExport& entry : kOrdinalExports) {
    if (entry.ordinal == ordinal && name == entry.library) return entry.name;
  }
  return nullptr;
}

}  // namespace vz
