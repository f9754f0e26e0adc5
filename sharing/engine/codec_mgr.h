#pragma once
// The engine's JPEG codec: the outside library jpeg9b, loaded by name when
// the first manager is made (and kept loaded for the process's life), and
// three of its functions bound by name.
//
// Results (JPEG bytes, decoded pixels) come from malloc and are released by
// the caller with free. Pixels are top-down rows; decoded rows are packed
// (width x bits per pixel / 8 bytes).
// Failure: a missing library or function gives null results (compression
// logs "Load JPEG library failed." each time and sets the size to 0); the
// engine then sends tiles without image data and paints nothing, and sharing
// goes on. Threads: the engine's UI thread; the library itself is reentrant.
#include <cstddef>
#include <cstdint>

#include "contracts/capture_records.h"

namespace vz {
struct Module;
}

class CCodecMgrWin {
 public:
  static constexpr const char* kLibraryName = "jpeg9b.dll";

  // Loads `library` (the engine passes kLibraryName).
  explicit CCodecMgrWin(const char* library);
  virtual ~CCodecMgrWin();
  CCodecMgrWin(const CCodecMgrWin&) = delete;
  CCodecMgrWin& operator=(const CCodecMgrWin&) = delete;

  virtual uint8_t* DoCompress(int width, int height, int bits_per_pixel, int quality, int stride,
                              const uint8_t* pixels, int* out_size);
  virtual uint8_t* Decompress(const uint8_t* data, int size, int bits_per_pixel, int* out);
  virtual void FreeMemForTesting(void* memory);
  // Compresses `rect` of the frame at `base` (rows `stride` bytes apart).
  virtual uint8_t* CompressRect(const uint8_t* base, const VzRect* rect, int quality, int stride,
                                int bits_per_pixel, int* out_size);
  virtual uint8_t* DecompressRect(const uint8_t* data, int size, int bits_per_pixel, int* out);
  // Decodes an image of exactly width x height pixels into `target` (rows
  // `stride` bytes apart). Straight into the target when the library has
  // "JPEGDecompressImageInto"; else through Decompress and a row copy (a
  // library with only the three classic functions, or a manager that
  // replaces Decompress). On that road a JPEG image's size is read from its
  // frame header and the codec's out value is not needed; data that is no
  // JPEG stream is measured by that value and refused without it.
  // kDecodedInto; kWrongSize when the image is of another size, kNotDecoded
  // when it does not decode: the target is then untouched, except by a
  // stream that breaks off after its header, whose rows decoded so far stay.
  // `out_bytes` gets the decoded byte count (for the log) when known.
  enum IntoResult { kNotDecoded = 0, kDecodedInto = 1, kWrongSize = -1 };
  virtual IntoResult DecompressRectInto(const uint8_t* data, int size, int bits_per_pixel, uint8_t* target, int stride,
                                  int width, int height, size_t* out_bytes);

  bool IsLoaded() const { return compress_ != nullptr && decompress_ != nullptr; }

 private:
  using CompressFn = uint8_t* (*)(int, int, int, int, int, const uint8_t*, int*);
  using DecompressFn = uint8_t* (*)(const uint8_t*, int, int, int*);
  using FreeFn = void (*)(void*);
  using DecompressIntoFn = int (*)(const uint8_t*, int, int, uint8_t*, int, int, int);

  void InitJpegEngine(const char* library);

  vz::Module* module_ = nullptr;
  CompressFn compress_ = nullptr;
  DecompressFn decompress_ = nullptr;
  FreeFn free_ = nullptr;
  DecompressIntoFn decompress_into_ = nullptr;  // optional
};

// The engine's factory: a manager over jpeg9b. Null only when out of memory.
CCodecMgrWin* CreateCodecMgr();
