#include "bridge/log_masking.h"

#include <gtest/gtest.h>

#include <string>

namespace vzbridge {
namespace {

TEST(LogMaskingTest, TheValueOfEveryKeyThatNamesASecretIsMaskedAndNothingElse) {
  const struct {
    std::string text;
    std::string masked;
  } cases[] = {
      // As the web page sends them (samples of the link's requests).
      {R"({"type":"DS_SESSION_REQUEST_START","action":{"ds_conf":{"conf_id":"m1","port":8443,"token":"tk-9f"}}})",
       R"({"type":"DS_SESSION_REQUEST_START","action":{"ds_conf":{"conf_id":"m1","port":8443,"token":"***"}}})"},
      {R"({"audio_conf":{"server_addr":"ac.example","token" : "at\"x\\y","edge_servers":[]}})",
       R"({"audio_conf":{"server_addr":"ac.example","token" : "***","edge_servers":[]}})"},
      // Other names of secrets, and a value that is not a string.
      {R"({"Access_Token":"a","proxy":{"user":"u","password":"p","pass":"q","pwd":"r"},"secret":42})",
       R"({"Access_Token":"***","proxy":{"user":"u","password":"***","pass":"***","pwd":"***"},"secret":***})"},
      {R"({"\u0074oken":"t","credentials":{"key":"k"}})", R"({"\u0074oken":"***","credentials":***})"},
      // A secret that is a list or an object goes whole, brackets in its
      // strings and all; cut short, to the end.
      {R"({"tokens":["a","b]"],"credential":{"value":"s","parts":{"x":[1]}},"type":"X"})",
       R"({"tokens":***,"credential":***,"type":"X"})"},
      {R"({"type":"X","tokens":["a",)", R"({"type":"X","tokens":***)"},
      // A word that names a secret but is a value, not a key, stays.
      {R"({"type":"token","list":["password",1]})", R"({"type":"token","list":["password",1]})"},
      // Cut short: inside the value, or before it.
      {R"({"type":"X","token":"abcdef)", R"({"type":"X","token":"***)"},
      {R"({"type":"X","token": )", R"({"type":"X","token": )"},
      {R"({"type":"X","tok)", R"({"type":"X","tok)"},
      // Not JSON.
      {"not json \"token\"", "not json \"token\""},
      // An address keeps its credentials to itself wherever it stands.
      {R"({"domain":"https://user:pw@meet.example/x?sig=abc&lang=en"})",
       R"({"domain":"https://***@meet.example/x?sig=abc&lang=en"})"},
      // ... its slashes escaped as JSON may write them, too.
      {R"({"domain":"https:\/\/user:pw@meet.example\/x?token=t&lang=\"en\""})",
       R"({"domain":"https:\/\/***@meet.example\/x?token=***&lang=\"en\""})"},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskedMessageForLog(c.text), c.masked) << c.text;
}

// Strings are stepped over a block at a time; a string longer than a block
// ends, and is read as a key, just where a short one would.
TEST(LogMaskingTest, LongStringsEndWhereTheirEscapesSay) {
  const std::string run(80, 'v');
  // "\u" takes the four bytes after it whatever they are, a quote included:
  // the key runs on to the quote after them, and names a secret.
  EXPECT_EQ(MaskedMessageForLog(R"({"token)" + run + R"(\u"abc":1})"), R"({"token)" + run + R"(\u"abc":***})");
  EXPECT_EQ(MaskedMessageForLog(R"({"x":")" + run + R"(\"","password":")" + run + R"(\""})"),
            R"({"x":")" + run + R"(\"","password":"***"})");
  EXPECT_EQ(MaskedMessageForLog(R"({"a":"https:\/\/u:p@h\/)" + run + R"("})"),
            R"({"a":"https:\/\/***@h\/)" + run + R"("})");
}

TEST(LogMaskingTest, AnAddressLosesItsCredentialsAndItsSecretQueryValues) {
  EXPECT_EQ(MaskedAddressForLog("http://127.0.0.1:9/dl/VelzarSetup.run"), "http://127.0.0.1:9/dl/VelzarSetup.run");
  EXPECT_EQ(MaskedAddressForLog("http://u:p@127.0.0.1:9/dl/a.run"), "http://***@127.0.0.1:9/dl/a.run");
  EXPECT_EQ(MaskedAddressForLog("https://h/a.run?v=2&token=xyz&access_token=q#part"),
            "https://h/a.run?v=2&token=***&access_token=***#part");
  EXPECT_EQ(MaskedAddressForLog("https://h/a?mail=a@b&password="), "https://h/a?mail=a@b&password=***");
  EXPECT_EQ(MaskedAddressForLog("/dl/a.run?Secret=1"), "/dl/a.run?Secret=***");
}

}  // namespace
}  // namespace vzbridge
