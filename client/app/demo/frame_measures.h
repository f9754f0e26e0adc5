#pragma once
// What the local meeting demonstration measures in pictures: a time stamp
// drawn as a row of square cells that survives a lossy codec, read back
// from a rebuilt frame, and the PSNR between two frames.
// Frames here are rows of 32-bit pixels, bytes B,G,R,A, `width` pixels a row.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ui/canvas.h"

// A white and a black guard cell, 32 bits most significant first (white is
// 1), then a parity cell (white when the number of ones is odd).
struct StampLayout {
  static constexpr int kCell = 12;
  static constexpr int kCells = 2 + 32 + 1;
  static constexpr int kWidth = kCells * kCell;
  static constexpr int kHeight = kCell;
};

// Draws the stamp with its top-left corner at (x, y).
void DrawStamp(vz::Canvas& canvas, int x, int y, uint32_t value);

// Reads a stamp whose top-left corner is at (x, y) of the frame; false when
// it lies outside, the guards are not told apart or the parity is wrong.
bool ReadStamp(const uint8_t* bgra, int width, int height, int x, int y, uint32_t* value);

// The PSNR of the R, G and B channels of two frames of `pixels` pixels, in
// dB; kIdenticalPsnr when they are the same.
inline constexpr double kIdenticalPsnr = 99.0;
double FramePsnr(const uint8_t* a, const uint8_t* b, size_t pixels);

// A PSNR as a report shows it: "identical" from kIdenticalPsnr up (and for
// an infinite one), else the figure with one decimal and "dB".
std::string PsnrText(double psnr);
