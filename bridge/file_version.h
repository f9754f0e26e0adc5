#pragma once
// How the version of an installed program is read without running it: the
// install step writes "<program>.version" beside it, a text file holding
// "a.b.c.d" (four decimal numbers up to 65535; surrounding white space is
// allowed). The program's own version is compiled in from the same project
// version, so the two always agree.
#include <string>
#include <string_view>

#include "bridge/launcher_ports.h"

// The version text normalised to "%d.%d.%d.%d", or "" when it is not four
// numbers of 0 to 65535 separated by dots.
std::string ParseVersionText(std::string_view text);

// Reads "<program_path>.version"; "" when it is missing or malformed (logged).
class SidecarVersionSource : public IFileVersionSource {
 public:
  std::string FileVersion(const std::string& program_path) override;
};
