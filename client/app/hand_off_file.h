#pragma once
// The hand-off file "appruntime.plist": how a start of the client hands its
// command line to an instance that is already waiting for a meeting.
//
// The file lies in the per-user runtime folder (mode 0700), so no other
// user can plant it or read the command lines, which hold the pipe name and
// the meeting id. It holds one line of UTF-8 text, no byte-order mark, no
// line break. No deliverable creates it empty: a hand-off only happens when
// an empty file is already present.
#include <cstddef>
#include <string>
#include <string_view>
#include <optional>

#include "client/app/app_peer_config_reader.h"
#include "contracts/app_peer_config.h"

inline constexpr char kHandOffFileName[] = "appruntime.plist";
// The longest hand-off line read, in UTF-16 units; longer lines are cut.
inline constexpr size_t kMaxHandOffLine = 1023;

class HandOffFile {
 public:
  // The file at `path`; an empty path stands for no usable folder, and then
  // nothing is ever handed off or taken.
  explicit HandOffFile(std::string path) : path_(std::move(path)) {}
  // RuntimeFolder()/appruntime.plist.
  static HandOffFile Default();

  const std::string& GetHandOffFilePathForTesting() const { return path_; }

  // The file's first line, cut at kMaxHandOffLine units; nothing when the
  // file cannot be read (it does not exist).
  std::optional<std::u16string> ReadHandOffLine() const;
  // Replaces the file's content with the line. True when written.
  bool WriteHandOffCommandLine(std::u16string_view line) const;
  void DeleteHandOffFile() const;

  // Sending side. True when this start must stop: the command line is
  // empty, or it was written into an empty hand-off file for the waiting
  // instance. A missing file, or one that already holds a line, means a
  // normal start (false).
  bool HandOffCommandLine(std::u16string_view command_line) const;

  // Waiting side. Zero-fills the record; when the file holds a line, deletes
  // the file, parses the line into the record and returns 1; otherwise 0.
  int ReadAppPeerConfigFromHandOff(AppPeerConfig* config,
                                   const ParentProcessLookup& parent_of = GetParentProcessId) const;

 private:
  std::string path_;
};
