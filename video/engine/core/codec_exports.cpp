#include "video/engine/core/codec_exports.h"

#include "common/trace_client.h"

CodecExportsResult LoadCodecExports(const char* library, const char* create_name, const char* destroy_name,
                                    CodecExports* out) {
  *out = CodecExports{};
  const vz::ModuleLoad load = vz::LoadModule(library);
  if (load.module == nullptr) {
    VZ_LOG_ERROR("cannot load %s: %s", library, load.error.reason.c_str());
    return CodecExportsResult::kNoLibrary;
  }
  out->module = load.module;
  out->create = vz::GetModuleSymbol(load.module, create_name);
  out->destroy = vz::GetModuleSymbol(load.module, destroy_name);
  if (out->create == nullptr || out->destroy == nullptr) {
    VZ_LOG_ERROR("%s lacks %s or %s", library, create_name, destroy_name);
    return CodecExportsResult::kNoEntryPoints;
  }
  return CodecExportsResult::kLoaded;
}
