#pragma once
// The markers of one Motion-JPEG frame, read up to the start of its scan:
// frame header, quantisation and Huffman tables, restart interval and scan
// header. Every segment is read within its own length and the frame's bytes.
#include <cstdint>

namespace nsVZVP {

// One table of a Huffman table segment: 16 code-length counts and the symbols
// in code order.
struct MjpegHuffmanSpec {
  bool present = false;
  uint8_t counts[16] = {};
  uint16_t total = 0;
  uint8_t symbols[256] = {};
};

struct MjpegComponent {
  uint8_t id = 0;
  uint8_t h = 0;   // horizontal sampling factor
  uint8_t v = 0;   // vertical sampling factor
  uint8_t tq = 0;  // quantisation table id from the frame header
  uint8_t td = 0;  // DC table id from the scan header
  uint8_t ta = 0;  // AC table id from the scan header
};

enum class MjpegChroma : int { k420 = 0, k422 = 1 };

struct MjpegFrameHeader {
  int32_t width = 0;
  int32_t height = 0;
  MjpegChroma chroma = MjpegChroma::k420;
  MjpegComponent components[3];
  // Quantisation tables by id, 8-bit entries in zig-zag order.
  bool has_quant[4] = {};
  uint8_t quant[4][64] = {};
  // The frame's own Huffman tables for ids 0 and 1 (tables of ids 2 and 3 are
  // read past; a scan that selects them is refused).
  MjpegHuffmanSpec dc[2];
  MjpegHuffmanSpec ac[2];
  bool own_huffman = false;
  bool avi1 = false;
  // MCUs per restart interval; 0 when the frame has none.
  uint32_t restart_interval = 0;
  // Offset of the first byte of entropy-coded data.
  uint32_t scan_offset = 0;
};

// Reads and checks the markers of `data` up to its scan. Returns
// CMjpegDecoder's codes: kOk with `*header` filled; kBadData for no start of
// image, no baseline frame header, a progressive or other frame header, a
// segment running past the data, a malformed table or scan header; kBadForm
// for components other than 4:2:0 or 4:2:2 with 8-bit precision; kBadSize for
// a width or height that is zero, not a multiple of 8 or above the limit.
int ParseMjpegFrameHeader(const uint8_t* data, uint32_t length, MjpegFrameHeader* header);

}  // namespace nsVZVP
