// Turns the compiler's __PRETTY_FUNCTION__ text into the "Class::Method" name
// that starts every log line: the return type, specifiers, parameter lists and
// template notes are dropped; anonymous namespaces vanish; a lambda reads
// "Enclosing::Function::<lambda>". Both GCC's and Clang's spellings are handled.
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "common/trace_client.h"

namespace {

constexpr size_t kNameCapacity = 512;

bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool IsOperatorChar(char c) { return std::strchr("+-*/%^&|~!=<>,", c) != nullptr && c != '\0'; }

// The index just past the group that opens at `open` (with `open_char`) and
// closes with `close_char`, counting nesting; n when it never closes.
size_t SkipGroup(std::string_view s, size_t open, char open_char, char close_char) {
  int depth = 0;
  for (size_t i = open; i < s.size(); ++i) {
    if (s[i] == open_char) ++depth;
    if (s[i] == close_char && --depth == 0) return i + 1;
  }
  return s.size();
}

// A template argument group; parentheses inside it (a lambda's parameters,
// an expression) may hold '<' or '>' that do not count.
size_t SkipAngles(std::string_view s, size_t open) {
  int angles = 0;
  int parens = 0;
  for (size_t i = open; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '(') ++parens;
    if (c == ')') --parens;
    if (parens > 0) continue;
    if (c == '<') ++angles;
    if (c == '>' && --angles == 0) return i + 1;
  }
  return s.size();
}

// `at` points at the keyword "operator"; returns the index past the whole
// operator name ("operator()", "operator<<", "operator bool", "operator new []").
size_t SkipOperatorName(std::string_view s, size_t at) {
  size_t i = at + 8;
  if (s.substr(i, 2) == "()" || s.substr(i, 2) == "[]") return i + 2;
  if (i < s.size() && IsOperatorChar(s[i])) {
    while (i < s.size() && IsOperatorChar(s[i])) ++i;
    return i;
  }
  // A conversion operator or new/delete: a type up to the parameter list.
  int angles = 0;
  while (i < s.size() && !(s[i] == '(' && angles == 0)) {
    if (s[i] == '<') ++angles;
    if (s[i] == '>') --angles;
    ++i;
  }
  while (i > at + 8 && s[i - 1] == ' ') --i;
  return i;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The index past " const", " volatile", " &", " &&" and " noexcept" after a
// parameter list.
size_t SkipFunctionQualifiers(std::string_view s, size_t i) {
  for (;;) {
    bool skipped = false;
    for (std::string_view qualifier : {" const", " volatile", " noexcept", " &&", " &"}) {
      const std::string_view rest = s.substr(i);
      if (StartsWith(rest, qualifier) &&
          (rest.size() == qualifier.size() || !IsIdentifierChar(rest[qualifier.size()]))) {
        i += qualifier.size();
        skipped = true;
        break;
      }
    }
    if (!skipped) return i;
  }
}

void SkipScopeSeparator(std::string_view s, size_t* i) {
  if (s.substr(*i, 2) == "::") *i += 2;
}

std::string ExtractName(std::string_view s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == ' ') {
      // GCC's and Clang's template notes (" [with T = int]") end the name.
      if (i + 1 < s.size() && s[i + 1] == '[') break;
      out.clear();  // What came before was the return type or a specifier.
      ++i;
      continue;
    }
    if (c == 'o' && StartsWith(s.substr(i), "operator") && (i == 0 || !IsIdentifierChar(s[i - 1])) &&
        (i + 8 >= s.size() || !IsIdentifierChar(s[i + 8]))) {
      const size_t end = SkipOperatorName(s, i);
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    if (c == '<') {
      const size_t end = SkipAngles(s, i);
      const std::string_view group = s.substr(i, end - i);
      out.append(StartsWith(group, "<lambda") ? std::string_view("<lambda>") : group);
      i = end;
      continue;
    }
    if (c == '{') {
      const size_t end = SkipGroup(s, i, '{', '}');
      const std::string_view group = s.substr(i, end - i);
      i = end;
      if (group == "{anonymous}") {
        SkipScopeSeparator(s, &i);
      } else {
        out.append(group);
      }
      continue;
    }
    if (c == '(') {
      const size_t end = SkipGroup(s, i, '(', ')');
      const std::string_view group = s.substr(i, end - i);
      const bool names_a_scope = out.empty() || out.back() == ':';
      i = end;
      if (!names_a_scope) {
        // A parameter list: an enclosing function's when a scope follows it
        // (GCC keeps its qualifiers: "F() const::<lambda()>").
        const size_t after = SkipFunctionQualifiers(s, i);
        if (s.substr(after, 2) == "::") {
          out.append("::");
          i = after + 2;
          continue;
        }
        break;
      }
      if (group == "(anonymous namespace)") {
        SkipScopeSeparator(s, &i);
      } else if (StartsWith(group, "(lambda") || group == "(anonymous class)") {
        // Clang's lambda closures (older versions say "(anonymous class)").
        out.append("<lambda>");
      } else if (StartsWith(group, "(*") || StartsWith(group, "(&")) {
        // A function returning a function pointer: "void (*Name(int))(char)".
        return ExtractName(group.substr(2, group.size() - 3));
      } else {
        out.append(group);
      }
      continue;
    }
    out.push_back(c);
    ++i;
  }
  // Clang calls a lambda "(lambda at file:line:col)::operator()".
  constexpr std::string_view kLambdaCall = "<lambda>::operator()";
  if (out.size() >= kLambdaCall.size() && out.compare(out.size() - kLambdaCall.size(), kLambdaCall.size(), kLambdaCall) == 0) {
    out.resize(out.size() - kLambdaCall.size() + 8);
  }
  const size_t first = out.find_first_not_of("*& ");
  out.erase(0, first == std::string::npos ? out.size() : first);
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "::") == 0) out.resize(out.size() - 2);
  return out;
}

}  // namespace

namespace vz {

const char* QualifiedFunctionName(const char* pretty_function) {
  thread_local char buffer[kNameCapacity];
  buffer[0] = '\0';
  if (!pretty_function) return buffer;
  const std::string name = ExtractName(pretty_function);
  const size_t length = name.size() < kNameCapacity - 1 ? name.size() : kNameCapacity - 1;
  std::memcpy(buffer, name.data(), length);
  buffer[length] = '\0';
  return buffer;
}

}  // namespace vz
