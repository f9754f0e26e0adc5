#include "sharing/tools/web_attendee_command.h"

#include <charconv>
#include <limits>

#include "platform/text.h"

namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
    size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

bool Int(std::string_view text, int32_t* out) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return error == std::errc() && end == text.data() + text.size();
}

bool Colour(std::string_view text, uint32_t* out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out, base);
  return error == std::errc() && end == text.data() + text.size();
}

bool Point(std::string_view text, VzPoint* out) {
  const size_t comma = text.find(',');
  return comma != std::string_view::npos && Int(text.substr(0, comma), &out->x) && Int(text.substr(comma + 1), &out->y);
}

void Ids(std::u16string_view me, std::u16string_view presenter, DSCommandRecord* record) {
  vz::CopyUtf16(record->SrcRosterId, 128, me.substr(0, 127));
  vz::CopyUtf16(record->DstRosterId, 128, presenter.substr(0, 127));
}

bool Refuse(std::string* why, std::string text) {
  *why = std::move(text);
  return false;
}

}  // namespace

bool ParseWebAttendeeCommand(std::string_view line, std::u16string_view me, std::u16string_view presenter,
                             WebAttendeeCommand* out, std::string* why) {
  *out = WebAttendeeCommand{};
  const std::vector<std::string_view> words = Words(line);
  if (words.empty()) return Refuse(why, "an empty line");
  const std::string_view verb = words[0];
  DSCommandRecord& record = out->record;
  Ids(me, presenter, &record);
  if (verb == "quit" && words.size() == 1) {
    out->quit = true;
    return true;
  }
  if ((verb == "request-control" || verb == "release-control") && words.size() == 1) {
    record.Type = verb == "request-control" ? DSCommandRequestControl : DSCommandReleaseControl;
    return true;
  }
  if (verb == "click") {
    if (words.size() != 4 || !Int(words[1], &record.MouseMonitorId) || !Int(words[2], &record.MouseX) ||
        !Int(words[3], &record.MouseY)) {
      return Refuse(why, "click wants <monitor> <x> <y>");
    }
    record.Type = kRemoteInputCommand;
    record.MouseType = kRemoteLeftClick;
    return true;
  }
  if (verb == "annotate") {
    if (words.size() < 6) return Refuse(why, "annotate wants <type> <monitor> <colour> <weight> and points");
    if (!Int(words[1], &record.AnnotationType) || record.AnnotationType <= 0) {
      return Refuse(why, "the annotation type is not a positive number");
    }
    if (!Int(words[2], &record.AnnotationMonitorId)) return Refuse(why, "the monitor is not a number");
    if (!Colour(words[3], &record.AnnotationColor)) return Refuse(why, "the colour is not a 32-bit number");
    if (!Int(words[4], &record.AnnotationWeight) || record.AnnotationWeight < 0) {
      return Refuse(why, "the weight is not a number of at least 0");
    }
    if (words.size() - 5 > kMaxScriptPoints) return Refuse(why, "more points than the script allows");
    out->points.resize(words.size() - 5);
    for (size_t i = 5; i < words.size(); ++i) {
      if (!Point(words[i], &out->points[i - 5])) return Refuse(why, "a point is not <x>,<y>");
    }
    record.Type = DSCommandAnnotation;
    return true;
  }
  return Refuse(why, "an unknown command");
}
