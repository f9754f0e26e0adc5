#include "bridge/command_line_split.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view text) {
  std::vector<std::string> args;
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (at >= text.size()) return args;

  // The program name.
  std::string program;
  if (text[at] == '"') {
    ++at;
    while (at < text.size() && text[at] != '"') program.push_back(text[at++]);
    if (at < text.size()) ++at;  // the closing quote
  }
  while (at < text.size() && !IsBlank(text[at])) program.push_back(text[at++]);
  args.push_back(std::move(program));

  for (;;) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at >= text.size()) break;
    std::string arg;
    bool quoted = false;
    while (at < text.size() && (quoted || !IsBlank(text[at]))) {
      if (text[at] == '\\') {
        size_t backslashes = 0;
        while (at < text.size() && text[at] == '\\') {
          ++backslashes;
          ++at;
        }
        if (at < text.size() && text[at] == '"') {
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg.push_back('"');
            ++at;
          }
        } else {
          arg.append(backslashes, '\\');
        }
      } else if (text[at] == '"') {
        if (quoted && at + 1 < text.size() && text[at + 1] == '"') {
          arg.push_back('"');
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
      } else {
        arg.push_back(text[at++]);
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}
