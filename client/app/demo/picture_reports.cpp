#include "client/app/demo/picture_reports.h"

#include <cmath>
#include <cstdlib>
#include <regex>

namespace {

bool ReadCount(const std::string& text, int64_t limit, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  *value = std::strtoll(text.c_str(), nullptr, 10);
  return *value <= limit;
}

}  // namespace

bool LogLineTime(const std::string& line, uint64_t* ms) {
  static const std::regex stamp(R"(^\d{4}-\d\d-\d\d (\d\d):(\d\d):(\d\d)\.(\d{3}) )");
  std::smatch match;
  if (!std::regex_search(line, match, stamp)) return false;
  const int hours = std::atoi(match[1].str().c_str());
  const int minutes = std::atoi(match[2].str().c_str());
  const int seconds = std::atoi(match[3].str().c_str());
  if (hours > 23 || minutes > 59 || seconds > 60) return false;
  *ms = ((static_cast<uint64_t>(hours) * 60 + minutes) * 60 + seconds) * 1000 + std::atoi(match[4].str().c_str());
  return true;
}

bool ParsePictureReport(const std::string& line, PictureReport* report) {
  static const std::regex picture(
      R"(picture \[(\d+)\] from \[([^\]]{1,127})\] (\d+)x(\d+) counter \[(-?\d+)\] psnr \[(-?\d+(?:\.\d+)?|inf)\])"
      R"((?: rising \[(\d+)\] sharp \[(\d+)\])?)");
  std::smatch match;
  if (!std::regex_search(line, match, picture)) return false;
  PictureReport read;
  if (!LogLineTime(line, &read.logged_ms)) return false;
  int64_t width = 0, height = 0;
  constexpr int64_t kMany = int64_t{1} << 40;
  if (!ReadCount(match[1].str(), kMany, &read.picture) || !ReadCount(match[3].str(), 8192, &width) ||
      !ReadCount(match[4].str(), 8192, &height) || width == 0 || height == 0) {
    return false;
  }
  read.from = match[2].str();
  read.width = static_cast<int32_t>(width);
  read.height = static_cast<int32_t>(height);
  const std::string counter = match[5].str();
  if (counter.size() > 12) return false;
  read.counter = std::strtoll(counter.c_str(), nullptr, 10);
  read.psnr = match[6].str() == "inf" ? INFINITY : std::strtod(match[6].str().c_str(), nullptr);
  if (match[7].matched && (!ReadCount(match[7].str(), kMany, &read.rising) ||
                           !ReadCount(match[8].str(), kMany, &read.sharp))) {
    return false;
  }
  *report = read;
  return true;
}

void PictureTally::Add(const PictureReport& report) {
  if (reports_ == 0) first_ = report;
  last_ = report;
  ++reports_;
  if (report.psnr > best_psnr_) best_psnr_ = report.psnr;
  marks_.push_back({report.logged_ms, report.sharp});
}

bool PictureTally::CountersRose() const {
  if (reports_ < 2 || last_.counter <= first_.counter) return false;
  return last_.rising < 0 || last_.rising * 2 >= last_.picture;
}

double PictureTally::PerSecond() const {
  // A run across midnight counts the day's wrap.
  constexpr uint64_t kDayMs = 24ull * 3600 * 1000;
  if (reports_ < 2) return 0;
  const uint64_t span = (last_.logged_ms + kDayMs - first_.logged_ms) % kDayMs;
  if (span == 0) return 0;
  return static_cast<double>(last_.picture - first_.picture) * 1000.0 / static_cast<double>(span);
}

int64_t PictureTally::SharpSince(uint64_t since_ms) const {
  if (marks_.empty() || last_.sharp < 0) return 0;
  int64_t before = 0;
  for (const Mark& mark : marks_) {
    if (mark.ms >= since_ms) break;
    before = mark.sharp;
  }
  return last_.sharp - before;
}
