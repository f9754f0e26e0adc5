#pragma once
// Which Huffman and quantisation tables each component of a frame decodes
// with, and whether the frame can take the standard-table path.
#include "video/devices/mjpeg/huffman_lookup.h"
#include "video/devices/mjpeg/huffman_value_table.h"
#include "video/devices/mjpeg/mjpeg_frame_header.h"
#include "video/devices/mjpeg/mjpeg_scan_decoder.h"

namespace nsVZVP {

// The frame's own Huffman tables in decoding form, [ac][id]; only those the
// scan uses and that differ from the typical ones are built.
struct MjpegOwnTables {
  HuffmanLookup lookups[2][2];
  HuffmanValueTable values[2][2];
};

// Fills `tables` for a header that ParseMjpegFrameHeader accepted; the frame's
// own Huffman tables are built into `own`, which must outlive the decode.
// Returns true for the standard path: every table the scan uses is the typical
// one for its component (absent from the frame, or carried with the same
// codes), luminance on ids 0 and chrominance on ids 1.
bool ChooseMjpegTables(const MjpegFrameHeader& header, MjpegOwnTables* own, MjpegScanTables* tables);

}  // namespace nsVZVP
