#pragma once
// vzrelay, the local meeting server of the demonstrations, on a free
// loopback port. The process ends (and is reaped) with the PipedChild.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/piped_child_testlib.h"

// Starts `bin`/vzrelay with `extra` arguments after "--port 0" and reads
// the port from its first line (within 10 s). False with `why` when it did
// not start or said something else.
bool StartDemoRelay(const std::string& bin, const std::vector<std::string>& extra, vz::PipedChild* relay,
                    int32_t* port, std::string* why);
