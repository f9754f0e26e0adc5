#pragma once
// The client's command line read into AppPeerConfig, with the quirks the
// launcher's command line has always been read with:
// - each option ("/MEET:", "/ROSTER:", "/LAN:", "/PN:", "/P:", "/W:") is
//   found anywhere in an argument, and every option found is taken, so one
//   argument can set several fields;
// - the value is always taken from a fixed position counted from the
//   argument's start (the option's length), not from where it was found;
// - text values are cut to their field (127 units, 31 for the language);
// - "/P:" stores the parent of the process whose id follows (vzbridge passes
//   its own id, so this is the browser), 0 when no such process runs;
//   "/W:" stores the number itself; both read numbers as _wtoi does;
// - a later argument that sets a field again overwrites it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/app_peer_config.h"

// The parent process id of a process, 0 when there is no such process.
using ParentProcessLookup = std::function<uint32_t(uint32_t pid)>;
uint32_t GetParentProcessId(uint32_t pid);

// Zero-fills the record (when it is not null) and reads the arguments into
// it. 1 when parsed; 0 for a null record or no arguments.
int ReadAppPeerConfig(AppPeerConfig* config, const std::vector<std::u16string>& arguments,
                      const ParentProcessLookup& parent_of = GetParentProcessId);
// The same for a command-line text (the hand-off line), split first; 0 for
// a null or empty text.
int ReadAppPeerConfig(AppPeerConfig* config, const char16_t* command_line,
                      const ParentProcessLookup& parent_of = GetParentProcessId);

// _wtoi: leading blanks, an optional sign, then decimal digits up to the
// first other character; 0 without digits; clamped to the int32 range.
int32_t WideToInt(std::u16string_view text);
