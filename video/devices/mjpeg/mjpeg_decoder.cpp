#include "video/devices/mjpeg/mjpeg_decoder.h"

#include <vector>

#include "common/trace_client.h"
#include "video/devices/mjpeg/huffman_lookup.h"
#include "video/devices/mjpeg/marker_search.h"
#include "video/devices/mjpeg/mjpeg_frame_header.h"
#include "video/devices/mjpeg/mjpeg_scan_decoder.h"
#include "video/devices/mjpeg/mjpeg_table_choice.h"

namespace nsVZVP {

struct CMjpegDecoder::Workspace {
  MjpegFrameHeader header;
  // The frame's own tables, built only when the frame carries tables other
  // than the typical ones.
  MjpegOwnTables own;
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
    const bool standard = ChooseMjpegTables(work.header, &work.own, &work.tables);
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
