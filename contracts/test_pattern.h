#pragma once
// The synthetic camera's picture: an I420 frame with a diagonal gradient, a
// bright bar that moves a fiftieth of the width a frame, and the frame
// counter written as 16 square blocks (a fortieth of the width each; bright
// for a one, dark for a zero, most significant bit first) along the
// top-left edge, so a receiver can read which frame it got, at any layer
// size, and compare it with the pattern it should be.
#include <cstdint>
#include <vector>

inline constexpr int32_t kTestPatternCounterBits = 16;
inline constexpr int32_t kTestPatternBlocksAcross = 40;

// Writes frame `counter` into an I420 buffer of width x height (even sides,
// width at least 160, height at least a block). False for sizes it cannot
// hold.
bool FillTestPattern(uint8_t* i420, int32_t width, int32_t height, uint32_t counter);

// Reads the counter back from a luma plane (each block's middle averaged,
// threshold between bright and dark); -1 when the plane is too small.
int64_t ReadTestPatternCounter(const uint8_t* luma, int32_t stride, int32_t width, int32_t height);

// PSNR (dB) of a luma plane against frame `counter` of the pattern drawn at
// `source_width` x `source_height` and box-scaled down to the plane's size
// (a whole factor); -1 when the sizes do not fit. 99 for identical planes.
double TestPatternPsnr(const uint8_t* luma, int32_t stride, int32_t width, int32_t height, uint32_t counter,
                       int32_t source_width, int32_t source_height);
