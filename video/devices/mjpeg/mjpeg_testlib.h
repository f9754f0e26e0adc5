#pragma once
// Test frames for the MJPEG decoder, encoded by libjpeg-turbo, and its planar
// YUV decode as the reference. Tests and benchmarks only.
#include <cstdint>
#include <vector>

namespace nsVZVP::mjpeg_testing {

enum class Form { k420, k422, k444, kGrey, kCmyk };

struct EncodeOptions {
  int width = 640;
  int height = 480;
  Form form = Form::k420;
  int quality = 85;
  int restart_interval = 0;   // MCUs; 0 for none
  bool optimize_tables = false;  // own Huffman tables instead of the typical ones
  bool progressive = false;
};

// A picture with gradients, edges and noise, so every coefficient band is used.
std::vector<uint8_t> EncodeFrame(const EncodeOptions& options);

// The frame without any segment of marker 0xFF `code` (0xC4 strips the Huffman tables).
std::vector<uint8_t> StripSegments(const std::vector<uint8_t>& frame, uint8_t code);
// The frame with all its quantisation tables in one segment, each with its own
// precision and id byte, as many cameras write them.
std::vector<uint8_t> MergeQuantSegments(const std::vector<uint8_t>& frame);
// `segment` (marker, length and body) inserted before the first segment of marker `before`.
std::vector<uint8_t> InsertSegment(const std::vector<uint8_t>& frame, uint8_t before,
                                   const std::vector<uint8_t>& segment);
// The offset of the first 0xFF `code` marker, or -1.
long FindMarker(const std::vector<uint8_t>& frame, uint8_t code);

// libjpeg-turbo's planar YUV decode, brought to I420 as the decoder writes it
// (4:2:2 chroma rows averaged in pairs, rounding up). Empty on failure.
std::vector<uint8_t> ReferenceI420(const std::vector<uint8_t>& frame, int width, int height, Form form);

struct Difference {
  int max = 0;
  double mean = 0;
};
Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace nsVZVP::mjpeg_testing
