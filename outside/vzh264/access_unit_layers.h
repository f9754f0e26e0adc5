#pragma once
// What a decoder needs to know of an access unit before decoding it: its
// NAL units, the highest SVC dependency layer it carries, its temporal
// layer, whether it holds an IDR picture, and whether any later picture can
// refer to it.
//
// Input from the network: the bytes are only read within `length`; NAL
// units too short for the header fields they should carry count as
// unknown units.
// Threads: none; functions of their arguments.
#include <cstdint>
#include <vector>

#include "contracts/h264_nal_types.h"

namespace vzh264 {

struct NalSpan {
  int32_t start = 0;  // offset of the start code
  int32_t header = 0; // offset of the NAL header byte
  int32_t end = 0;    // one past the last byte
  int type = 0;
};

struct AccessUnitLayers {
  std::vector<NalSpan> nals;
  int top_dependency_id = -1;  // -1: no slice at all
  int temporal_id = -1;        // from the SVC headers; -1 when none was read
  bool has_idr = false;
  bool referenced = false;     // some slice has nal_ref_idc above 0
};

// Reads the NAL units of an Annex B access unit (3- or 4-byte start codes).
AccessUnitLayers ReadAccessUnitLayers(const uint8_t* data, int32_t length);

}  // namespace vzh264
