#include "outside/vzaudio/audio_script.h"

#include <charconv>

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool ParseInt(std::string_view text, int32_t* value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseUnsigned(std::string_view text, uint32_t* value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParsePair(std::string_view text, std::pair<int32_t, int32_t>* pair) {
  const auto parts = Split(text, ',');
  return parts.size() == 2 && ParseInt(parts[0], &pair->first) && ParseInt(parts[1], &pair->second);
}

}  // namespace

bool ParseAudioScript(std::string_view text, AudioScript* script, std::string* error) {
  AudioScript parsed;
  for (std::string_view item : Split(text, ';')) {
    if (item.empty()) continue;
    const size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      *error = "item without '=': " + std::string(item);
      return false;
    }
    const std::string_view key = item.substr(0, equals);
    const std::string_view value = item.substr(equals + 1);
    auto bad = [&] {
      *error = "bad value of " + std::string(key) + ": " + std::string(value);
      return false;
    };
    if (key == "join") {
      if (value != "0" && value != "1") return bad();
      parsed.join_accepted = value == "1";
    } else if (key == "error") {
      std::pair<int32_t, int32_t> pair;
      if (!ParsePair(value, &pair)) return bad();
      parsed.join_error = pair;
    } else if (key == "levels") {
      std::pair<int32_t, int32_t> pair;
      if (!ParsePair(value, &pair)) return bad();
      parsed.levels = pair;
    } else if (key == "mic") {
      int32_t status = 0;
      if (!ParseInt(value, &status)) return bad();
      parsed.mic_status = status;
    } else if (key == "speakers") {
      const auto entries = Split(value, ',');
      if (entries.size() > kMaxAudioScriptListEntries) return bad();
      parsed.speakers.clear();
      for (std::string_view entry : entries) {
        ACSpeakerEntry speaker{};
        if (!ParseUnsigned(entry, &speaker.Speaker)) return bad();
        parsed.speakers.push_back(speaker);
      }
    } else if (key == "networks") {
      const auto entries = Split(value, ',');
      if (entries.size() > kMaxAudioScriptListEntries) return bad();
      parsed.networks.clear();
      for (std::string_view entry : entries) {
        const auto fields = Split(entry, ':');
        ACRosterNetworkEntry network{};
        if (fields.size() != 5 || !ParseUnsigned(fields[0], &network.Ssrc) ||
            !ParseUnsigned(fields[1], &network.LossRate) || !ParseUnsigned(fields[2], &network.Latency) ||
            !ParseUnsigned(fields[3], &network.Jitter) || !ParseUnsigned(fields[4], &network.Quality)) {
          return bad();
        }
        parsed.networks.push_back(network);
      }
    } else {
      *error = "unknown item: " + std::string(key);
      return false;
    }
  }
  *script = std::move(parsed);
  return true;
}
