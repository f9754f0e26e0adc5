// Feeds arbitrary bytes to the parser. Whatever parses must hold only valid
// nodes within the budget, and every string it yields must survive the pair
// builder and parse back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "weblink/json/json_builders.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

void CheckString(std::string_view text) {
  std::string object = "{";
  object += JsonMakeStringPair(text, text);
  object += '}';
  const JsonDocument again = JsonParse(object);
  if (!again || again->members().size() != 1 || JsonGetString(again->members(), text) != text) std::abort();
}

size_t Walk(const JsonValue& node, int depth) {
  if (depth > kJsonMaxDepth) std::abort();
  size_t nodes = 1;
  switch (node.tag) {
    case kJsonTagString:
      CheckString(node.text());
      break;
    case kJsonTagArray:
      for (const JsonValue& item : node.items()) nodes += Walk(item, depth + 1);
      break;
    case kJsonTagObject:
      for (const JsonMember& member : node.members()) {
        CheckString(member.name);
        // The last of repeated names is the one a look-up finds.
        const JsonValue* found = node.members().Find(member.name);
        if (!found || found < &member.value) std::abort();
        JsonGetNumber(node.members(), member.name);
        nodes += 1 + Walk(member.value, depth + 1);
      }
      break;
    case kJsonTagNull:
    case kJsonTagBool:
    case kJsonTagNumber:
      break;
    default:
      std::abort();
  }
  return nodes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const JsonDocument root = JsonParse(text);
  if (root) {
    if (Walk(*root, 0) > JsonValueBudget(size)) std::abort();
  } else if (root.error_for_testing() == JsonParseError::kNone || root->tag != kJsonTagNull) {
    std::abort();
  }
  return 0;
}
