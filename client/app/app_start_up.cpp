#include "client/app/app_start_up.h"

#include <string_view>

#include "client/app/app_run.h"
#include "client/app/application_version.h"
#include "client/app/command_line_text.h"
#include "client/app/convert_file_to_utf8.h"
#include "client/app/language_table.h"
#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"

StartUpPorts SystemStartUpPorts() {
  StartUpPorts ports;
  ports.version = getApplicationVersion();
  ports.hand_off = HandOffFile::Default();
  ports.installer = SystemInstallerPorts();
  ports.run = [](AppPeerConfig* config) { return Run(config); };
  return ports;
}

namespace {

// The arguments joined by single blanks: the text that the one-shot modes
// search, and whose rest after the option is their path.
std::string JoinedCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line.push_back(' ');
    line += argument;
  }
  return line;
}

// The rest of the line after `option`, when the line holds it.
bool RestAfter(const std::string& line, std::string_view option, std::string* rest) {
  const size_t at = line.find(option);
  if (at == std::string::npos) return false;
  *rest = line.substr(at + option.size());
  return true;
}

}  // namespace

int VelzarHubMain(const std::vector<std::string>& arguments, const StartUpPorts& ports) {
  VZ_LOG("Application version [%s]", ports.version ? ports.version : "NONE");
  const std::string joined = JoinedCommandLine(arguments);
  VZ_LOGW(u"cmd line [%s]", vz::Utf8ToUtf16(joined).c_str());
  TraceSetAppInfo(kTracerAppName, ports.version);

  std::string path;
  if (RestAfter(joined, "/INSTALL:", &path)) {
    InstallApplication(path, ports.installer);
    return 0;
  }
  if (RestAfter(joined, "/UTF8:", &path)) {
    ConvertFileToUtf8(path);
    return 0;
  }

  std::vector<std::u16string> wide;
  for (const std::string& argument : arguments) wide.push_back(vz::Utf8ToUtf16(argument));
  if (arguments.empty() || ports.hand_off.HandOffCommandLine(JoinCommandLine(wide))) {
    VZ_LOG_ERROR("App is running at debug time.");
    return 0;
  }

  // Every dialog description, string and image comes from the bundle; a
  // missing one is noticed where it is used.
  vzres::LoadResourceLibrary("vzres.dll");
  AppPeerConfig config;
  ReadAppPeerConfig(&config, wide, ports.parent_of);
  vzres::SetResourceLanguage(LanguageIdForText(config.Language));
  TraceSetMeetInfo(WideToNarrow(config.MeetId).c_str(), WideToNarrow(config.RosterId).c_str());
  return ports.run ? ports.run(&config) : 0;
}
