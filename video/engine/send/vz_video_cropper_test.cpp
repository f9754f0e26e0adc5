#include "video/engine/send/vz_video_cropper.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/core/va_image_content.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/send/video_cap_engine_base.h"

namespace {

// Keeps what it was given: samples (their bytes and format) and image records.
class RecordingDeliverer final : public TEngineObject<IVideoDeliverer, IVideoImageSink> {
 public:
  VseResult DeliverSample(IVideoSample* sample) override {
    void* p = nullptr;
    int32_t length = 0;
    VideoFormat f{};
    sample->GetPointer(&p);
    sample->GetActualDataLength(&length);
    sample->GetFormat(&f);
    formats.push_back(f);
    pointers.push_back(p);
    bytes.emplace_back(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + length);
    return VSE_S_OK;
  }
  VseResult GetStatus(int32_t* flags) override {
    *flags = ready ? 1 : 0;
    return VSE_S_OK;
  }
  VseResult VADeliverImage(const VAImageContent* image) override {
    images.push_back(*image->info);
    return answer;
  }
  std::vector<VideoFormat> formats;
  std::vector<void*> pointers;
  std::vector<std::vector<uint8_t>> bytes;
  std::vector<VAImageInfo> images;
  bool ready = true;
  VseResult answer = VSE_S_OK;
};

class PlainDeliverer final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample*) override { return VSE_S_OK; }
};

class CropperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
    cropper_ = new CVzVideoCropper();
    cropper_->AddRef();
    ASSERT_EQ(cropper_->Init(160, 90, allocator_), 1);
    sink_ = new RecordingDeliverer();
    sink_->AddRef();
  }
  void TearDown() override {
    sink_->Release();
    cropper_->Release();
    allocator_->Release();
  }
  // A sample whose every byte tells its position: row r, column c of plane
  // p holds (p * 64 + r * 7 + c) & 0xFF.
  IVideoSample* Sample(int type, int w, int h, int32_t length = -1) {
    const bool planar = type == 2 || type == 5;
    const int bpp = type == 3 ? 2 : 3;
    const int32_t size = planar ? w * h * 3 / 2 : w * h * bpp;
    IVideoSample* s = nullptr;
    EXPECT_EQ(allocator_->GetSample(size, &s), VSE_S_OK) << "type " << type << " " << w << "x" << h;
    void* p = nullptr;
    s->GetPointer(&p);
    auto* b = static_cast<uint8_t*>(p);
    for (int32_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
    s->SetActualDataLength(length >= 0 ? length : size);
    VideoFormat f{type, w, h, 30.0f, 0};
    s->SetFormat(&f);
    return s;
  }
  static uint8_t At(IVideoSample* s, size_t offset) {
    void* p = nullptr;
    s->GetPointer(&p);
    return static_cast<uint8_t*>(p)[offset];
  }

  CVzVideoSampleAllocator* allocator_ = nullptr;
  CVzVideoCropper* cropper_ = nullptr;
  RecordingDeliverer* sink_ = nullptr;
};

TEST(CropSize, PowersOfTwoOfTheBaseAndTheAspectOfSmallInputs) {
  int32_t w = 0, h = 0;
  CVzVideoCropper::CropSize(1280, 720, 160, 90, &w, &h);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  CVzVideoCropper::CropSize(640, 480, 160, 90, &w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  CVzVideoCropper::CropSize(1920, 1080, 160, 90, &w, &h);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  CVzVideoCropper::CropSize(120, 90, 160, 90, &w, &h);
  EXPECT_EQ(w, 120);
  EXPECT_EQ(h, 66);
  CVzVideoCropper::CropSize(160, 60, 160, 90, &w, &h);  // short: the width follows
  EXPECT_EQ(w, 106);
  EXPECT_EQ(h, 60);
  CVzVideoCropper::CropSize(640, 200, 160, 90, &w, &h);  // wide: halved until the height fits
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 180);
}

TEST_F(CropperTest, BaseOfZeroIsRefusedAndTheOldOneKept) {
  EXPECT_EQ(cropper_->SetCropBase(0, 90), VSE_E_INVALIDARG);
  EXPECT_EQ(cropper_->SetCropBase(160, -1), VSE_E_INVALIDARG);
  int32_t w = 0, h = 0;
  EXPECT_EQ(cropper_->GetCropSize(640, 480, &w, &h), VSE_S_OK);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  EXPECT_EQ(cropper_->Init(0, 0, allocator_), 0);
  EXPECT_EQ(cropper_->Init(160, 90, nullptr), 0);
  EXPECT_EQ(cropper_->SetCropBase(96, 150), VSE_S_OK);  // portrait
  EXPECT_EQ(cropper_->GetCropSize(640, 480, &w, &h), VSE_S_OK);
  EXPECT_EQ(w, 192);
  EXPECT_EQ(h, 300);
}

TEST_F(CropperTest, PackedCropCopiesTheCentredRows) {
  IVideoSample* in = Sample(4, 200, 120);  // BGR24 -> 160x90 at (20, 14)... 200x120 crops to 160x90
  IVideoSample* out = nullptr;
  ASSERT_EQ(cropper_->Crop(in, false, &out), VSE_S_OK);
  VideoFormat f{};
  out->GetFormat(&f);
  EXPECT_EQ(f.width, 160);
  EXPECT_EQ(f.height, 90);
  int32_t length = 0;
  out->GetActualDataLength(&length);
  EXPECT_EQ(length, 160 * 90 * 3);
  const int x = 20, y = 15;
  for (int r : {0, 45, 89}) {
    for (int c : {0, 100, 479}) {
      EXPECT_EQ(At(out, static_cast<size_t>(r) * 480 + c), At(in, static_cast<size_t>(r + y) * 600 + x * 3 + c))
          << "row " << r << " byte " << c;
    }
  }
  out->Release();
  in->Release();
}

TEST_F(CropperTest, I420CropTakesChromaFromHalfTheOffsets) {
  IVideoSample* in = Sample(2, 640, 480);
  IVideoSample* out = nullptr;
  ASSERT_EQ(cropper_->Crop(in, true, &out), VSE_S_OK);
  EXPECT_NE(out, in);  // planar pictures are always copied
  int32_t length = 0;
  out->GetActualDataLength(&length);
  EXPECT_EQ(length, 640 * 360 * 3 / 2);
  // Luma from row 60; U from row 30 of the 320-wide plane; V likewise.
  EXPECT_EQ(At(out, 0), At(in, 60 * 640));
  EXPECT_EQ(At(out, 359 * 640 + 639), At(in, 419 * 640 + 639));
  const size_t in_u = 640 * 480, out_u = 640 * 360;
  EXPECT_EQ(At(out, out_u), At(in, in_u + 30 * 320));
  EXPECT_EQ(At(out, out_u + 179 * 320 + 319), At(in, in_u + 209 * 320 + 319));
  const size_t in_v = in_u + 320 * 240, out_v = out_u + 320 * 180;
  EXPECT_EQ(At(out, out_v + 5), At(in, in_v + 30 * 320 + 5));
  out->Release();
  in->Release();
}

TEST_F(CropperTest, InPlaceWithAnUnchangedWidthOnlyMovesTheStart) {
  IVideoSample* in = Sample(1, 640, 480);
  void* before = nullptr;
  in->GetPointer(&before);
  const int32_t refs = in->GetRefCount();
  IVideoSample* out = nullptr;
  ASSERT_EQ(cropper_->Crop(in, true, &out), VSE_S_OK);
  EXPECT_EQ(out, in);
  EXPECT_EQ(in->GetRefCount(), refs + 1);
  void* after = nullptr;
  out->GetPointer(&after);
  EXPECT_EQ(static_cast<uint8_t*>(after) - static_cast<uint8_t*>(before), 60 * 640 * 3);
  int32_t length = 0;
  out->GetActualDataLength(&length);
  EXPECT_EQ(length, 640 * 360 * 3);
  out->Release();
  in->Release();

  // Only 3-byte pixels move in place; YUY2 rows are copied.
  IVideoSample* yuy2 = Sample(3, 640, 480);
  ASSERT_EQ(cropper_->Crop(yuy2, true, &out), VSE_S_OK);
  EXPECT_NE(out, yuy2);
  EXPECT_EQ(At(out, 0), At(yuy2, 60 * 640 * 2));
  out->Release();
  yuy2->Release();

  // The same size in place is the sample itself; a copy otherwise.
  IVideoSample* exact = Sample(1, 640, 360);
  ASSERT_EQ(cropper_->Crop(exact, true, &out), VSE_S_OK);
  EXPECT_EQ(out, exact);
  out->Release();
  ASSERT_EQ(cropper_->Crop(exact, false, &out), VSE_S_OK);
  EXPECT_NE(out, exact);
  EXPECT_EQ(At(out, 1000), At(exact, 1000));
  out->Release();
  exact->Release();
}

TEST_F(CropperTest, ShortBuffersAndUnknownTypesAreRefused) {
  IVideoSample* out = nullptr;
  EXPECT_EQ(cropper_->Crop(nullptr, true, &out), VSE_E_INVALIDARG);
  IVideoSample* short_i420 = Sample(2, 640, 480, 640 * 480);  // no chroma
  EXPECT_EQ(cropper_->Crop(short_i420, false, &out), VSE_E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  short_i420->Release();
  IVideoSample* short_rgb = Sample(1, 640, 480, 640 * 480 * 3 - 1);
  EXPECT_EQ(cropper_->Crop(short_rgb, true, &out), VSE_E_INVALIDARG);
  short_rgb->Release();
  IVideoSample* rgba = Sample(1, 64, 64);
  VideoFormat f{8, 64, 64, 30.0f, 0};
  rgba->SetFormat(&f);
  EXPECT_EQ(cropper_->Crop(rgba, true, &out), VSE_E_UNSUPPORTED_FORMAT);
  rgba->Release();
  // YUY2 at an odd offset starts on an even pixel: 322 wide crops to 320 at x 0.
  IVideoSample* yuy2 = Sample(3, 322, 180);
  ASSERT_EQ(cropper_->Crop(yuy2, false, &out), VSE_S_OK);
  EXPECT_EQ(At(out, 0), At(yuy2, 0));
  EXPECT_EQ(At(out, 640), At(yuy2, 644));
  out->Release();
  yuy2->Release();
}

TEST_F(CropperTest, DeliverSampleCropsForEveryDeliverer) {
  IVideoSample* in = Sample(2, 640, 480);
  EXPECT_EQ(cropper_->DeliverSample(in), VSE_S_OK);  // nobody listening: nothing done
  EXPECT_EQ(cropper_->DeliverSample(nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(cropper_->AppendVideoDeliverer(nullptr), VSE_E_INVALIDARG);
  ASSERT_EQ(cropper_->AppendVideoDeliverer(sink_), VSE_S_OK);
  ASSERT_EQ(cropper_->DeliverSample(in), VSE_S_OK);
  ASSERT_EQ(sink_->formats.size(), 1u);
  EXPECT_EQ(sink_->formats[0].width, 640);
  EXPECT_EQ(sink_->formats[0].height, 360);
  EXPECT_EQ(in->GetRefCount(), 1);
  in->Release();
  int32_t flags = 0;
  EXPECT_EQ(cropper_->GetStatus(&flags), VSE_S_OK);
  EXPECT_EQ(flags, 1);
  sink_->ready = false;
  EXPECT_EQ(cropper_->GetStatus(&flags), VSE_S_OK);
  EXPECT_EQ(flags, 0);
  auto* plain = new PlainDeliverer();
  plain->AddRef();
  cropper_->AppendVideoDeliverer(plain);
  EXPECT_EQ(cropper_->GetStatus(&flags), VSE_E_FAIL);
  cropper_->RemoveVideoDeliverer(plain);
  plain->Release();
}

TEST_F(CropperTest, ImageRecordsGetACentredRectangleAndBadOnesAreRefused) {
  cropper_->AppendVideoDeliverer(sink_);
  VAImageInfo info;
  info.width = 1920;
  info.height = 1080;
  info.left = 100;
  info.top = 40;
  info.right = 100 + 640;
  info.bottom = 40 + 480;
  VAImageContent image{1, &info};
  ASSERT_EQ(cropper_->VADeliverImage(&image), VSE_S_OK);
  ASSERT_EQ(sink_->images.size(), 1u);
  EXPECT_EQ(sink_->images[0].left, 100);
  EXPECT_EQ(sink_->images[0].top, 100);
  EXPECT_EQ(sink_->images[0].right, 740);
  EXPECT_EQ(sink_->images[0].bottom, 460);
  sink_->answer = VSE_E_FAIL;
  EXPECT_EQ(cropper_->VADeliverImage(&image), VSE_E_FAIL);

  VAImageContent wrong_type{0, &info};
  EXPECT_EQ(cropper_->VADeliverImage(&wrong_type), VSE_E_INVALIDARG);
  VAImageInfo narrow = info;
  narrow.right = narrow.left + 150;  // narrower than the base
  VAImageContent n{1, &narrow};
  EXPECT_EQ(cropper_->VADeliverImage(&n), VSE_E_INVALIDARG);
  VAImageInfo outside = info;
  outside.bottom = 1081;
  VAImageContent o{1, &outside};
  EXPECT_EQ(cropper_->VADeliverImage(&o), VSE_E_INVALIDARG);
  VAImageInfo negative = info;
  negative.left = -2;
  VAImageContent g{1, &negative};
  EXPECT_EQ(cropper_->VADeliverImage(&g), VSE_E_INVALIDARG);
  EXPECT_EQ(sink_->images.size(), 2u);
}

// The capture engine's base hands captured samples to its cropper, whose
// output the consumers attach to.
class TestCaptureEngine final : public CVideoCapEngine {};

TEST(VideoCapEngineBase, ConsumersAttachToTheCroppersOutput) {
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();
  auto* sink = new RecordingDeliverer();
  sink->AddRef();
  {
    TestCaptureEngine engine;
    EXPECT_EQ(engine.AppendVideoDeliverer(sink), VSE_E_FAIL);  // no cropper yet
    EXPECT_EQ(engine.InitCropper(0, 90, allocator), 0);
    EXPECT_EQ(engine.cropper_for_testing(), nullptr);
    ASSERT_EQ(engine.InitCropper(160, 90, allocator), 1);
    ASSERT_EQ(engine.AppendVideoDeliverer(sink), VSE_S_OK);
    IVideoSample* s = nullptr;
    ASSERT_EQ(allocator->GetSample(1280 * 960 * 3, &s), VSE_S_OK);
    VideoFormat f{4, 1280, 960, 30.0f, 77};
    s->SetFormat(&f);
    engine.DeliverCapturedSample(s);
    s->Release();
    ASSERT_EQ(sink->formats.size(), 1u);
    EXPECT_EQ(sink->formats[0].width, 1280);
    EXPECT_EQ(sink->formats[0].height, 720);
    EXPECT_EQ(sink->formats[0].time_stamp_ms(), 77u);
    int count = 0;
    engine.EnumVideoDeliverers(
        [](IVideoDeliverer*, void* n) -> int32_t {
          ++*static_cast<int*>(n);
          return 0;
        },
        &count);
    EXPECT_EQ(count, 1);
  }
  EXPECT_EQ(sink->GetRefCount(), 1);  // the engine's cropper let go of it
  sink->Release();
  allocator->Release();
}

}  // namespace
