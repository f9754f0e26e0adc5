#include "bridge/message_type_scan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

// What the full parse makes of a text's "type": nullptr when it is not JSON.
std::unique_ptr<std::string> ParsedType(const std::string& text) {
  const JsonDocument value = JsonParse(text);
  if (!value) return nullptr;
  return std::make_unique<std::string>(JsonGetString(value->members(), "type"));
}

// The scan is sure of `text` and reads `type`, and the parser agrees.
void ExpectSure(const std::string& text, const std::string& type) {
  std::string_view scanned;
  ASSERT_TRUE(ScanMessageType(text, &scanned)) << text;
  EXPECT_EQ(scanned, type) << text;
  const std::unique_ptr<std::string> parsed = ParsedType(text);
  ASSERT_TRUE(parsed) << text;
  EXPECT_EQ(*parsed, type) << text;
}

void ExpectUnsure(const std::string& text) {
  std::string_view scanned;
  EXPECT_FALSE(ScanMessageType(text, &scanned)) << text;
}

TEST(MessageTypeScan, ReadsThePlainTypeAsTheParserDoes) {
  ExpectSure("{\"type\":\"MEET_DS_REQUEST\"}", "MEET_DS_REQUEST");
  ExpectSure(" \t\r\n{ \"a\" : 1 , \"type\" :\n\"X\" , \"b\":[true,FALSE,Null,-1.5e3,{}] } \n", "X");
  // The last of repeated names counts, also after a nested "type".
  ExpectSure("{\"type\":\"FIRST\",\"inner\":{\"type\":\"INNER\"},\"type\":\"LAST\"}", "LAST");
  ExpectSure("{\"inner\":{\"type\":\"INNER\"},\"type\":\"OUTER\"}", "OUTER");
  // Escapes inside other strings, and text that looks like structure.
  ExpectSure("{\"pad\":\"a \\\" } ] , \\\\\",\"type\":\"T\",\"more\":[\"\\\"\",\"x\\\\\"]}", "T");
  ExpectSure("{\"type\":\"\"}", "");
  ExpectSure("{\"utf8\":\"gr\xc3\xbc\xc3\x9f\",\"type\":\"T\"}", "T");
  const std::string long_pad(100000, 'p');
  ExpectSure("{\"type\":\"BIG\",\"pad\":\"" + long_pad + "\"}", "BIG");
}

TEST(MessageTypeScan, LeavesEveryDoubtfulTextToTheParser) {
  ExpectUnsure("");
  ExpectUnsure("not json");
  ExpectUnsure("[\"type\",\"X\"]");
  ExpectUnsure("{\"a\":1}");                             // no type: the parser's empty text
  ExpectUnsure("{\"type\":7}");                          // not a string
  ExpectUnsure("{\"type\":\"A\\u0042\"}");               // the parser decodes the escape
  ExpectUnsure("{\"type\":\"A\\nB\"}");
  ExpectUnsure("{\"typ\\u0065\":\"X\"}");                // an escaped name may be "type"
  ExpectUnsure("{\"t\\\"\":1,\"type\":\"X\"}");
  ExpectUnsure("{\"type\":\"X\",\"s\":\"\\u0000\"}");    // the parser refuses \u0000
  ExpectUnsure(std::string("{\"type\":\"X\"}\0tail", 17));  // the parser stops at a zero byte
  ExpectUnsure(std::string("{\"type\":\"X\",\"s\":\"a\0b\"}", 22));
  ExpectUnsure("{\"type\":\"X\",\"s\":\"a\x01" "b\"}");  // a raw control byte
  ExpectUnsure("{\"type\":\"\xc3\xa9\"}");               // not plain ASCII
  ExpectUnsure("{\"type\":\"X\"} x");
  ExpectUnsure("{\"type\":\"X\"");
  ExpectUnsure("{\"type\":\"X\",}");
  ExpectUnsure("{\"type\":\"X\",\"a\":[1,,2]}");
  ExpectUnsure("{\"type\":\"X\",\"a\":{\"b\" 1}}");
  ExpectUnsure("{\"type\":\"X\",\"a\":[1}");
  ExpectUnsure("{\"type\":\"X\",\"a\":\"unterminated}");
  ExpectUnsure("{\"type\":\"X\",\"a\":'single'}");
  ExpectUnsure("{\"type\":\"X\"\x0b}");                   // a vertical tab is no white space here
  // Very deep nesting and very many values go to the parser and its limits.
  ExpectUnsure("{\"type\":\"X\",\"a\":" + std::string(300, '[') + std::string(300, ']') + "}");
  std::string many = "{\"type\":\"X\",\"a\":[0";
  for (int i = 0; i < 10000; ++i) many += ",0";
  ExpectUnsure(many + "]}");
}

}  // namespace
