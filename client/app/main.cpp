// VelzarHub: the meeting client that vzbridge starts for a meeting.
#include <string>
#include <vector>

#include "client/app/app_start_up.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return VelzarHubMain(arguments, SystemStartUpPorts());
}
