#include <cstdlib>
#include <limits>
#include <string>

#include "common/trace_client.h"
#include "weblink/json/json_lookup.h"
#include "weblink/records/record_builders.h"

uint32_t convertHexStringToColorValue(std::string_view text) {
  const std::string owned(text);
  if (owned.size() < 4) {
    VZ_LOG_ERROR("%s not a hex number", owned.c_str());
    return 0;
  }
  const char* digits = owned.c_str() + 1;
  char* stop = nullptr;
  long long wide = std::strtoll(digits, &stop, 16);
  if (stop == digits || *stop != '\0') {
    VZ_LOG_ERROR("%s not a hex number", owned.c_str());
    return 0;
  }
  // Read as a 32-bit long, as the 32-bit build read it: values beyond its
  // range clamp to its limits, so "#ff0084ff" reads as 0x7FFFFFFF.
  if (wide > std::numeric_limits<int32_t>::max()) wide = std::numeric_limits<int32_t>::max();
  if (wide < std::numeric_limits<int32_t>::min()) wide = std::numeric_limits<int32_t>::min();
  const auto rgb = static_cast<uint32_t>(static_cast<int32_t>(wide));
  const uint32_t red = (rgb >> 16) & 0xFF;
  const uint32_t green = (rgb >> 8) & 0xFF;
  const uint32_t blue = rgb & 0xFF;
  return 0xFF000000u | (blue << 16) | (green << 8) | red;
}

namespace {

// A flag that turns a feature off when true; any other value leaves it on.
void ReadWithoutFlag(const JsonMembers& conf, const char* key, int32_t* enabled) {
  if (JsonHasKey(conf, key)) *enabled = JsonGetBool(conf, key) ? 0 : 1;
}

void ReadWithFlag(const JsonMembers& conf, const char* key, int32_t* enabled) {
  if (JsonHasKey(conf, key)) *enabled = JsonGetBool(conf, key) ? 1 : 0;
}

void ReadColour(const JsonMembers& conf, const char* key, uint32_t* colour) {
  if (JsonHasKey(conf, key)) *colour = convertHexStringToColorValue(JsonGetString(conf, key));
}

}  // namespace

void ParseMeetConfig(const JsonMembers& conf, MeetConfig* config) {
  *config = kDefaultMeetConfig;

  ReadWithoutFlag(conf, "MEET_WITHOUT_META_INFO", &config->MetaInfoEnabled);
  ReadWithoutFlag(conf, "MEET_WITHOUT_AUDIO", &config->AudioEnabled);
  ReadWithoutFlag(conf, "MEET_WITHOUT_VIDEO", &config->VideoEnabled);
  if (JsonHasKey(conf, "MEET_VIDEO_QUALITY")) config->VideoQuality = JsonGetNumber(conf, "MEET_VIDEO_QUALITY");
  ReadWithFlag(conf, "MEET_VIDEO_TOOLBAR", &config->VideoToolbar);
  ReadWithoutFlag(conf, "MEET_WITHOUT_SHARING", &config->SharingEnabled);
  ReadWithoutFlag(conf, "MEET_WITHOUT_REMOTECONTROL", &config->RemoteControlEnabled);
  ReadColour(conf, "Web_Meet_Header_BgColor", &config->HeaderBgColor);
  ReadColour(conf, "Web_Meet_Header_Text_Color", &config->HeaderTextColor);
  ReadWithFlag(conf, "Show_Powered_By_Velzar", &config->ShowPoweredBy);
}
