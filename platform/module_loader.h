#pragma once
// Loads deliverables by file name and resolves their exports by ordinal.
// "vzshare", "vzshare.dll" and "libvzshare.so" all name libvzshare.so, which is
// looked up beside the executable first, then through the normal search path.
// An ordinal maps to one fixed exported C name per library (a table in the
// loader). Every failure is logged through the platform log and returns null.
#include <string>
#include <string_view>

namespace vz {

struct Module;
using ModuleHandle = Module*;

ModuleHandle LoadModule(std::string_view file_name);
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
