// The four functions the video engine binds by name in libvzh264.so.
#include <new>

#include "contracts/vzh264_codec.h"
#include "outside/vzh264/stand_in_decoder.h"
#include "outside/vzh264/stand_in_encoder.h"

extern "C" {

__attribute__((visibility("default"))) int32_t VZCreateH264Encoder(vzh264::IH264Encoder** out) {
  if (out == nullptr) return -1;
  *out = nullptr;
  auto* encoder = new (std::nothrow) vzh264::StandInEncoder();
  if (encoder == nullptr) return -1;
  if (!encoder->created()) {
    delete encoder;
    return -1;
  }
  *out = encoder;
  return 0;
}

__attribute__((visibility("default"))) void VZDestroyH264Encoder(vzh264::IH264Encoder* encoder) {
  delete static_cast<vzh264::StandInEncoder*>(encoder);
}

__attribute__((visibility("default"))) int32_t VZCreateH264Decoder(vzh264::IH264Decoder** out) {
  if (out == nullptr) return -1;
  *out = nullptr;
  auto* decoder = new (std::nothrow) vzh264::StandInDecoder();
  if (decoder == nullptr) return -1;
  if (!decoder->created()) {
    delete decoder;
    return -1;
  }
  *out = decoder;
  return 0;
}

__attribute__((visibility("default"))) void VZDestroyH264Decoder(vzh264::IH264Decoder* decoder) {
  delete static_cast<vzh264::StandInDecoder*>(decoder);
}

}  // extern "C"
