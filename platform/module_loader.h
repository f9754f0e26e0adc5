#pragma once
// Loads deliverables by file name and resolves their exports by ordinal.
// "vzshare", "vzshare.dll" and "libvzshare.so" all name libvzshare.so, which is
// looked up beside the executable first, then through the normal search path.
// An ordinal maps to one fixed exported C name per library (a table in the
// loader). Every failure is logged through the platform log; a failed load
// also returns why, so callers never read it from errno.
#include <string>
#include <string_view>

namespace vz {

struct Module;
using ModuleHandle = Module*;

// Why a library did not load.
struct ModuleError {
  // errno-like: 0 when nothing failed; EINVAL for a name that is not a
  // library file name; ENOENT when the library is nowhere to be found;
  // another errno value when the system loader's file access failed so;
  // ELIBBAD when the file was found but is not a loadable library.
  int code = 0;
  // The system loader's own text (it names the file), or the loader's.
  std::string reason;
};

// A loaded library, or null and the reason it did not load.
struct ModuleLoad {
  ModuleHandle module = nullptr;
  ModuleError error;
};

ModuleLoad LoadModule(std::string_view file_name);
// LoadModule once per library for the process's life: a later call for the
// same library, by any form of its name, returns the first call's handle
// (with no error), which the caller must never free, so that a library whose
// load-time code holds state (a trace connection) keeps it while its users
// come and go. A failed load is not kept: the next call tries again.
// Any thread.
ModuleLoad LoadModuleOnce(std::string_view file_name);
// Resolves "ordinal N" of a loaded module through the library's table.
void* GetModuleOrdinal(ModuleHandle module, int ordinal);
void* GetModuleSymbol(ModuleHandle module, const char* name);
// The exported name of an ordinal of a library ("vztrace", 1 -> "TracerLogA"), or null.
const char* OrdinalExportName(std::string_view library, int ordinal);
// The short name a file name stands for ("vzshare.dll", "libvzshare.so" ->
// "vzshare"); "" when it is not a plain file name (empty, or holds a '/').
std::string ModuleShortName(std::string_view file_name);
// Unloads the library and frees the handle; null is ignored.
void FreeModule(ModuleHandle module);

}  // namespace vz
