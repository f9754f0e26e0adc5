#include "platform/camera/v4l2_camera.h"

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdint>
#include <deque>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/camera/emulated/v4l2_emulation.h"

namespace vz {
namespace {

// A driver that lies in one of its answers.
class LyingPort : public EmulatedV4l2 {
 public:
  enum class Lie { kNone, kBytesUsed, kBufferIndex, kBufferLength, kBufferCount, kUnterminatedCard, kOtherBlock };
  Lie lie = Lie::kNone;

  int Ioctl(int fd, unsigned long request, void* arg) override {
    const int result = EmulatedV4l2::Ioctl(fd, request, arg);
    if (result != 0) return result;
    if (request == VIDIOC_DQBUF && lie == Lie::kBytesUsed) static_cast<v4l2_buffer*>(arg)->bytesused = 0x7FFFFFFF;
    if (request == VIDIOC_DQBUF && lie == Lie::kBufferIndex) static_cast<v4l2_buffer*>(arg)->index = 99;
    if (request == VIDIOC_DQBUF && lie == Lie::kOtherBlock) static_cast<v4l2_buffer*>(arg)->m.userptr += 64;
    if (request == VIDIOC_QUERYBUF && lie == Lie::kBufferLength) static_cast<v4l2_buffer*>(arg)->length = 0xFFFFFFF0;
    if (request == VIDIOC_REQBUFS && lie == Lie::kBufferCount) static_cast<v4l2_requestbuffers*>(arg)->count = 1000;
    if (request == VIDIOC_QUERYCAP && lie == Lie::kUnterminatedCard) {
      auto* caps = static_cast<v4l2_capability*>(arg);
      std::memset(caps->card, 'c', sizeof(caps->card));
    }
    return 0;
  }
};

// Blocks of its own, each handle the block's number; counts what is out.
class TestLender : public CameraBufferLender {
 public:
  size_t refuse_after = SIZE_MAX;  // blocks lent before it has no more
  void* Lend(size_t length, void** handle) override {
    if (lent_ >= refuse_after) return nullptr;
    blocks_.push_back(std::vector<uint8_t>(length));
    ++lent_;
    ++out_;
    *handle = reinterpret_cast<void*>(blocks_.size());
    return blocks_.back().data();
  }
  void Return(void* handle) override {
    ASSERT_NE(handle, nullptr);
    --out_;
  }
  const uint8_t* Block(void* handle) const { return blocks_.at(reinterpret_cast<size_t>(handle) - 1).data(); }
  int out() const { return out_; }

 private:
  std::deque<std::vector<uint8_t>> blocks_;  // blocks never move
  size_t lent_ = 0;
  int out_ = 0;
};

int StreamOneFrame(V4l2Camera& camera, uint32_t* length) {
  int result = EAGAIN;
  for (int tries = 0; tries < 100 && (result == EAGAIN || result == ETIMEDOUT); ++tries) {
    result = camera.NextFrame(1000, [&](const uint8_t* data, uint32_t size, void*) {
      *length = size;
      volatile uint8_t last = data[size - 1];  // read to the end: ASan checks it
      (void)last;
    });
  }
  return result;
}

TEST(V4l2CameraTest, FormatsSizesRatesInputsAndControlsAreRead) {
  EmulatedV4l2 port;
  const std::string node = port.Plug(LaptopYuyvCamera());
  V4l2Camera camera(port);
  ASSERT_EQ(camera.Open(node), 0);
  const auto formats = camera.Formats();
  ASSERT_EQ(formats.size(), 4u);  // three YUYV sizes, one MJPEG range
  EXPECT_EQ(formats[0].fourcc, kFourccYuyv);
  EXPECT_EQ(formats[0].min_width, 640u);
  EXPECT_FLOAT_EQ(formats[0].max_rate, 30.0f);
  EXPECT_FLOAT_EQ(formats[0].min_rate, 15.0f);
  EXPECT_TRUE(formats[3].compressed);
  EXPECT_EQ(formats[3].step_width, 8u);
  EXPECT_EQ(formats[3].max_height, 720u);
  CameraFormat set;
  EXPECT_EQ(camera.SetFormat(kFourccYuyv, 1280, 720, &set), 0);
  EXPECT_EQ(set.width, 1280u);
  EXPECT_EQ(set.image_size, 1280u * 720 * 2);
  EXPECT_EQ(camera.SetFormat(kFourccI420, 640, 480, &set), EINVAL);
  EXPECT_EQ(camera.SetFrameRate(15.0f), 0);
  EXPECT_FLOAT_EQ(camera.GetFrameRate(), 15.0f);
  EXPECT_EQ(camera.Inputs().size(), 1u);
  EXPECT_EQ(camera.SelectInput(3), EINVAL);
  const auto controls = camera.Controls();
  ASSERT_EQ(controls.size(), 3u);
  // A menu control comes with the names of its entries.
  EXPECT_TRUE(controls[2].is_menu);
  ASSERT_EQ(controls[2].menu.size(), 3u);
  EXPECT_EQ(controls[2].menu[1].value, 1);
  EXPECT_EQ(controls[2].menu[1].name, "50 Hz");
  EXPECT_EQ(controls[2].menu[2].name, "60 Hz");
  EXPECT_EQ(V4l2Camera(port).Open("/dev/video9"), ENOENT);
}

// Menu values the driver leaves unnamed are left out, and a range no menu
// has is asked only as far as the limit.
TEST(V4l2CameraTest, MenuEntriesAreTheNamedValuesUpToTheLimit) {
  EmulatedV4l2 port;
  EmulatedCameraScript script = LaptopYuyvCamera();
  CameraControl sparse{0x009a0901, "Auto Exposure", 0, 1000000, 1, 3, false, true, {}};
  sparse.menu = {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}, {63, "Last Asked"}, {64, "Never Asked"}};
  script.controls = {sparse};
  const std::string node = port.Plug(script);
  V4l2Camera camera(port);
  ASSERT_EQ(camera.Open(node), 0);
  const auto controls = camera.Controls();
  ASSERT_EQ(controls.size(), 1u);
  ASSERT_EQ(controls[0].menu.size(), 3u);
  EXPECT_EQ(controls[0].menu[0].value, 1);
  EXPECT_EQ(controls[0].menu[1].name, "Aperture Priority Mode");
  EXPECT_EQ(controls[0].menu[2].name, "Last Asked");
}

TEST(V4l2CameraTest, FramesStreamAndAPulledCameraAnswersNoDevice) {
  EmulatedV4l2 port;
  const std::string node = port.Plug(LaptopYuyvCamera());
  V4l2Camera camera(port);
  ASSERT_EQ(camera.Open(node), 0);
  ASSERT_EQ(camera.SetFormat(kFourccYuyv, 320, 240, nullptr), 0);
  ASSERT_EQ(camera.StartStreaming(4), 0);
  uint32_t length = 0;
  ASSERT_EQ(StreamOneFrame(camera, &length), 0);
  EXPECT_EQ(length, 320u * 240 * 2);
  port.UnplugForTesting(node);
  EXPECT_EQ(camera.NextFrame(1000, [](const uint8_t*, uint32_t, void*) { FAIL(); }), ENODEV);
  camera.Close();
}

// A driver that takes user pointers fills the lent blocks, each handed
// over with its handle and replaced; one that does not streams into
// memory-mapped buffers. Every block comes back once the stream is off.
TEST(V4l2CameraTest, FramesFillLentBlocksWhereTheDriverTakesThem) {
  for (bool takes : {true, false}) {
    SCOPED_TRACE(takes ? "the driver takes user pointers" : "the driver maps its own buffers");
    EmulatedV4l2 port;
    auto script = LaptopYuyvCamera();
    script.takes_user_pointers = takes;
    const std::string node = port.Plug(script);
    V4l2Camera camera(port);
    TestLender lender;
    ASSERT_EQ(camera.Open(node), 0);
    ASSERT_EQ(camera.SetFormat(kFourccYuyv, 320, 240, nullptr), 0);
    ASSERT_EQ(camera.StartStreaming(3, &lender), 0);
    EXPECT_EQ(camera.StreamsIntoLentBuffers(), takes);
    for (int frames = 0; frames < 5;) {
      const int result = camera.NextFrame(1000, [&](const uint8_t* data, uint32_t size, void* lent) {
        EXPECT_EQ(size, 320u * 240 * 2);
        if (takes) {
          ASSERT_NE(lent, nullptr);
          EXPECT_EQ(data, lender.Block(lent));
        } else {
          EXPECT_EQ(lent, nullptr);
        }
      });
      if (result == 0) ++frames;
      ASSERT_TRUE(result == 0 || result == EAGAIN || result == ETIMEDOUT) << result;
    }
    EXPECT_EQ(lender.out(), takes ? 3 : 0);
    EXPECT_EQ(port.FramesFilledIntoLentBuffersForTesting(node), takes ? port.FramesFilledForTesting(node) : 0u);
    camera.StopStreaming();
    EXPECT_EQ(lender.out(), 0);
  }
}

// Without a new block the filled one is only shown to the taker and queued
// again: the stream goes on. Without blocks at the start, memory-mapped
// buffers are taken.
TEST(V4l2CameraTest, ALenderWithoutBlocksNeverStopsTheStream) {
  EmulatedV4l2 port;
  const std::string node = port.Plug(LaptopYuyvCamera());
  V4l2Camera camera(port);
  ASSERT_EQ(camera.Open(node), 0);
  ASSERT_EQ(camera.SetFormat(kFourccYuyv, 320, 240, nullptr), 0);
  TestLender scarce;
  scarce.refuse_after = 2;
  ASSERT_EQ(camera.StartStreaming(2, &scarce), 0);
  ASSERT_TRUE(camera.StreamsIntoLentBuffers());
  for (int frames = 0; frames < 4;) {
    const int result = camera.NextFrame(1000, [&](const uint8_t* data, uint32_t size, void* lent) {
      EXPECT_EQ(lent, nullptr) << "frame " << frames;
      volatile uint8_t last = data[size - 1];
      (void)last;
    });
    if (result == 0) ++frames;
    ASSERT_TRUE(result == 0 || result == EAGAIN || result == ETIMEDOUT) << result;
  }
  camera.StopStreaming();
  EXPECT_EQ(scarce.out(), 0);

  // A driver that takes the blocks but does not stream into them.
  {
    EmulatedV4l2 other_port;
    auto script = LaptopYuyvCamera();
    script.fails_user_pointer_streamon = true;
    V4l2Camera other(other_port);
    ASSERT_EQ(other.Open(other_port.Plug(script)), 0);
    TestLender lender;
    ASSERT_EQ(other.StartStreaming(2, &lender), 0);
    EXPECT_FALSE(other.StreamsIntoLentBuffers());
    EXPECT_EQ(lender.out(), 0);
    uint32_t length = 0;
    EXPECT_EQ(StreamOneFrame(other, &length), 0);
  }

  TestLender empty;
  empty.refuse_after = 1;  // the second of two blocks is refused
  ASSERT_EQ(camera.StartStreaming(2, &empty), 0);
  EXPECT_FALSE(camera.StreamsIntoLentBuffers());
  EXPECT_EQ(empty.out(), 0);
  uint32_t length = 0;
  EXPECT_EQ(StreamOneFrame(camera, &length), 0);
  EXPECT_EQ(length, 320u * 240 * 2);
}

TEST(V4l2CameraTest, AnEmulatedMjpegCameraSendsTheFramesItsScriptAsksFor) {
  EmulatedV4l2 port;
  auto script = MjpegOnlyCamera();
  script.jpeg_restart_interval = 7;
  script.jpeg_strip_dht = true;
  const std::string node = port.Plug(script);
  V4l2Camera camera(port);
  ASSERT_EQ(camera.Open(node), 0);
  ASSERT_EQ(camera.SetFormat(kFourccMjpeg, 640, 360, nullptr), 0);
  ASSERT_EQ(camera.StartStreaming(2), 0);
  std::vector<uint8_t> frame;
  int result = EAGAIN;
  for (int tries = 0; tries < 100 && (result == EAGAIN || result == ETIMEDOUT); ++tries) {
    result = camera.NextFrame(1000, [&](const uint8_t* data, uint32_t size, void*) { frame.assign(data, data + size); });
  }
  ASSERT_EQ(result, 0);
  auto has_marker = [&](uint8_t marker) {
    for (size_t i = 0; i + 1 < frame.size(); ++i) {
      if (frame[i] == 0xFF && frame[i + 1] == marker) return true;
    }
    return false;
  };
  EXPECT_TRUE(has_marker(0xD8));   // start of image
  EXPECT_TRUE(has_marker(0xDD));   // restart interval
  EXPECT_TRUE(has_marker(0xD0));   // a restart marker
  EXPECT_FALSE(has_marker(0xC4));  // no Huffman tables
}

TEST(V4l2CameraTest, WhatADriverSaysIsCheckedBeforeItIsUsed) {
  for (const auto& [lie, name] :
       {std::pair{LyingPort::Lie::kBytesUsed, "bytes used"}, std::pair{LyingPort::Lie::kBufferIndex, "buffer index"},
        std::pair{LyingPort::Lie::kBufferLength, "buffer length"},
        std::pair{LyingPort::Lie::kBufferCount, "buffer count"}}) {
    SCOPED_TRACE(testing::Message() << "a lie about the " << name);
    LyingPort port;
    const std::string node = port.Plug(LaptopYuyvCamera());
    V4l2Camera camera(port);
    ASSERT_EQ(camera.Open(node), 0);
    ASSERT_EQ(camera.SetFormat(kFourccYuyv, 320, 240, nullptr), 0);
    port.lie = lie;
    const int started = camera.StartStreaming(4);
    if (lie == LyingPort::Lie::kBufferLength || lie == LyingPort::Lie::kBufferCount) {
      EXPECT_EQ(started, EIO);
      continue;
    }
    ASSERT_EQ(started, 0);
    uint32_t length = 0;
    const int result = StreamOneFrame(camera, &length);
    if (lie == LyingPort::Lie::kBytesUsed) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(length, 320u * 240 * 2);  // never past the mapped buffer
    } else {
      EXPECT_EQ(result, EIO);
    }
  }
  {
    // A lent block the driver gives back under another address is not read.
    LyingPort port;
    const std::string node = port.Plug(LaptopYuyvCamera());
    V4l2Camera camera(port);
    TestLender lender;
    ASSERT_EQ(camera.Open(node), 0);
    ASSERT_EQ(camera.StartStreaming(2, &lender), 0);
    port.lie = LyingPort::Lie::kOtherBlock;
    uint32_t length = 0;
    EXPECT_EQ(StreamOneFrame(camera, &length), EIO);
    port.lie = LyingPort::Lie::kBytesUsed;
    EXPECT_EQ(StreamOneFrame(camera, &length), 0);
    EXPECT_EQ(length, 640u * 480 * 2);  // never past the lent block
    camera.StopStreaming();
    EXPECT_EQ(lender.out(), 0);
  }
  LyingPort port;
  port.Plug(LaptopYuyvCamera());
  port.lie = LyingPort::Lie::kUnterminatedCard;
  const auto cameras = ListV4l2Cameras(port);
  ASSERT_EQ(cameras.size(), 1u);
  EXPECT_EQ(cameras[0].display_name, std::string(32, 'c'));
}

}  // namespace
}  // namespace vz
