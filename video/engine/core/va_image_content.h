#pragma once
// A picture handed to an image sink without its pixels: a shared surface and
// the picture's rectangle inside it.
#include <cstdint>

struct VAImageInfo {
  void* shared_handle = nullptr;
  uint32_t width = 0;  // surface size
  uint32_t height = 0;
  uint32_t format = 0;
  uint32_t pool = 0;
  int32_t left = 0;  // the picture inside the surface
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct VAImageContent {
  int32_t vatype = 0;  // 0 unsupported, 1 a shared surface
  const VAImageInfo* info = nullptr;
};
