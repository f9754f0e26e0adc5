#pragma once
// Loads the outside codec library by name and resolves one pair of its
// exports (make and destroy), logging why when it cannot. The encoder and
// decoder bindings each keep their own count on top of it.
// Threads: any (the callers serialise their own counts).
#include "platform/module_loader.h"

enum class CodecExportsResult { kLoaded, kNoLibrary, kNoEntryPoints };

struct CodecExports {
  vz::ModuleHandle module = nullptr;  // set for kLoaded and kNoEntryPoints
  void* create = nullptr;
  void* destroy = nullptr;
};

// kNoEntryPoints leaves the module loaded in `out`: the caller frees it or
// keeps it so that it is not loaded again for every attempt.
CodecExportsResult LoadCodecExports(const char* library, const char* create_name, const char* destroy_name,
                                    CodecExports* out);
