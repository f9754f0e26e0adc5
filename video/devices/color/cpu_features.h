#pragma once
// The processor feature word the colour converter chooses its kernels by.
// Only kCpuMmx and kCpuSse2 choose the kernels named for them; kCpuSsse3
// and kCpuAvx2 (our own bit, set only when the OS saves the wide registers)
// let the SSE2 entries use their byte-shuffle and 256-bit forms, which give
// the same bytes.
#include <cstdint>

namespace nsVZVP {

enum CpuFeature : uint32_t {
  kCpuMmx = 0x1,
  kCpuMmxExt = 0x2,  // SSE, or the AMD MMX extensions
  kCpuSse = 0x4,
  kCpuSse2 = 0x8,
  kCpuSse3 = 0x10,
  kCpuSse41 = 0x20,
  kCpu3dNow = 0x40,
  kCpuSsse3 = 0x200,
  kCpuSse42 = 0x400,
  kCpuAvx2 = 0x800,
  kCpuCacheLine64 = 0x40000000,
  kCpuCacheLine32 = 0x80000000,
};

// Reads CPUID once per call. Never fails: a processor without MMX gives 0.
uint32_t DetectCpuFeatures();

}  // namespace nsVZVP
