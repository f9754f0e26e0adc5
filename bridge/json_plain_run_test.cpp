#include "bridge/json_plain_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<JsonPlainRunFn> Kernels() {
  std::vector<JsonPlainRunFn> kernels;
  for (const JsonScanKernel kind : {JsonScanKernel::kBytes, JsonScanKernel::kVector16, JsonScanKernel::kAvx2}) {
    if (const JsonPlainRunFn kernel = JsonPlainRunKernel(kind)) kernels.push_back(kernel);
  }
  kernels.push_back(JsonPlainRunLength);
  return kernels;
}

// Every kernel finds the first byte that needs an escape, wherever it
// stands: every length up to 64 and past the 64-byte steps, every position,
// and a second hit behind the first that must not win.
TEST(JsonPlainRun, EveryKernelStopsAtTheFirstEscapeByteWhereverItStands) {
  const std::vector<JsonPlainRunFn> kernels = Kernels();
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
      for (const JsonPlainRunFn kernel : kernels) {
        EXPECT_EQ(kernel(text.data(), length), length) << "no hit, length " << length;
        EXPECT_EQ(kernel(nullptr, 0), 0u);
      }
      for (size_t at = 0; at < length; ++at) {
        std::string with_hit = text;
        with_hit[at] = hit;
        if (at + 1 < length) with_hit[length - 1] = '"';
        for (const JsonPlainRunFn kernel : kernels) {
          ASSERT_EQ(kernel(with_hit.data(), length), at) << "hit " << int{hit} << " at " << at << " of " << length;
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
    for (const JsonPlainRunFn kernel : Kernels()) EXPECT_EQ(kernel(text.data(), length), length);
    text[length] = 'A';
  }
}

}  // namespace
