#pragma once
// Builds the codec's parameter record from an encode level and the capture
// format: layers larger than the capture (by more than 32 pixels) are left
// out, frame rates per layer by halving the stream's rate, temporal levels,
// intra period and slices.
//
// Threads: none; a function of its arguments.
#include "contracts/vzh264_codec.h"
#include "video/engine/core/engine_result.h"
#include "video/engine/core/video_types.h"
#include "video/engine/send/encode_level.h"

struct EncoderInputFormat {
  int32_t video_type = kVideoTypeBgr24;
  int32_t width = 720;
  int32_t height = 1280;
  float frame_rate = 24.0f;
};

struct EncoderSwitches {
  bool limit_to_capture = true;
  bool single_temporal_layer = false;
};

// Writes the record's stream and layer words into `param` (other words are
// left as they are); *stream_rate receives the stream's frame rate, the
// frame-rate filter's target. VSE_E_FAIL for an input video type outside
// 1..15.
VseResult BuildEncoderParam(const EncodeLevel& level, const EncoderInputFormat& input,
                            const EncoderSwitches& switches, vzh264::EncoderParam* param, float* stream_rate);

// The rate of a layer whose level asks `wanted` in a stream of `stream_rate`
// with `temporal_levels`: the stream rate halved towards `wanted`.
float LayerFrameRate(float stream_rate, float wanted, int temporal_levels);
