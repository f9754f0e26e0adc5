#pragma once
// The synthetic camera's picture: an I420 frame with a diagonal gradient, a
// bright bar that moves 8 pixels a frame, and the frame counter written as
// 16 blocks of 16 x 16 luma (bright for a one, dark for a zero, most
// significant bit first) along the top-left edge, so a receiver can read
// which frame it got and compare it with the pattern it should be.
#include <cstdint>

inline constexpr int32_t kTestPatternCounterBits = 16;
inline constexpr int32_t kTestPatternBlock = 16;

// Writes frame `counter` into an I420 buffer of width x height (even sides,
// at least 256 x 16). Returns false for sizes it cannot hold.
bool FillTestPattern(uint8_t* i420, int32_t width, int32_t height, uint32_t counter);

// Reads the counter back from a luma plane (blocks averaged, threshold at
// the middle); -1 when the plane is too small.
int64_t ReadTestPatternCounter(const uint8_t* luma, int32_t stride, int32_t width, int32_t height);
