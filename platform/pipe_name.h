#pragma once
// Where a pipe lives. The pipe's name is the Windows form that vzbridge puts
// on VelzarHub's command line, "\\.\pipe\<name>"; both ends map it through
// this one helper to a Unix-domain socket in the per-user folder:
// "<RuntimeFolder()>/<name>.sock".
//
// <name> is 1 to 64 ASCII letters, digits, '-', '_' or '.', not starting with
// '.'; anything else (path separators, "..", spaces, control or non-ASCII
// characters, an empty name, a wrong prefix) is refused. Pipe names are
// case-insensitive, as on Windows: the prefix matches in any case and <name>
// is lower-cased, so both ends find the same socket.
#include <string>
#include <string_view>

namespace vz {

inline constexpr std::string_view kPipeNamePrefix = "\\\\.\\pipe\\";
inline constexpr size_t kPipeNameMaxLength = 64;

// False, with a platform log line, when the name is refused, the per-user
// folder cannot be made, or the path is too long for a socket address.
bool PipeNameToSocketPath(std::string_view pipe_name, std::string* socket_path);
// The same for the wide (UTF-16) form that the command-line record holds.
bool PipeNameToSocketPath(std::u16string_view pipe_name, std::string* socket_path);

}  // namespace vz
