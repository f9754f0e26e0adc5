#include "client/app/demo/picture_reports.h"

#include <gtest/gtest.h>

namespace {

constexpr char kLine[] =
    "2026-12-09 15:20:01.250 [4242:4250] DeliverSample [line# 91] : >picture [31] from [R2] 320x180 counter [57] "
    "psnr [38.4] rising [30] sharp [29]";

TEST(PictureReportTest, ReadsEveryFigureOfTheLibrarysLine) {
  PictureReport report;
  ASSERT_TRUE(ParsePictureReport(kLine, &report));
  EXPECT_EQ(report.logged_ms, ((15u * 60 + 20) * 60 + 1) * 1000 + 250u);
  EXPECT_EQ(report.picture, 31);
  EXPECT_EQ(report.from, "R2");
  EXPECT_EQ(report.width, 320);
  EXPECT_EQ(report.height, 180);
  EXPECT_EQ(report.counter, 57);
  EXPECT_DOUBLE_EQ(report.psnr, 38.4);
  EXPECT_EQ(report.rising, 30);
  EXPECT_EQ(report.sharp, 29);

  // The older line without the running counts, an unreadable counter and
  // a negative PSNR (no pattern found) still read.
  ASSERT_TRUE(ParsePictureReport(
      "2026-12-09 15:20:01.250 [1:1] X [line# 1] : >picture [1] from [R1] 640x360 counter [-1] psnr [-1.0]", &report));
  EXPECT_EQ(report.counter, -1);
  EXPECT_EQ(report.rising, -1);
  EXPECT_EQ(report.sharp, -1);
}

TEST(PictureReportTest, RefusesLinesThatDoNotReadWhole) {
  PictureReport report;
  EXPECT_FALSE(ParsePictureReport("2026-12-09 15:20:01.250 [1:1] key frame requested by ssrc=5", &report));
  // No time stamp in front.
  EXPECT_FALSE(ParsePictureReport(">picture [31] from [R2] 320x180 counter [57] psnr [38.4]", &report));
  // Sizes out of range, a zero size, a count too long to be one.
  const std::string stamp = "2026-12-09 15:20:01.250 [1:1] >";
  EXPECT_FALSE(ParsePictureReport(stamp + "picture [3] from [R2] 9000x180 counter [5] psnr [38.4]", &report));
  EXPECT_FALSE(ParsePictureReport(stamp + "picture [3] from [R2] 0x180 counter [5] psnr [38.4]", &report));
  EXPECT_FALSE(
      ParsePictureReport(stamp + "picture [99999999999999999999] from [R2] 320x180 counter [5] psnr [38.4]", &report));
  EXPECT_FALSE(ParsePictureReport(stamp + "picture [3] from [R2] 320x180 counter [5] psnr [3", &report));
  EXPECT_FALSE(ParsePictureReport("2026-12-09 25:20:01.250 [1:1] >picture [3] from [R2] 320x180 counter [5] psnr [38.4]",
                                  &report));
}

PictureReport At(uint64_t ms, int64_t picture, int64_t counter, double psnr, int64_t sharp, int64_t rising = -1) {
  PictureReport report;
  report.logged_ms = ms;
  report.picture = picture;
  report.from = "R2";
  report.counter = counter;
  report.psnr = psnr;
  report.sharp = sharp;
  report.rising = rising;
  return report;
}

TEST(PictureTallyTest, RateRiseBestAndSharpPicturesAfterAMoment) {
  PictureTally tally;
  EXPECT_FALSE(tally.CountersRose());  // no reports: nothing rose
  EXPECT_EQ(tally.PerSecond(), 0);
  tally.Add(At(10000, 1, 3, 25.0, 0));
  EXPECT_FALSE(tally.CountersRose());  // one report alone holds no rise
  tally.Add(At(12000, 31, 33, 41.0, 20));
  tally.Add(At(14000, 61, 63, 35.0, 45));
  EXPECT_TRUE(tally.CountersRose());
  EXPECT_DOUBLE_EQ(tally.PerSecond(), 15.0);
  EXPECT_DOUBLE_EQ(tally.best_psnr(), 41.0);
  EXPECT_EQ(tally.SharpSince(11000), 45);  // after the first report
  EXPECT_EQ(tally.SharpSince(13000), 25);  // after the second
  EXPECT_EQ(tally.SharpSince(15000), 0);   // none logged after it
  tally.Add(At(16000, 91, 2, 35.0, 45));  // back below the first report's
  EXPECT_FALSE(tally.CountersRose());
}

TEST(PictureTallyTest, ACounterRisesOverAllWithSingleStepsBackButNotWithMostPicturesStuck) {
  PictureTally tally;
  tally.Add(At(1000, 1, 10, 40, 1, 0));
  tally.Add(At(2000, 31, 5, 40, 20, 25));  // a damaged picture read as an older counter
  tally.Add(At(3000, 61, 70, 40, 50, 55));
  EXPECT_TRUE(tally.CountersRose());
  tally.Add(At(4000, 91, 80, 40, 50, 45));  // fewer than half of all pictures rose
  EXPECT_FALSE(tally.CountersRose());
}

TEST(PictureTallyTest, ARunOverMidnightKeepsItsRate) {
  PictureTally tally;
  tally.Add(At(24ull * 3600 * 1000 - 1000, 1, 1, 40, 1));
  tally.Add(At(1000, 31, 31, 40, 31));
  EXPECT_DOUBLE_EQ(tally.PerSecond(), 15.0);
}

}  // namespace
