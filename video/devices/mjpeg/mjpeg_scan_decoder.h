#pragma once
// The MCUs of one scan, from its entropy-coded data (without stuffing or
// restart markers) into an I420 picture.
#include <cstdint>
#include <vector>

#include "video/devices/mjpeg/huffman_lookup.h"
#include "video/devices/mjpeg/huffman_value_table.h"
#include "video/devices/mjpeg/mjpeg_frame_header.h"

namespace nsVZVP {

// One component's Huffman tables, each with its value table.
struct MjpegComponentTables {
  const HuffmanLookup* dc = nullptr;
  const HuffmanLookup* ac = nullptr;
  const HuffmanValueTable* dc_values = nullptr;
  const HuffmanValueTable* ac_values = nullptr;
};

struct MjpegScanTables {
  MjpegComponentTables components[3];
  alignas(16) int16_t quant[3][64] = {};  // prescaled, natural order
};

struct MjpegScanData {
  const uint8_t* bytes = nullptr;  // followed by kScanPadding zero bytes
  uint32_t size = 0;
  const std::vector<uint32_t>* interval_starts = nullptr;
};

// The MCU grid of a frame: whole MCUs cover the picture, the last column and
// row possibly only in part.
struct MjpegMcuGrid {
  uint32_t columns = 0;
  uint32_t rows = 0;
  uint32_t count = 0;
  uint32_t intervals = 0;     // restart intervals: ceil(count / restart interval), or 1
  uint32_t per_interval = 0;  // MCUs in each but the last interval
};
MjpegMcuGrid MakeMcuGrid(const MjpegFrameHeader& header);

// Decodes every MCU into `output` (width * height * 3 / 2 bytes). The standard
// path expects the typical tables, luminance with ids 0 and chrominance with
// ids 1; the general path takes any tables. Returns CMjpegDecoder's kOk,
// kBadData for data that hold no valid code or run past a block's end, and
// kShortData when an interval's data run out before its MCUs do.
int DecodeMjpegScan(const MjpegFrameHeader& header, const MjpegScanTables& tables, bool standard_path,
                    const MjpegScanData& scan, uint8_t* output);

}  // namespace nsVZVP
