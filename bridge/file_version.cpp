#include "bridge/file_version.h"

#include <cstdio>

#include "common/trace_client.h"
#include "platform/file_system.h"

namespace {
constexpr size_t kMaxVersionFileBytes = 64;
}  // namespace

std::string ParseVersionText(std::string_view text) {
  auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  unsigned parts[4] = {0, 0, 0, 0};
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != '.') return std::string();
      ++at;
    }
    const size_t start = at;
    unsigned value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6) {
      value = value * 10 + static_cast<unsigned>(text[at] - '0');
      ++at;
    }
    if (at == start || value > 65535) return std::string();
    parts[i] = value;
  }
  if (at != text.size()) return std::string();
  char out[32];
  std::snprintf(out, sizeof(out), "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
  return out;
}

std::string SidecarVersionSource::FileVersion(const std::string& program_path) {
  if (program_path.empty() || !vz::FileExists(program_path)) return std::string();
  const std::string sidecar = program_path + ".version";
  std::string text;
  if (!vz::ReadFileBytes(sidecar, &text)) {
    VZ_LOG_ERROR("no version file %s", sidecar.c_str());
    return std::string();
  }
  // A version never needs more; a longer file is damaged, even when its
  // first bytes hold a version.
  const std::string version = text.size() > kMaxVersionFileBytes ? std::string() : ParseVersionText(text);
  if (version.empty()) VZ_LOG_ERROR("version file %s holds no version", sidecar.c_str());
  return version;
}
