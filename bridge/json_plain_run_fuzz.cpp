// Fuzz target: every kernel of the escape scan gives the byte-by-byte answer
// on any bytes, from every start offset (so every alignment is met).
#include <cstddef>
#include <cstdint>

#include "bridge/json_plain_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const JsonPlainRunFn bytes = JsonPlainRunKernel(JsonScanKernel::kBytes);
  const JsonPlainRunFn kernels[] = {JsonPlainRunKernel(JsonScanKernel::kVector16),
                                    JsonPlainRunKernel(JsonScanKernel::kAvx2), JsonPlainRunLength};
  for (size_t start = 0; start < size && start < 64; ++start) {
    const size_t expected = bytes(text + start, size - start);
    for (const JsonPlainRunFn kernel : kernels) {
      if (kernel != nullptr && kernel(text + start, size - start) != expected) __builtin_trap();
    }
  }
  return 0;
}
