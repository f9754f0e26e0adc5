#include "client/controller/frame_dump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/scoped_test_folder_testlib.h"

namespace {

MonitorInfo Monitor(int32_t id, int width, int height) {
  MonitorInfo info{};
  info.MonitorId = id;
  info.Rect = VzRect{100, 0, 100 + width, height};
  info.BitsPerPixel = 32;
  return info;
}

std::vector<uint8_t> Pixels(int width, int height, uint8_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + seed);
  return pixels;
}

void WriteBytes(const std::string& path, const void* bytes, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes, 1, size, file);
  std::fclose(file);
}

class FrameDumpTest : public ::testing::Test {
 protected:
  vz::ScopedTestFolder folder_;
  std::string path_ = folder_.path() + "/frame.vzfd";
};

TEST_F(FrameDumpTest, WritesTheSharedMonitorAfterAnUpdateAndKeepsTheLastOneDue) {
  CFrameDump dump(path_);
  MonitorInfo first = Monitor(1, 6, 3);
  std::vector<uint8_t> pixels = Pixels(6, 3, 1);
  dump.Shared(&first, pixels.data());
  DumpedFrame frame;
  std::string why;
  EXPECT_FALSE(ReadFrameDump(path_, &frame, &why)) << "nothing is written before the first update";

  dump.Updated(&first, 1000000);
  ASSERT_TRUE(ReadFrameDump(path_, &frame, &why)) << why;
  EXPECT_EQ(frame.header.width, 6u);
  EXPECT_EQ(frame.header.height, 3u);
  EXPECT_EQ(frame.header.sequence, 1u);
  EXPECT_EQ(frame.header.written_us, 1000000u);
  EXPECT_EQ(frame.bgra, pixels);

  // Inside the interval the update waits; the unshare writes what waited.
  pixels[0] = 0xEE;
  dump.Updated(&first, 1000000 + CFrameDump::kMinIntervalUs - 1);
  ASSERT_TRUE(ReadFrameDump(path_, &frame, &why));
  EXPECT_EQ(frame.header.sequence, 1u);
  dump.Unshared(&first);
  ASSERT_TRUE(ReadFrameDump(path_, &frame, &why));
  EXPECT_EQ(frame.header.sequence, 2u);
  EXPECT_EQ(frame.bgra[0], 0xEE);
  // After the unshare the pixels are no longer read.
  dump.Updated(&first, 9000000);
  ASSERT_TRUE(ReadFrameDump(path_, &frame, &why));
  EXPECT_EQ(frame.header.sequence, 2u);
}

TEST_F(FrameDumpTest, OnlyTheFirstSharedMonitorIsWritten) {
  CFrameDump dump(path_);
  MonitorInfo first = Monitor(1, 4, 2), second = Monitor(2, 8, 8);
  std::vector<uint8_t> a = Pixels(4, 2, 3), b = Pixels(8, 8, 9);
  dump.Shared(&first, a.data());
  dump.Shared(&second, b.data());
  dump.Updated(&second, 5000000);
  DumpedFrame frame;
  std::string why;
  EXPECT_FALSE(ReadFrameDump(path_, &frame, &why));
  dump.Updated(&first, 5000000);
  ASSERT_TRUE(ReadFrameDump(path_, &frame, &why));
  EXPECT_EQ(frame.header.width, 4u);
  EXPECT_EQ(frame.bgra, a);
}

TEST_F(FrameDumpTest, OffWithoutAPathAndForMonitorsOfNoOrHugeSize) {
  CFrameDump off{std::string()};
  EXPECT_FALSE(off.enabled());
  std::vector<uint8_t> pixels = Pixels(4, 4, 0);
  for (const MonitorInfo& monitor : {Monitor(1, 0, 4), Monitor(1, 4, -2), Monitor(1, 16385, 1)}) {
    CFrameDump dump(path_);
    dump.Shared(&monitor, pixels.data());
    dump.Updated(&monitor, 1000000);
    DumpedFrame frame;
    std::string why;
    EXPECT_FALSE(ReadFrameDump(path_, &frame, &why))
        << "monitor of " << monitor.Rect.right - monitor.Rect.left << " x " << monitor.Rect.bottom;
  }
  CFrameDump dump(path_);
  dump.Shared(nullptr, pixels.data());
  dump.Updated(nullptr, 1000000);
}

TEST_F(FrameDumpTest, ReadingRefusesWhatIsNoWholeDump) {
  DumpedFrame frame;
  std::string why;
  EXPECT_FALSE(ReadFrameDump(path_, &frame, &why));
  EXPECT_NE(why.find("no frame dump"), std::string::npos);

  FrameDumpHeader header{};
  std::memcpy(header.magic, "VZFD", 4);
  header.width = 20000;  // above the largest side: refused before any allocation
  header.height = 20000;
  WriteBytes(path_, &header, sizeof(header));
  EXPECT_FALSE(ReadFrameDump(path_, &frame, &why));
  EXPECT_FALSE(ReadFrameDumpHeader(path_, &header));

  header.width = 4;
  header.height = 4;
  std::vector<uint8_t> bytes(sizeof(header) + 4 * 4 * 4 - 1);  // one byte short
  std::memcpy(bytes.data(), &header, sizeof(header));
  WriteBytes(path_, bytes.data(), bytes.size());
  EXPECT_FALSE(ReadFrameDump(path_, &frame, &why));
  EXPECT_NE(why.find("shorter"), std::string::npos);

  std::memcpy(header.magic, "XXXX", 4);
  WriteBytes(path_, &header, sizeof(header));
  EXPECT_FALSE(ReadFrameDumpHeader(path_, &header));
}

TEST_F(FrameDumpTest, ARectangleIsReadInPlaceAndOnlyInsideTheFrame) {
  CFrameDump dump(path_);
  MonitorInfo monitor = Monitor(1, 5, 4);
  std::vector<uint8_t> pixels = Pixels(5, 4, 7);
  dump.Shared(&monitor, pixels.data());
  dump.Updated(&monitor, 1000000);
  FrameDumpHeader header{};
  ASSERT_TRUE(ReadFrameDumpHeader(path_, &header));
  std::vector<uint8_t> rect;
  ASSERT_TRUE(ReadFrameDumpRect(path_, header, 3, 2, 2, 2, &rect));
  ASSERT_EQ(rect.size(), 16u);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(0, std::memcmp(rect.data() + row * 8, pixels.data() + ((2 + row) * 5 + 3) * 4, 8)) << "row " << row;
  }
  EXPECT_FALSE(ReadFrameDumpRect(path_, header, 4, 0, 2, 1, &rect));
  EXPECT_FALSE(ReadFrameDumpRect(path_, header, 0, 3, 1, 2, &rect));
  EXPECT_FALSE(ReadFrameDumpRect(path_, header, -1, 0, 1, 1, &rect));
  EXPECT_FALSE(ReadFrameDumpRect(path_, header, 0, 0, 0, 1, &rect));
}

}  // namespace

TEST(FrameDumpIntervalTest, LargeFramesAreWrittenLessOftenInProportionToTheirSize) {
  EXPECT_EQ(CFrameDump::IntervalUs(640ull * 480 * 4), CFrameDump::kMinIntervalUs);
  EXPECT_EQ(CFrameDump::IntervalUs(1920ull * 1080 * 4), CFrameDump::kMinIntervalUs);
  EXPECT_EQ(CFrameDump::IntervalUs(3840ull * 2160 * 4), 4 * CFrameDump::kMinIntervalUs);
}
