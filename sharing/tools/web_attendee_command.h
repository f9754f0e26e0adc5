#pragma once
// The web attendee stand-in's script: one text line per command that a
// browser attendee's page would have the server send the presenter, turned
// into a command record (zero-filled, sender and addressee set).
//
//   annotate <type> <monitor> <colour> <weight> <x>,<y> [<x>,<y> ...]
//   request-control | release-control
//   click <monitor> <x> <y>          a left click (held briefly)
//   quit
//
// Numbers are decimal, the colour also 0x-hex (0xAABBGGRR). Points are
// monitor-relative device pixels. Anything else, a number out of range or
// more than kMaxScriptPoints points is refused with a reason; nothing read
// sets a size that is allocated unchecked.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/capture_records.h"
#include "contracts/ds_command_record.h"

inline constexpr size_t kMaxScriptPoints = 1024;
// The command type that carries remote input: any type the commands above
// do not name does; this one is what the stand-in sends.
inline constexpr int32_t kRemoteInputCommand = 40;
// The mouse event of a left click whose button is held a moment.
inline constexpr int32_t kRemoteLeftClick = 20;

struct WebAttendeeCommand {
  bool quit = false;
  DSCommandRecord record{};
  std::vector<VzPoint> points;

  // The record with its points bound to `points` (valid while this lives
  // and `points` is unchanged).
  const DSCommandRecord* Bound() {
    record.PointCount = static_cast<uint32_t>(points.size());
    record.Points = points.empty() ? nullptr : points.data();
    return &record;
  }
};

// False, with why, for a line that is not a command. `me` and `presenter`
// are the roster ids of sender and addressee (at most 127 units are kept).
bool ParseWebAttendeeCommand(std::string_view line, std::u16string_view me, std::u16string_view presenter,
                             WebAttendeeCommand* out, std::string* why);
