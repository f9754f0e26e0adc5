// Feeds arbitrary bytes to the parser. Whatever parses must hold only valid
// nodes, and every string it yields must survive the pair builder and parse
// back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "weblink/json/json_builders.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

void CheckString(const std::string& text) {
  std::string object = "{";
  object += JsonMakeStringPair(text, text);
  object += '}';
  auto again = JsonParse(object.c_str());
  if (!again || again->members.size() != 1 || JsonGetString(again->members, text) != text) std::abort();
}

void Walk(const JsonValue& node, int depth) {
  if (depth > kJsonMaxDepth + 1) std::abort();
  switch (node.tag) {
    case kJsonTagString:
      CheckString(node.text);
      break;
    case kJsonTagArray:
      for (const JsonValue* item : node.items) Walk(*item, depth + 1);
      break;
    case kJsonTagObject:
      for (const auto& member : node.members) {
        CheckString(member.first);
        JsonGetNumber(node.members, member.first);
        Walk(*member.second, depth + 1);
      }
      break;
    case kJsonTagNull:
    case kJsonTagBool:
    case kJsonTagNumber:
      break;
    default:
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The parser reads up to the first NUL, as the pipe's texts do.
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto root = JsonParse(text.c_str());
  if (root) Walk(*root, 0);
  return 0;
}
