#pragma once
// Turns the encoder wrapper's parameter record into the parameters of the
// encoder underneath, refusing records it cannot run.
//
// Threads: none; functions of their arguments.
#include <wels/codec_app_def.h>

#include "contracts/vzh264_codec.h"

namespace vzh264 {

// Bounds of a layer and of the input picture, in pixels.
inline constexpr int kMinSide = 16;
inline constexpr int kMaxSide = 4096;

// Fills `out` (defaults first, from `defaults`) from `param`. False, with
// `out` unspecified, when the record is not runnable: colour format other
// than I420, input or layer sizes outside 16..4096 or odd, 0 or more than 4
// spatial layers, a layer larger than the one above it, a frame rate not
// above 0 or above 120.
bool TranslateEncoderParam(const EncoderParam& param, const SEncParamExt& defaults, SEncParamExt* out);

}  // namespace vzh264
