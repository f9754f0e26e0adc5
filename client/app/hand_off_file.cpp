#include "client/app/hand_off_file.h"

#include <cstring>

#include "common/trace_client.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "platform/user_folders.h"

HandOffFile HandOffFile::Default() {
  const std::string folder = vz::RuntimeFolder();
  return HandOffFile(folder.empty() ? std::string() : vz::JoinPath(folder, kHandOffFileName));
}

std::optional<std::u16string> HandOffFile::ReadHandOffLine() const {
  std::string bytes;
  if (path_.empty() || !vz::ReadFileBytes(path_, &bytes)) return std::nullopt;
  const size_t end = bytes.find('\n');
  if (end != std::string::npos) bytes.resize(end);
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  std::u16string line = vz::Utf8ToUtf16(bytes);
  if (line.size() > kMaxHandOffLine) {
    line.resize(kMaxHandOffLine);
    // Never half a surrogate pair.
    if (line.back() >= 0xD800 && line.back() <= 0xDBFF) line.pop_back();
  }
  return line;
}

bool HandOffFile::WriteHandOffCommandLine(std::u16string_view line) const {
  if (path_.empty()) return false;
  return vz::WriteFileAtomic(path_, vz::Utf16ToUtf8(line), 0600);
}

void HandOffFile::DeleteHandOffFile() const {
  if (!path_.empty()) vz::RemoveFile(path_);
}

bool HandOffFile::HandOffCommandLine(std::u16string_view command_line) const {
  if (command_line.empty()) return true;
  const std::optional<std::u16string> present = ReadHandOffLine();
  if (!present) return false;               // no waiting instance
  if (!present->empty()) return false;      // an earlier start left its line: start normally
  if (!WriteHandOffCommandLine(command_line)) {
    VZ_LOG_ERROR("can't write the hand-off file [%s]", path_.c_str());
    return false;
  }
  VZ_LOG("command line handed off through [%s]", path_.c_str());
  return true;
}

int HandOffFile::ReadAppPeerConfigFromHandOff(AppPeerConfig* config, const ParentProcessLookup& parent_of) const {
  if (config == nullptr) return 0;
  std::memset(config, 0, sizeof(*config));
  const std::optional<std::u16string> line = ReadHandOffLine();
  if (!line || line->empty()) return 0;
  DeleteHandOffFile();
  VZ_LOGW(u"hand-off line [%s]", line->c_str());
  ReadAppPeerConfig(config, line->c_str(), parent_of);
  return 1;
}
