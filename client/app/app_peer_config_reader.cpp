#include "client/app/app_peer_config_reader.h"

#include <climits>
#include <cstring>
#include <string_view>

#include "client/app/command_line_text.h"
#include "common/trace_client.h"
#include "platform/process_stat.h"
#include "platform/text.h"

uint32_t GetParentProcessId(uint32_t pid) {
  if (pid == 0 || pid > static_cast<uint32_t>(INT_MAX)) return 0;
  vz::ProcessStat stat;
  // An ended process that is not yet reaped runs no more.
  if (!vz::ReadProcessStat(static_cast<int>(pid), &stat) || stat.state == 'Z' || stat.state == 'X') return 0;
  return static_cast<uint32_t>(stat.parent_pid);
}

int32_t WideToInt(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;  // saturated
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int32_t>(value);
}

namespace {

// The value of an option: the argument from the option's length on.
std::u16string_view ValueAt(std::u16string_view argument, std::u16string_view option) {
  return argument.size() > option.size() ? argument.substr(option.size()) : std::u16string_view();
}

template <size_t N>
void StoreText(char16_t (&field)[N], std::u16string_view value) {
  vz::CopyUtf16(field, N, value);
}

}  // namespace

int ReadAppPeerConfig(AppPeerConfig* config, const std::vector<std::u16string>& arguments,
                      const ParentProcessLookup& parent_of) {
  if (config == nullptr) return 0;
  std::memset(config, 0, sizeof(*config));
  if (arguments.empty()) return 0;
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::u16string_view argument = arguments[index];
    VZ_LOGW(u"arg [%d] arv [%s]", static_cast<int>(index), arguments[index].c_str());
    if (argument.find(u"/MEET:") != std::u16string_view::npos) StoreText(config->MeetId, ValueAt(argument, u"/MEET:"));
    if (argument.find(u"/ROSTER:") != std::u16string_view::npos) {
      StoreText(config->RosterId, ValueAt(argument, u"/ROSTER:"));
    }
    if (argument.find(u"/LAN:") != std::u16string_view::npos) StoreText(config->Language, ValueAt(argument, u"/LAN:"));
    if (argument.find(u"/PN:") != std::u16string_view::npos) StoreText(config->PipeName, ValueAt(argument, u"/PN:"));
    if (argument.find(u"/P:") != std::u16string_view::npos) {
      const int32_t pid = WideToInt(ValueAt(argument, u"/P:"));
      config->BrowserProcessId = pid > 0 && parent_of ? parent_of(static_cast<uint32_t>(pid)) : 0;
    }
    if (argument.find(u"/W:") != std::u16string_view::npos) {
      config->ContainerWindow = WideToInt(ValueAt(argument, u"/W:"));
    }
  }
  VZ_LOGW(u"ReadAppPeerConfig PipeName=%s", config->PipeName);
  return 1;
}

int ReadAppPeerConfig(AppPeerConfig* config, const char16_t* command_line, const ParentProcessLookup& parent_of) {
  if (config == nullptr) return 0;
  std::memset(config, 0, sizeof(*config));
  if (command_line == nullptr || command_line[0] == u'\0') return 0;
  return ReadAppPeerConfig(config, SplitCommandLine(command_line), parent_of);
}
