#pragma once
// A short camera-like H.264 SVC stream made with the real codec library
// (loaded by name), for the decoder's round-trip tests and benchmark: the
// source pictures and each frame's access unit.
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "contracts/vzh264_codec.h"
#include "platform/module_loader.h"

namespace receive_test {

struct EncodedStream {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> pictures;  // I420, tightly packed
  std::vector<std::vector<uint8_t>> access_units;
};

// Three spatial layers (quarter, half and whole size) at 7.5, 15 and 30
// fps, three temporal levels, as the send side configures a camera.
inline vzh264::EncoderParam ThreeLayerParam(int width, int height) {
  using vzh264::EncoderParam;
  EncoderParam p;
  p.At(EncoderParam::kWidth) = static_cast<uint32_t>(width);
  p.At(EncoderParam::kHeight) = static_cast<uint32_t>(height);
  p.At(EncoderParam::kTemporalLevels) = 3;
  p.At(EncoderParam::kSpatialLayers) = 3;
  p.SetFloat(EncoderParam::kFrameRate, 30.0f);
  p.At(EncoderParam::kColorFormat) = EncoderParam::kColorI420;
  p.At(EncoderParam::kRateControl) = 1;
  const float fps[3] = {7.5f, 15.0f, 30.0f};
  const uint32_t scale = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) / (640u * 360u);
  const uint32_t rates[3] = {64000 * scale, 180000 * scale, 520000 * scale};
  uint32_t total = 0;
  for (int i = 0; i < 3; ++i) {
    const int shift = 2 - i;
    p.Layer(i, EncoderParam::kLayerWidth) = static_cast<uint32_t>(width >> shift);
    p.Layer(i, EncoderParam::kLayerHeight) = static_cast<uint32_t>(height >> shift);
    p.Layer(i, EncoderParam::kLayerFrameRate) = std::bit_cast<uint32_t>(fps[i]);
    p.Layer(i, EncoderParam::kLayerFlag) = 1;
    p.Layer(i, EncoderParam::kLayerBitrate) = rates[i];
    total += rates[i];
  }
  p.At(EncoderParam::kTotalBitrate) = total;
  return p;
}

// A moving gradient with a bright square.
inline std::vector<uint8_t> Picture(int w, int h, int frame) {
  std::vector<uint8_t> yuv(static_cast<size_t>(w) * h * 3 / 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int v = (x + 2 * frame) * 200 / w + y * 50 / h;
      const int sx = (frame * 4) % (w - 64);
      if (x >= sx && x < sx + 64 && y >= 40 && y < 104) v = 235;
      yuv[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(16 + v % 220);
    }
  }
  uint8_t* u = yuv.data() + static_cast<size_t>(w) * h;
  uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
  for (int y = 0; y < h / 2; ++y) {
    for (int x = 0; x < w / 2; ++x) {
      u[y * (w / 2) + x] = static_cast<uint8_t>(90 + x * 60 / w);
      v[y * (w / 2) + x] = static_cast<uint8_t>(160 - y * 60 / h);
    }
  }
  return yuv;
}

// Empty when the library or its encoder cannot be had.
inline EncodedStream EncodeStream(int width, int height, int frames) {
  EncodedStream stream;
  const vz::ModuleLoad load = vz::LoadModule(vzh264::kLibraryName);
  if (load.module == nullptr) return stream;
  auto create = reinterpret_cast<vzh264::CreateEncoderFn>(vz::GetModuleSymbol(load.module, vzh264::kCreateEncoderName));
  auto destroy =
      reinterpret_cast<vzh264::DestroyEncoderFn>(vz::GetModuleSymbol(load.module, vzh264::kDestroyEncoderName));
  vzh264::IH264Encoder* encoder = nullptr;
  if (create == nullptr || destroy == nullptr || create(&encoder) != 0 || encoder == nullptr) {
    vz::FreeModule(load.module);
    return stream;
  }
  const vzh264::EncoderParam param = ThreeLayerParam(width, height);
  auto out = std::make_unique<vzh264::EncodeOutput>();
  if (encoder->InitializeExt(&param, nullptr) == 0) {
    stream.width = width;
    stream.height = height;
    for (int f = 0; f < frames; ++f) {
      std::vector<uint8_t> yuv = Picture(width, height, f);
      vzh264::SourcePicture src;
      src.width = width;
      src.height = height;
      src.strides[0] = width;
      src.strides[1] = src.strides[2] = width / 2;
      src.planes[0] = yuv.data();
      src.planes[1] = yuv.data() + static_cast<size_t>(width) * height;
      src.planes[2] = src.planes[1] + static_cast<size_t>(width / 2) * (height / 2);
      src.time_stamp_ms = f * 33;
      const int32_t result = encoder->EncodeFrame(&src, out.get());
      if (result == vzh264::kFrameFailed || result == vzh264::kFrameSkipped) continue;
      std::vector<uint8_t> au;
      for (int l = 0; l < out->layer_count; ++l) {
        const vzh264::EncodeLayerOutput& layer = out->layers[l];
        size_t bytes = 0;
        for (int n = 0; n < layer.nal_count; ++n) bytes += static_cast<size_t>(layer.nal_lengths[n]);
        au.insert(au.end(), layer.bitstream, layer.bitstream + bytes);
      }
      stream.pictures.push_back(std::move(yuv));
      stream.access_units.push_back(std::move(au));
    }
    encoder->Uninitialize();
  }
  destroy(encoder);
  vz::FreeModule(load.module);
  return stream;
}

inline double LumaPsnr(const uint8_t* source, int w, int h, const uint8_t* decoded, int stride) {
  double squared = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double d = double(source[y * w + x]) - double(decoded[y * stride + x]);
      squared += d * d;
    }
  }
  const double mse = squared / (double(w) * h);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace receive_test
