#pragma once
// The engine's video types and the colour converter's format codes.
//
// Video types: 1 RGB24, 2 I420, 3 YUY2, 4 BGR24, 5 YV12, 6 RGB24 bottom-up,
// 7 BGR24 bottom-up, 8 and 10 RGBA32, 9 and 11 BGRA32, 12 and 14 RGBA32
// bottom-up, 13 and 15 BGRA32 bottom-up.
#include <cstdint>

constexpr uint32_t kNoColorSpace = 0xFFFFFFFFu;

// The format code of a video type; kNoColorSpace (logged) for any other.
uint32_t GetColorSpace(int32_t video_type);
// The video type of a format code; 0 (logged) for any other.
int32_t GetVideoType(uint32_t color_space);
