#pragma once
// The engine's video types (the `video_type` of a VideoFormat) and the
// colour converter's format codes.
//
// A type's name says its bytes in memory; a plain name has its rows
// top-down, "BottomUp" stores the lowest row first. What a camera calls
// RGB24 is 24-bit BGR here (its bytes are B, G, R): kVideoTypeBgr24 with
// top-down rows, kVideoTypeBgr24BottomUp with bottom-up ones.
#include <cstdint>

// Any other picture (a camera's MJPEG among them); it has no format code.
inline constexpr int32_t kVideoTypeOther = 0;
inline constexpr int32_t kVideoTypeRgb24 = 1;
inline constexpr int32_t kVideoTypeI420 = 2;
inline constexpr int32_t kVideoTypeYuy2 = 3;
inline constexpr int32_t kVideoTypeBgr24 = 4;
inline constexpr int32_t kVideoTypeYv12 = 5;
inline constexpr int32_t kVideoTypeRgb24BottomUp = 6;
inline constexpr int32_t kVideoTypeBgr24BottomUp = 7;
inline constexpr int32_t kVideoTypeRgba32 = 8;
inline constexpr int32_t kVideoTypeBgra32 = 9;
// The types of the converter's ARGB32 and ABGR32 codes; asked for their own
// code they give RGBA32's and BGRA32's.
inline constexpr int32_t kVideoTypeArgb32 = 10;
inline constexpr int32_t kVideoTypeAbgr32 = 11;
inline constexpr int32_t kVideoTypeRgba32BottomUp = 12;
inline constexpr int32_t kVideoTypeBgra32BottomUp = 13;
inline constexpr int32_t kVideoTypeArgb32BottomUp = 14;
inline constexpr int32_t kVideoTypeAbgr32BottomUp = 15;
// The greatest video type; types above it are not pictures the engine knows.
inline constexpr int32_t kLastVideoType = kVideoTypeAbgr32BottomUp;

constexpr uint32_t kNoColorSpace = 0xFFFFFFFFu;

// The format code of a video type; kNoColorSpace (logged) for any other.
uint32_t GetColorSpace(int32_t video_type);
// The video type of a format code; kVideoTypeOther (logged) for any other.
int32_t GetVideoType(uint32_t color_space);
