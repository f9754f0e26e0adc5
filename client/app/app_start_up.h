#pragma once
// The client's entry: logs its version and command line, runs one of the
// one-shot modes ("/INSTALL:", then "/UTF8:"), hands the command line to a
// waiting instance or stops on an empty one, and otherwise reads the
// command line into AppPeerConfig, sets the language of the resource bundle,
// tells the log writer the meeting, and runs the main frame.
//
// Runs on the program's main thread, which becomes the UI thread.
#include <functional>
#include <string>
#include <vector>

#include "client/app/app_peer_config_reader.h"
#include "client/app/hand_off_file.h"
#include "client/app/install_application.h"
#include "contracts/app_peer_config.h"

// The application name the log writer is given (it names crash files).
inline constexpr char kTracerAppName[] = "app";

struct StartUpPorts {
  const char* version = nullptr;  // null: unknown
  HandOffFile hand_off{std::string()};
  InstallerPorts installer;
  ParentProcessLookup parent_of = GetParentProcessId;
  // Runs the main frame for the record until it quits (never null).
  std::function<int(AppPeerConfig*)> run;
};
// The version, hand-off file, installer, process table and frame of the program.
StartUpPorts SystemStartUpPorts();

// `arguments` are the program's arguments without its own path. Returns 0
// in every case (as the process's exit code).
int VelzarHubMain(const std::vector<std::string>& arguments, const StartUpPorts& ports);
