#include "client/app/demo/demo_relay.h"

#include <cstdlib>

bool StartDemoRelay(const std::string& bin, const std::vector<std::string>& extra, vz::PipedChild* relay,
                    int32_t* port, std::string* why) {
  const std::string path = bin + "/vzrelay";
  std::vector<std::string> args = {"vzrelay", "--port", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  if (!relay->Start(path, args, {})) {
    *why = "cannot start " + path;
    return false;
  }
  std::string line;
  char c = 0;
  while (line.size() < 200 && relay->ReadExactly(&c, 1, 10000) && c != '\n') line.push_back(c);
  const std::string prefix = "vzrelay listening on 127.0.0.1:";
  if (line.compare(0, prefix.size(), prefix) != 0) {
    *why = "vzrelay said [" + line + "]";
    return false;
  }
  *port = std::atoi(line.c_str() + prefix.size());
  return true;
}
