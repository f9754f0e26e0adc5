#pragma once
// How far a text may stand inside a JSON string as it is: the bytes before
// the first quote, backslash or control byte (below 0x20). Read a vector at a
// time, a whole cache line a step, so a 100 KB payload costs less than
// copying it.
#include <cstddef>

// The length of the leading run of `text` (`size` bytes) that needs no
// escape; `size` when no byte of it does. Any bytes, zero bytes included.
// Uses the best kernel this processor has.
size_t JsonPlainRunLength(const char* text, size_t size);

// The kernels, for tests and benchmarks: every one gives the same answer.
enum class JsonScanKernel { kBytes, kVector16, kAvx2 };
using JsonPlainRunFn = size_t (*)(const char* text, size_t size);
// Null when this processor lacks the kernel's instructions.
JsonPlainRunFn JsonPlainRunKernel(JsonScanKernel kind);
