#include "video/devices/color/cpu_features.h"

#include <cpuid.h>

#include <cstring>

namespace nsVZVP {
namespace {

bool OsSavesYmmState() {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool osxsave = (ecx & (1u << 27)) != 0;
  const bool avx = (ecx & (1u << 28)) != 0;
  if (!osxsave || !avx) return false;
  uint32_t xcr0_lo = 0, xcr0_hi = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0_lo), "=d"(xcr0_hi) : "c"(0));
  return (xcr0_lo & 0x6) == 0x6;  // XMM and YMM state
}

}  // namespace

uint32_t DetectCpuFeatures() {
  uint32_t max_leaf = 0, ebx = 0, ecx = 0, edx = 0;
  // x86-64 always has CPUID; leaf 0 gives the highest leaf and the vendor.
  if (!__get_cpuid(0, &max_leaf, &ebx, &ecx, &edx) || max_leaf == 0) return 0;
  char vendor[13] = {};
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  const bool amd = std::strcmp(vendor, "AuthenticAMD") == 0;
  const bool intel = std::strcmp(vendor, "GenuineIntel") == 0;
  const bool cyrix = std::strcmp(vendor, "CyrixInstead") == 0;

  uint32_t eax = 0;
  __get_cpuid(1, &eax, &ebx, &ecx, &edx);
  if ((edx & (1u << 23)) == 0) return 0;  // no MMX: plain kernels only
  uint32_t word = (edx & (1u << 25)) ? (kCpuMmx | kCpuMmxExt | kCpuSse) : kCpuMmx;
  if (edx & (1u << 26)) word |= kCpuSse2;
  if (ecx & (1u << 0)) word |= kCpuSse3;
  if (ecx & (1u << 9)) word |= kCpuSsse3;
  if (ecx & (1u << 19)) word |= kCpuSse41;
  if (ecx & (1u << 20)) word |= kCpuSse42;
  const uint32_t cache_line = ((ebx >> 8) & 0xff) * 8;

  uint32_t max_ext = 0, e_ebx = 0, e_ecx = 0, e_edx = 0;
  __get_cpuid(0x80000000u, &max_ext, &e_ebx, &e_ecx, &e_edx);
  if (amd && max_ext >= 0x80000001u) {
    uint32_t a = 0;
    __get_cpuid(0x80000001u, &a, &e_ebx, &e_ecx, &e_edx);
    if (e_edx & (1u << 22)) word |= kCpuMmxExt;
    if (e_edx & (1u << 31)) word |= kCpu3dNow;
  }
  // The old rule that took SSE2 away from three 32-bit Intel models cannot
  // match a 64-bit processor, so it is not carried.
  if ((intel || cyrix) && (word & kCpuSse42) == 0) {
    if (cache_line == 32) word |= kCpuCacheLine32;
    if (cache_line == 64) word |= kCpuCacheLine64;
  }
  if (max_leaf >= 7 && OsSavesYmmState()) {
    uint32_t a = 0, b = 0, c = 0, d = 0;
    __cpuid_count(7, 0, a, b, c, d);
    if (b & (1u << 5)) word |= kCpuAvx2;
  }
  return word;
}

}  // namespace nsVZVP
