#include "client/app/command_line_text.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::u16string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == u'\\') {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == u'\\') {
          ++backslashes;
          ++i;
        }
        if (i < line.size() && line[i] == u'"') {
          argument.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            argument.push_back(u'"');
            ++i;
          }
          // An even count leaves the quote to toggle quoting below.
        } else {
          argument.append(backslashes, u'\\');
        }
        continue;
      }
      if (line[i] == u'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument.push_back(u'"');
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      argument.push_back(line[i]);
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& arguments) {
  std::u16string line;
  for (const std::u16string& argument : arguments) {
    if (!line.empty()) line.push_back(u' ');
    const bool needs_quotes =
        argument.empty() || argument.find_first_of(u" \t\"") != std::u16string::npos;
    if (!needs_quotes) {
      line += argument;
      continue;
    }
    line.push_back(u'"');
    size_t backslashes = 0;
    for (char16_t c : argument) {
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled, and the quote escaped.
      line.append(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
      backslashes = 0;
      line.push_back(c);
    }
    // ...and so are those before the closing quote.
    line.append(backslashes * 2, u'\\');
    line.push_back(u'"');
  }
  return line;
}
