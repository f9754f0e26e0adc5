#include "sharing/engine/codec_mgr.h"

#include <map>
#include <mutex>
#include <new>
#include <string>

#include "common/trace_client.h"
#include "platform/module_loader.h"

namespace {

// One handle per library for the process's life. Each session's engine
// makes and deletes a manager; unloading the library with it would drop
// what the library's own load-time code holds (its trace connection).
vz::ModuleLoad OpenOnce(const char* library) {
  static std::mutex* mutex = new std::mutex();
  static auto* modules = new std::map<std::string, vz::ModuleHandle>();
  const std::string key = vz::ModuleShortName(library);
  std::lock_guard<std::mutex> lock(*mutex);
  const auto found = modules->find(key);
  if (found != modules->end()) return vz::ModuleLoad{found->second, {}};
  vz::ModuleLoad load = vz::LoadModule(library);
  if (load.module != nullptr) modules->emplace(key, load.module);
  return load;
}

}  // namespace

CCodecMgrWin::CCodecMgrWin(const char* library) { InitJpegEngine(library); }

// The library stays loaded (see OpenOnce).
CCodecMgrWin::~CCodecMgrWin() { module_ = nullptr; }

void CCodecMgrWin::InitJpegEngine(const char* library) {
  compress_ = nullptr;
  decompress_ = nullptr;
  free_ = nullptr;
  vz::ModuleLoad load = OpenOnce(library != nullptr ? library : "");
  module_ = load.module;
  if (module_ == nullptr) {
    VZ_LOG_ERROR("Load JPEG library failed.");
    return;
  }
  compress_ = reinterpret_cast<CompressFn>(vz::GetModuleSymbol(module_, "JPEGCompressImage"));
  decompress_ = reinterpret_cast<DecompressFn>(vz::GetModuleSymbol(module_, "JPEGDecompressImage"));
  free_ = reinterpret_cast<FreeFn>(vz::GetModuleSymbol(module_, "JPEGFreeMem"));
  if (!IsLoaded()) VZ_LOG_ERROR("JPEG library [%s] lacks its codec functions.", library);
}

uint8_t* CCodecMgrWin::DoCompress(int width, int height, int bits_per_pixel, int quality, int stride,
                                  const uint8_t* pixels, int* out_size) {
  if (compress_ == nullptr) {
    VZ_LOG_ERROR("Load JPEG library failed.");
    if (out_size != nullptr) *out_size = 0;
    return nullptr;
  }
  return compress_(width, height, bits_per_pixel, quality, stride, pixels, out_size);
}

uint8_t* CCodecMgrWin::Decompress(const uint8_t* data, int size, int bits_per_pixel, int* out) {
  if (decompress_ == nullptr) return nullptr;
  return decompress_(data, size, bits_per_pixel, out);
}

void CCodecMgrWin::FreeMem(void* memory) {
  if (free_ != nullptr) free_(memory);
}

uint8_t* CCodecMgrWin::CompressRect(const uint8_t* base, const VzRect* rect, int quality, int stride,
                                    int bits_per_pixel, int* out_size) {
  if (base == nullptr || rect == nullptr) {
    if (out_size != nullptr) *out_size = 0;
    return nullptr;
  }
  const uint8_t* first = base + static_cast<ptrdiff_t>(bits_per_pixel / 8) * rect->left +
                         static_cast<ptrdiff_t>(stride) * rect->top;
  return DoCompress(rect->right - rect->left, rect->bottom - rect->top, bits_per_pixel, quality, stride, first,
                    out_size);
}

uint8_t* CCodecMgrWin::DecompressRect(const uint8_t* data, int size, int bits_per_pixel, int* out) {
  return Decompress(data, size, bits_per_pixel, out);
}

CCodecMgrWin* CreateCodecMgr() { return new (std::nothrow) CCodecMgrWin(CCodecMgrWin::kLibraryName); }
