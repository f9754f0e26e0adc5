#include "weblink/link/report_envelope.h"

#include "common/string_helpers.h"
#include "weblink/json/json_builders.h"

namespace {

std::string_view ActionOpener(ReportFamily family) {
  switch (family) {
    case ReportFamily::kSharing: return "\"action\":{\"ds_conf\":{";
    case ReportFamily::kAudio: return "\"action\":{\"ac_conf\":{";
    case ReportFamily::kVideo: return "\"action\":{\"av_conf\":{";
  }
  return {};
}

// Pieces 8 to 12: the action opener, "conf_id", the members and the closers.
void AppendAction(std::string& out, ReportFamily family, const char16_t* conf_id, std::string_view members) {
  out += ActionOpener(family);
  out += JsonMakeStringPair("conf_id", WideToNarrow(conf_id));
  out += members;
  out += "}}}";
}

}  // namespace

std::string MakeReport(std::string_view type, ReportFamily family, const char16_t* conf_id,
                       std::string_view members) {
  std::string out = "{";
  out += JsonMakeNumberPair("code", 0);
  out += ',';
  out += JsonMakeNumberPair("codetype", 0);
  out += ',';
  out += JsonMakeStringPair("type", type);
  out += ',';
  AppendAction(out, family, conf_id, members);
  return out;
}

std::string MakeErrorReport(std::string_view type, int32_t code, int32_t code_type, ReportFamily family,
                            const char16_t* conf_id, std::string_view members) {
  std::string out = "{";
  out += JsonMakeStringPair("type", type);
  out += ',';
  out += JsonMakeNumberPair("code", code);
  out += ',';
  out += JsonMakeNumberPair("codetype", code_type);
  out += ',';
  AppendAction(out, family, conf_id, members);
  return out;
}

std::string ReportNumberMember(std::string_view key, int32_t value) {
  return "," + JsonMakeNumberPair(key, value);
}

std::string ReportTextMember(std::string_view key, const char16_t* value) {
  return "," + JsonMakeStringPair(key, WideToNarrow(value));
}
