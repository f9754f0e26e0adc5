#pragma once
// The outside H.264 SVC codec library (libvzh264.so, named "vzh264.dll" by
// its users): the encoder and decoder interfaces, the records passed through
// them, and the four exported factory names. Both sides are built here, so
// the records are plain structs of this build, not fixed byte layouts.
//
// Threads: a codec object is used by one caller at a time (its owner
// locks); different objects may run on different threads.
#include <bit>
#include <cstdint>

namespace vzh264 {

// ---- Encoder parameters: 220 32-bit words, as the encoder wrapper writes
// them. Float values are stored as their bits.
struct EncoderParam {
  static constexpr int kWords = 220;
  static constexpr int kMaxSpatialLayers = 4;
  static constexpr int kLayerBase = 24;    // first word of spatial layer 0
  static constexpr int kLayerStride = 49;  // words per spatial layer
  // Word indexes of the whole stream.
  enum Word : int {
    kWidth = 0,
    kHeight = 1,
    kTotalBitrate = 2,
    kTemporalLevels = 3,
    kSpatialLayers = 4,
    kFrameRate = 5,  // float
    kColorFormat = 6,
    kIntraPeriod = 8,
    kBelowHd = 11,
    kLongTermReference = 15,
    kRateControl = 17,
    kPadding = 23,  // float; read by the send adaptor as dynamic distribution
  };
  // Word offsets inside one spatial layer.
  enum LayerWord : int {
    kLayerWidth = 0,
    kLayerHeight = 1,
    kLayerFrameRate = 2,  // float
    kLayerFlag = 3,
    kLayerBitrate = 4,
    kLayerSliceMode = 11,
    kLayerSliceCount = 47,
  };
  static constexpr uint32_t kColorI420 = 23;

  uint32_t words[kWords] = {};

  static constexpr int LayerWordIndex(int layer, int word) { return kLayerBase + kLayerStride * layer + word; }
  uint32_t& At(int index) { return words[index]; }
  uint32_t At(int index) const { return words[index]; }
  uint32_t& Layer(int layer, int word) { return words[LayerWordIndex(layer, word)]; }
  uint32_t Layer(int layer, int word) const { return words[LayerWordIndex(layer, word)]; }
  float FloatAt(int index) const { return std::bit_cast<float>(words[index]); }
  void SetFloat(int index, float value) { words[index] = std::bit_cast<uint32_t>(value); }
};
static_assert(sizeof(EncoderParam) == 880);

// ---- Encoded output of one frame: layer records, each with its NAL units
// back to back behind 4-byte start codes in `bitstream` (owned by the codec,
// valid until its next call).
struct EncodeLayerOutput {
  int32_t layer_type = 0;  // 0 parameter sets and SEI, 1 picture data
  int32_t spatial_id = 0;
  int32_t temporal_id = 0;
  int32_t quality_id = 0;
  int32_t nal_count = 0;
  int32_t nal_lengths[128] = {};  // each including its start code
  const uint8_t* bitstream = nullptr;
};

struct EncodeOutput {
  static constexpr int kMaxLayers = 128;
  static constexpr int kMaxNals = 128;
  int32_t frame_type = 0;  // as EncodeFrame's result
  int32_t layer_count = 0;
  EncodeLayerOutput layers[kMaxLayers];
};

// An I420 picture given to the encoder.
struct SourcePicture {
  int32_t width = 0;
  int32_t height = 0;
  int32_t strides[3] = {};
  const uint8_t* planes[3] = {};
  int64_t time_stamp_ms = 0;
};

// EncodeFrame's answers.
enum FrameResult : int32_t {
  kFrameFailed = 0,
  kFrameIdr = 1,
  kFrameIntra = 2,
  kFramePredicted = 3,
  kFrameSkipped = 4,
};

// SetOption ids of the encoder.
enum EncoderOption : int32_t {
  kOptionReconfigure = 2,    // value: EncoderParam*; updates a running encoder
  kOptionFrameSkip = 8,      // value: int32_t*; 1 lets rate control skip frames, 2 forbids it
  kOptionComplexity = 9,     // value: int32_t*; 1 low, 2 medium, 3 high
  kOptionTracePath = 15,     // value: const char*; accepted and not used
};

// Pause kinds of EncodePauseFrame.
enum PauseKind : int32_t {
  kPauseGrey = 1,
  kPauseBlack = 2,
};

class IH264Encoder {
 public:
  // 0 on success; a record the encoder cannot run is refused with -1.
  virtual int32_t InitializeExt(const EncoderParam* param, void* reserved) = 0;
  virtual int32_t Uninitialize() = 0;
  // One I420 picture of the configured input size; fills `out` and answers
  // a FrameResult (kFrameFailed on any failure, nothing filled then).
  virtual int32_t EncodeFrame(const SourcePicture* picture, EncodeOutput* out) = 0;
  // An intra-coded still picture of the pause kind at the input size, with
  // its parameter sets; 0 on success.
  virtual int32_t EncodePauseFrame(int32_t kind, EncodeOutput* out) = 0;
  // The next frame is coded as an IDR frame (any non-zero argument).
  virtual int32_t ForceIntraFrame(int32_t idr) = 0;
  // 0 on success, -1 for an unknown id, a null value or a refused value.
  virtual int32_t SetOption(int32_t id, void* value) = 0;

 protected:
  ~IH264Encoder() = default;
};

// ---- Decoder.
#pragma pack(push, 1)
struct DecoderParam {
  uint32_t reserved0 = 0;
  // The caller's wanted colour format (a converter code). The codec hands
  // out its decoded planes (I420) whatever the code; the caller converts.
  uint32_t output_color_format = EncoderParam::kColorI420;
  uint32_t reserved1 = 0;
  uint8_t max_layer = 255;
  uint8_t error_concealment = 1;
  uint32_t bit_depth = 8;
  uint32_t mode_code = 2;  // 2 for mode 1, 1 for mode 3
};
#pragma pack(pop)
static_assert(sizeof(DecoderParam) == 22);

// What DecodeFrame made. The planes handed back point into the decoder and
// stay valid until its next call.
struct DecodeBufferInfo {
  int32_t buffer_kind = 0;    // 0: I420 planes in memory
  int32_t picture_ready = 0;  // 1 when a picture was handed out
  int32_t width = 0;
  int32_t height = 0;
  int32_t strides[2] = {};  // luma, chroma
  int64_t time_stamp = 0;
};

// Status bits of DecodeFrame (0 when clean).
enum DecodeStatus : int32_t {
  kDecodeReferenceLost = 0x02,
  kDecodeBitstreamError = 0x04,
  kDecodeLayerLost = 0x08,
  kDecodeNoParameterSets = 0x10,
  kDecodeConcealed = 0x20,
  kDecodeInvalidArgument = 0x1000,
  kDecodeNotInitialized = 0x2000,
};

// Option ids of the decoder.
enum DecoderOption : int32_t {
  kDecoderReferenceLossState = 4,  // get: 1 when the last decode lost a reference, else 0
  kDecoderRenderReady = 5,         // get and set: the owner's render-ready flag
  kDecoderLongTermFrame = 7,       // get: frame number of the last long-term reference, -1 none
  kDecoderIdrPictureId = 8,        // get: id of the last IDR picture
  kDecoderReportPending = 9,       // get: 1 when a decoder event should be reported
  kDecoderFrameNumber = 10,        // get: frame number of the last decoded picture
};

class IH264Decoder {
 public:
  // 0 on success; an output format other than I420 is refused (-1).
  virtual int32_t Initialize(const DecoderParam* param, void* reserved) = 0;
  virtual int32_t Uninitialize() = 0;
  // Decodes a whole access unit (NAL units behind start codes) and keeps
  // its picture; a call with null data and length 0 then takes that picture
  // out (picture_ready 1, planes set), once. Inputs longer than
  // kMaxInputBytes are refused with kDecodeInvalidArgument.
  virtual int32_t DecodeFrame(const uint8_t* data, int32_t length, uint8_t* planes[3],
                              DecodeBufferInfo* info) = 0;
  virtual int32_t SetOption(int32_t id, void* value) = 0;
  virtual int32_t GetOption(int32_t id, void* value) = 0;

  static constexpr int32_t kMaxInputBytes = 8 << 20;

 protected:
  ~IH264Decoder() = default;
};

// ---- The exports, resolved by name.
inline constexpr const char kLibraryName[] = "vzh264.dll";
inline constexpr const char kCreateEncoderName[] = "VZCreateH264Encoder";
inline constexpr const char kDestroyEncoderName[] = "VZDestroyH264Encoder";
inline constexpr const char kCreateDecoderName[] = "VZCreateH264Decoder";
inline constexpr const char kDestroyDecoderName[] = "VZDestroyH264Decoder";

using CreateEncoderFn = int32_t (*)(IH264Encoder** out);  // 0 and an encoder, or non-zero
using DestroyEncoderFn = void (*)(IH264Encoder* encoder);
using CreateDecoderFn = int32_t (*)(IH264Decoder** out);
using DestroyDecoderFn = void (*)(IH264Decoder* decoder);

}  // namespace vzh264
