#include "platform/pipe_name.h"

#include <sys/un.h>

#include <utility>

#include "platform/platform_log.h"
#include "platform/user_folders.h"

namespace vz {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithPrefix(std::string_view name) {
  if (name.size() < kPipeNamePrefix.size()) return false;
  for (size_t i = 0; i < kPipeNamePrefix.size(); ++i) {
    if (LowerAscii(name[i]) != kPipeNamePrefix[i]) return false;
  }
  return true;
}

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

// The name as a log line may show it: no control bytes that would break it.
std::string Printable(std::string_view name) {
  std::string shown(name.substr(0, 200));
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return shown;
}

}  // namespace

bool PipeNameToSocketPath(std::string_view pipe_name, std::string* socket_path) {
  if (!StartsWithPrefix(pipe_name)) {
    PlatformLog("PipeNameToSocketPath: \"%s\" is not a pipe name", Printable(pipe_name).c_str());
    return false;
  }
  const std::string_view name = pipe_name.substr(kPipeNamePrefix.size());
  bool valid = !name.empty() && name.size() <= kPipeNameMaxLength && name.front() != '.';
  for (char c : name) valid = valid && IsNameCharacter(c);
  if (!valid) {
    PlatformLog("PipeNameToSocketPath: unsafe pipe name \"%s\"", Printable(pipe_name).c_str());
    return false;
  }

  const std::string folder = RuntimeFolder();
  if (folder.empty()) {
    PlatformLog("PipeNameToSocketPath: no per-user folder for the pipe");
    return false;
  }
  std::string path = folder;
  path += '/';
  for (char c : name) path += LowerAscii(c);
  path += ".sock";
  if (path.size() >= sizeof(sockaddr_un{}.sun_path)) {
    PlatformLog("PipeNameToSocketPath: socket path %s is too long", path.c_str());
    return false;
  }
  *socket_path = std::move(path);
  return true;
}

bool PipeNameToSocketPath(std::u16string_view pipe_name, std::string* socket_path) {
  // Every accepted character is ASCII; a wider one becomes '?', which the
  // narrow check refuses (and shows in its log line).
  std::string narrow;
  narrow.reserve(pipe_name.size());
  for (char16_t c : pipe_name) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return PipeNameToSocketPath(std::string_view(narrow), socket_path);
}

}  // namespace vz
