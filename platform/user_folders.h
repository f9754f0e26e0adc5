#pragma once
// Per-user folders. Each is created on first use with mode 0700. A folder
// that cannot be made private to this user (it belongs to another user, or the
// runtime folder is a symbolic link) gives "" and a log line.
#include <string>

namespace vz {

// Where Windows would use the temporary folder: $XDG_RUNTIME_DIR/velzar,
// else /tmp/velzar-<uid>. No trailing slash.
std::string RuntimeFolder();
// Stored settings: $XDG_CONFIG_HOME/velzar, else $HOME/.config/velzar.
std::string ConfigFolder();
// Where ConfigFolder() is, without making it: a reader that finds no folder
// finds no settings, and a program that only reads (or only prints its help)
// leaves the user's folders as they were. "" without a home folder.
std::string ConfigFolderPath();
// Installed programs and downloads: $XDG_DATA_HOME/velzar, else $HOME/.local/share/velzar.
std::string DataFolder();

// Creates a folder (and its parents) with mode 0700; true when it exists afterwards.
bool EnsurePrivateFolder(const std::string& path);

}  // namespace vz
