// VelzarHub: the meeting client that vzbridge starts for a meeting.
#include <cstdio>
#include <string>
#include <vector>

#include "client/app/app_start_up.h"

namespace {

constexpr char kUsage[] =
    "usage: VelzarHub /P:<browser process id> /W:<window> [/LAN:<language>] /PN:<pipe name> /MEET:<meeting id>\n"
    "                 /ROSTER:<roster id>\n"
    "       VelzarHub /INSTALL:<upgrade package>\n"
    "       VelzarHub /UTF8:<file>\n"
    "VelzarHub is started by vzbridge, the browser's native-messaging host, for a meeting; a second start\n"
    "hands its command line to the running one. Its logs go to $XDG_RUNTIME_DIR/velzar.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  // The program's own switches are "/NAME:value"; only the first argument is
  // checked, as a value with blanks spreads over the arguments after it.
  if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!arguments.empty() && arguments[0].size() > 1 && arguments[0][0] == '-') {
    std::fprintf(stderr, "VelzarHub: unknown option \"%s\"\n%s", arguments[0].c_str(), kUsage);
    return 2;
  }
  return VelzarHubMain(arguments, SystemStartUpPorts());
}
