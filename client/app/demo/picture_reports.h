#pragma once
// The picture reports that VelzarHub's video library writes to its log for
// every 30th picture it receives from a participant ("picture [n] from [id]
// WxH counter [c] psnr [p] rising [r] sharp [s]"), read back by the video
// demonstration, and their tally per sender.
#include <cstdint>
#include <string>
#include <vector>

struct PictureReport {
  uint64_t logged_ms = 0;  // the log line's time of day, in ms since midnight
  int64_t picture = 0;     // pictures received from `from` so far
  std::string from;        // the sender's roster id
  int32_t width = 0;
  int32_t height = 0;
  int64_t counter = -1;  // the test pattern's frame counter read from it, -1 unreadable
  double psnr = -1;      // against the test pattern, dB
  int64_t rising = -1;   // pictures so far whose counter rose (-1: not in the line)
  int64_t sharp = -1;    // pictures so far above 30 dB (-1: not in the line)
};

// Reads one log line; false when it holds no picture report or a figure in
// it does not read (out of range, malformed).
bool ParsePictureReport(const std::string& line, PictureReport* report);

// The reports of one sender as one receiver logged them, in log order.
class PictureTally {
 public:
  void Add(const PictureReport& report);

  int reports() const { return reports_; }
  const PictureReport& first() const { return first_; }
  const PictureReport& last() const { return last_; }
  // Whether the frame counter rose: two reports at least, the last one's
  // counter above the first one's, and (when the lines count them) at least
  // half of all pictures above the picture before. A picture damaged by a
  // loss may read as any counter, so single steps back are allowed.
  bool CountersRose() const;
  double best_psnr() const { return best_psnr_; }
  // Pictures per second between the first and the last report; 0 with
  // fewer than two or no time between them.
  double PerSecond() const;
  // Sharp pictures counted after `since_ms` (time of day): the last
  // report's count less that of the last report logged before it.
  int64_t SharpSince(uint64_t since_ms) const;

 private:
  int reports_ = 0;
  double best_psnr_ = -1;
  PictureReport first_;
  PictureReport last_;
  // The sharp count of the reports, kept to answer SharpSince.
  struct Mark {
    uint64_t ms;
    int64_t sharp;
  };
  std::vector<Mark> marks_;
};

// The time of day of a log line that starts "YYYY-MM-DD HH:MM:SS.mmm", in ms
// since midnight; false when the line does not start so.
bool LogLineTime(const std::string& line, uint64_t* ms);
