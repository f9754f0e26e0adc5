#include "bridge/json_plain_run.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// A kernel with the name a failure gives it.
struct NamedKernel {
  const char* name;
  JsonPlainRunFn run;
};

std::vector<NamedKernel> Kernels() {
  std::vector<NamedKernel> kernels;
  for (const auto& [kind, name] : {std::pair{JsonScanKernel::kBytes, "bytes"},
                                   std::pair{JsonScanKernel::kVector16, "vector16"},
                                   std::pair{JsonScanKernel::kAvx2, "avx2"}}) {
    if (const JsonPlainRunFn kernel = JsonPlainRunKernel(kind)) kernels.push_back({name, kernel});
  }
  kernels.push_back({"JsonPlainRunLength", JsonPlainRunLength});
  return kernels;
}

// Every kernel finds the first byte that needs an escape, wherever it
// stands: every length up to 64 and past the 64-byte steps, every position,
// and a second hit behind the first that must not win.
TEST(JsonPlainRun, EveryKernelStopsAtTheFirstEscapeByteWhereverItStands) {
  const std::vector<NamedKernel> kernels = Kernels();
  ASSERT_GE(kernels.size(), 3u);
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 64; ++n) lengths.push_back(n);
  for (const size_t n : {65, 127, 128, 129, 200, 1000}) lengths.push_back(n);
  for (const char hit : {'"', '\\', '\0', '\n', '\x1f'}) {
    for (const size_t length : lengths) {
      // Bytes that need no escape, those of 0x80 and above included (a
      // signed compare would take them for control bytes).
      std::string text(length + 64, 'a');
      for (size_t i = 0; i < text.size(); ++i) text[i] = "a \x7f\x80\xff/~"[i % 7];
      for (const NamedKernel& kernel : kernels) {
        EXPECT_EQ(kernel.run(text.data(), length), length) << kernel.name << ", no hit, length " << length;
        EXPECT_EQ(kernel.run(nullptr, 0), 0u) << kernel.name;
      }
      for (size_t at = 0; at < length; ++at) {
        std::string with_hit = text;
        with_hit[at] = hit;
        if (at + 1 < length) with_hit[length - 1] = '"';
        for (const NamedKernel& kernel : kernels) {
          ASSERT_EQ(kernel.run(with_hit.data(), length), at)
              << kernel.name << ", hit " << int{hit} << " at " << at << " of " << length;
        }
      }
    }
  }
}

// A hit just past the end counts for nothing: no kernel reads beyond `size`
// for its answer.
TEST(JsonPlainRun, BytesPastTheEndDoNotCount) {
  std::string text(300, 'A');
  for (size_t length = 0; length < 200; ++length) {
    text[length] = '"';
    for (const NamedKernel& kernel : Kernels()) {
      EXPECT_EQ(kernel.run(text.data(), length), length) << kernel.name << ", length " << length;
    }
    text[length] = 'A';
  }
}

}  // namespace
