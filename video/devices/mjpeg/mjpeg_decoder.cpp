#include "video/devices/mjpeg/mjpeg_decoder.h"

#include <vector>

#include "common/trace_client.h"
#include "video/devices/mjpeg/huffman_lookup.h"
#include "video/devices/mjpeg/marker_search.h"
#include "video/devices/mjpeg/mjpeg_frame_header.h"
#include "video/devices/mjpeg/mjpeg_idct.h"
#include "video/devices/mjpeg/mjpeg_scan_decoder.h"

namespace nsVZVP {

struct CMjpegDecoder::Workspace {
  MjpegFrameHeader header;
  // The frame's own tables, [ac][id], built only when the frame carries tables
  // other than the typical ones.
  HuffmanLookup own[2][2];
  MjpegScanTables tables;
  // The entropy-coded data without stuffing and restart markers, and where each
  // restart interval starts in it.
  std::vector<uint8_t> scan_bytes;
  std::vector<uint32_t> interval_starts;
};

namespace {

const char* ErrorText(int code) {
  switch (code) {
    case CMjpegDecoder::kBadForm:
      return "not 4:2:0 or 4:2:2 with 8-bit samples";
    case CMjpegDecoder::kBadSize:
      return "width or height zero, not a multiple of 8 or too large, or the buffer too small";
    case CMjpegDecoder::kBadData:
      return "no baseline frame, or malformed markers, tables or coded data";
    case CMjpegDecoder::kShortData:
      return "the coded data end before the picture does";
    default:
      return "unknown";
  }
}

uint32_t I420Size(const MjpegFrameHeader& header) {
  // Both sizes are multiples of 8 and at most kMaxDimension: no overflow, no rounding.
  return static_cast<uint32_t>(header.width) * static_cast<uint32_t>(header.height) * 3 / 2;
}

// Chooses each component's tables. Returns true for the standard path: every
// table the scan uses is the typical one for its component (absent from the
// frame, or carried with the same codes), luminance on ids 0, chrominance on 1.
bool ChooseTables(const MjpegFrameHeader& header, HuffmanLookup (&own)[2][2], MjpegScanTables* tables) {
  bool standard = true;
  bool built[2][2] = {};
  for (int c = 0; c < 3; ++c) {
    const int expected_id = c == 0 ? 0 : 1;
    const uint8_t ids[2] = {header.components[c].td, header.components[c].ta};
    for (int ac = 0; ac < 2; ++ac) {
      const int id = ids[ac];
      const MjpegHuffmanSpec& spec = ac ? header.ac[id] : header.dc[id];
      const HuffmanLookup* lookup;
      if (!spec.present || EqualsStandardHuffman(spec, ac != 0, id)) {
        lookup = &StandardHuffmanLookup(ac != 0, id);
      } else {
        // Checked when the segment was read, so the build succeeds.
        if (!built[ac][id]) BuildHuffmanLookup(spec, &own[ac][id]);
        built[ac][id] = true;
        lookup = &own[ac][id];
        standard = false;
      }
      if (id != expected_id) standard = false;
      (ac ? tables->ac : tables->dc)[c] = lookup;
    }
    PrescaleQuantTable(header.quant[header.components[c].tq], tables->quant[c]);
  }
  return standard;
}

}  // namespace

CMjpegDecoder::CMjpegDecoder() : work_(std::make_unique<Workspace>()) {}

CMjpegDecoder::~CMjpegDecoder() = default;

int CMjpegDecoder::Probe(uint32_t length, const uint8_t* data, uint32_t* out_size, int32_t* out_height,
                         int32_t* out_width, int32_t* out_planes, int32_t* out_progressive_ok,
                         int32_t* out_reserved) {
  const int result = ParseMjpegFrameHeader(data, length, &work_->header);
  if (result != kOk) {
    VZ_LOG_WARN("MJPEG frame of %u bytes refused (%d): %s", length, result, ErrorText(result));
    return result;
  }
  *out_size = I420Size(work_->header);
  *out_height = work_->header.height;
  *out_width = work_->header.width;
  *out_planes = 1;
  *out_progressive_ok = 1;
  *out_reserved = 0;
  return kOk;
}

int CMjpegDecoder::Decode(uint32_t length, const uint8_t* data, uint8_t* output, uint32_t capacity) {
  Workspace& work = *work_;
  int result = ParseMjpegFrameHeader(data, length, &work.header);
  if (result == kOk && (output == nullptr || capacity < I420Size(work.header))) result = kBadSize;
  if (result == kOk) {
    const bool standard = ChooseTables(work.header, work.own, &work.tables);
    const MjpegMcuGrid grid = MakeMcuGrid(work.header);
    MjpegScanData scan;
    scan.size = ExtractScanData(data, work.header.scan_offset, length, grid.intervals, &work.scan_bytes,
                                &work.interval_starts);
    scan.bytes = work.scan_bytes.data();
    scan.interval_starts = &work.interval_starts;
    result = DecodeMjpegScan(work.header, work.tables, standard, scan, output);
  }
  if (result != kOk) {
    VZ_LOG_WARN("MJPEG frame of %u bytes not decoded (%d): %s", length, result, ErrorText(result));
  }
  return result;
}

}  // namespace nsVZVP
