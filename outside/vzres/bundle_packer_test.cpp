#include "outside/vzres/bundle_packer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "outside/vzres/format_check.h"
#include "outside/vzres/placeholder_png.h"
#include "outside/vzres/resource_bundle.h"
#include "outside/vzres/string_table.h"
#include "platform/big_endian.h"

namespace vzres {
namespace {

namespace fs = std::filesystem;

TEST(FormatCheckTest, AcceptsExactlyTheExpectedConversions) {
  struct Case {
    const char* text;
    const char* expected;
    bool ok;
  };
  const Case cases[] = {
      {"Proxy %s:%d", "sd", true},
      {"%-20s port %05d", "sd", true},
      {"%.10s %i", "sd", true},
      {"Screen %u", "d", true},
      {"100%% sure", "", true},
      {"plain", "", true},
      {"Port %d on %s", "sd", false},  // swapped
      {"Screen", "d", false},          // missing
      {"%s %s", "s", false},           // one too many
      {"%d%%", "", false},
      {"%ls", "s", false},   // size prefix: a long would be read
      {"%lld", "d", false},
      {"%*d", "d", false},   // '*' takes an argument of its own
      {"%S", "s", false},    // narrow text
      {"%x", "d", false},
      {"%n", "", false},
      {"ends with %", "", false},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(CheckFormatConversions(c.text, c.expected, &error), c.ok) << c.text << ": " << error;
  }
  EXPECT_EQ(ExpectedConversions(10001), "sd");
  EXPECT_EQ(ExpectedConversions(50008), "d");
  EXPECT_EQ(ExpectedConversions(60043), "s");
  EXPECT_EQ(ExpectedConversions(50011), "");
}

TEST(StringTableTest, ReadsLanguageIdsTextsAndEscapes) {
  StringTable table;
  std::string error;
  ASSERT_TRUE(ParseStringTable("# head\r\nlanguage 1031\r\n\r\n50011 Abbrechen\r\n  60043 %s tab\\there \\\\ \\n\n10002\n",
                               &table, &error))
      << error;
  EXPECT_EQ(table.language, 1031u);
  ASSERT_EQ(table.strings.size(), 3u);
  EXPECT_EQ(table.strings[50011], "Abbrechen");
  EXPECT_EQ(table.strings[60043], "%s tab\there \\ \n");
  EXPECT_EQ(table.strings[10002], "");
}

TEST(StringTableTest, RefusesMalformedTables) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"50011 Cancel\n", "line 1: the first line must be 'language <id>'"},
      {"", "no 'language <id>' line"},
      {"language 0\n", "bad language id"},
      {"language en\n", "bad language id"},
      {"language 1033\nlanguage 1031\n", "language given twice"},
      {"language 1033\n1 a\n1 b\n", "line 3: string 1 given twice"},
      {"language 1033\n0 zero\n", "bad string id"},
      {"language 1033\n70000 big\n", "bad string id"},
      {"language 1033\nabc text\n", "bad string id 'abc'"},
      {"language 1033\n5 bad \\q escape\n", "unknown escape"},
      {"language 1033\n5 ends with \\\n", "ends the line"},
      {"language 1033\n5 \xC3\x28\n", "not well-formed UTF-8"},
  };
  for (const Case& c : cases) {
    StringTable table;
    std::string error;
    EXPECT_FALSE(ParseStringTable(c.text, &table, &error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(StringTableTest, Utf8CheckRefusesOverlongSurrogateAndCutForms) {
  EXPECT_TRUE(IsWellFormedUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsWellFormedUtf8("\xC0\xAF"));              // overlong '/'
  EXPECT_FALSE(IsWellFormedUtf8("\xE0\x80\xAF"));          // overlong, 3 bytes
  EXPECT_FALSE(IsWellFormedUtf8("\xED\xA0\x80"));          // surrogate D800
  EXPECT_FALSE(IsWellFormedUtf8("\xF4\x90\x80\x80"));      // above U+10FFFF
  EXPECT_FALSE(IsWellFormedUtf8("\xE2\x82"));              // cut
  EXPECT_FALSE(IsWellFormedUtf8("\x80"));                  // lone continuation
}

uint32_t BigEndian(const std::string& bytes, size_t at) {
  return vz::Load32(reinterpret_cast<const uint8_t*>(bytes.data() + at));
}

// Walks the chunks, checks each CRC, and returns the inflated image data
// (stored blocks only); empty on any fault.
std::string InflateStoredPng(const std::string& png, uint32_t* width, uint32_t* height) {
  if (png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return {};
  std::string zlib;
  size_t at = 8;
  bool ended = false;
  while (at + 12 <= png.size()) {
    const uint32_t length = BigEndian(png, at);
    const std::string type = png.substr(at + 4, 4);
    if (at + 12 + length > png.size()) return {};
    if (PngCrc32(std::string_view(png).substr(at + 4, 4 + length)) != BigEndian(png, at + 8 + length)) return {};
    if (type == "IHDR") {
      *width = BigEndian(png, at + 8);
      *height = BigEndian(png, at + 12);
    } else if (type == "IDAT") {
      zlib += png.substr(at + 8, length);
    } else if (type == "IEND") {
      ended = true;
    }
    at += 12 + length;
  }
  if (!ended || at != png.size() || zlib.size() < 6) return {};
  std::string raw;
  size_t z = 2;
  for (bool last = false; !last;) {
    if (z + 5 > zlib.size()) return {};
    last = zlib[z] & 1;
    const size_t length = static_cast<unsigned char>(zlib[z + 1]) | static_cast<unsigned char>(zlib[z + 2]) << 8;
    const size_t inverse = static_cast<unsigned char>(zlib[z + 3]) | static_cast<unsigned char>(zlib[z + 4]) << 8;
    if ((length ^ inverse) != 0xFFFF || z + 5 + length > zlib.size()) return {};
    raw += zlib.substr(z + 5, length);
    z += 5 + length;
  }
  return z + 4 == zlib.size() ? raw : std::string();
}

TEST(PlaceholderPngTest, WritesValidChunksAndTheShape) {
  uint32_t width = 0;
  uint32_t height = 0;
  // 200 x 100 RGBA needs more than one stored block.
  const std::string png = MakePlaceholderPng(200, 100, PlaceholderShape::kFrame, 0x80112233);
  const std::string raw = InflateStoredPng(png, &width, &height);
  ASSERT_EQ(raw.size(), 100u * (1 + 200 * 4));
  EXPECT_EQ(width, 200u);
  EXPECT_EQ(height, 100u);
  auto pixel = [&](int x, int y) { return raw.substr(y * (1 + 200 * 4) + 1 + x * 4, 4); };
  EXPECT_EQ(pixel(0, 0), std::string("\x11\x22\x33\x80", 4));  // R, G, B, A
  EXPECT_EQ(pixel(199, 99), std::string("\x11\x22\x33\x80", 4));
  EXPECT_EQ(pixel(100, 50), std::string(4, '\0'));  // inside the frame

  const std::string circle = MakePlaceholderPng(10, 10, PlaceholderShape::kCircle, 0xFFFFFFFF);
  const std::string circle_raw = InflateStoredPng(circle, &width, &height);
  ASSERT_EQ(circle_raw.size(), 10u * 41);
  EXPECT_EQ(circle_raw.substr(1, 4), std::string(4, '\0'));          // corner
  EXPECT_EQ(circle_raw.substr(5 * 41 + 1 + 5 * 4, 4), "\xFF\xFF\xFF\xFF");  // centre

  EXPECT_TRUE(MakePlaceholderPng(0, 10, PlaceholderShape::kRect, 0).empty());
  EXPECT_TRUE(MakePlaceholderPng(10, 4097, PlaceholderShape::kRect, 0).empty());
  EXPECT_EQ(InflateStoredPng(MakePlaceholderPng(1, 1, PlaceholderShape::kRound, 0xFF000000), &width, &height).size(),
            5u);
}

TEST(PlaceholderPngTest, GlyphsParseAndTheWaitingFramesDifferOnlyInTheirBrightDot) {
  PlaceholderShape shape;
  int frame = -1;
  EXPECT_TRUE(ParsePlaceholderShape("spin11", &shape, &frame));
  EXPECT_EQ(shape, PlaceholderShape::kSpin);
  EXPECT_EQ(frame, 11);
  EXPECT_FALSE(ParsePlaceholderShape("spin12", &shape, &frame));
  EXPECT_FALSE(ParsePlaceholderShape("spin", &shape, &frame));
  EXPECT_FALSE(ParsePlaceholderShape("spin1x", &shape, &frame));
  EXPECT_TRUE(ParsePlaceholderShape("nocamera", &shape));
  EXPECT_EQ(shape, PlaceholderShape::kNoCamera);

  uint32_t width = 0;
  uint32_t height = 0;
  const std::string first = InflateStoredPng(MakePlaceholderPng(32, 32, PlaceholderShape::kSpin, 0xFFFFFFFF, 0), &width, &height);
  const std::string third = InflateStoredPng(MakePlaceholderPng(32, 32, PlaceholderShape::kSpin, 0xFFFFFFFF, 3), &width, &height);
  ASSERT_EQ(first.size(), 32u * (1 + 32 * 4));
  auto alpha = [](const std::string& raw, int x, int y) { return static_cast<uint8_t>(raw[y * 129 + 1 + x * 4 + 3]); };
  // Dot 0 sits at the top, dot 3 at the right.
  EXPECT_EQ(alpha(first, 16, 4), 255);
  EXPECT_LT(alpha(third, 16, 4), 255);
  EXPECT_GT(alpha(third, 16, 4), 0);
  EXPECT_EQ(alpha(third, 27, 16), 255);
  EXPECT_EQ(alpha(first, 16, 16), 0);  // the ring's middle stays clear

  // The page buttons point their own ways.
  const std::string left = InflateStoredPng(MakePlaceholderPng(16, 16, PlaceholderShape::kLeft, 0xFFFFFFFF), &width, &height);
  auto alpha16 = [&](int x, int y) { return static_cast<uint8_t>(left[y * 65 + 1 + x * 4 + 3]); };
  EXPECT_EQ(alpha16(4, 8), 255);   // the point, left of centre
  EXPECT_EQ(alpha16(4, 2), 0);
  EXPECT_EQ(alpha16(12, 2), 255);  // the base, on the right
}

class BundlePackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vzres_pack_test_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "strings");
    Write("strings/en.txt", "language 1033\n10001 Proxy %s:%d\n50014 Cancel\n");
    Write("strings/de.txt", "language 1031\n50014 Abbrechen\n");
    Write("dialogs.txt", "dialog 105 320 100 caption=\"Wait\"\ncontrol 2 BUTTON 1 2 3 4 text=50014\nend\n");
    Write("images.txt", "# images\nimage 109 32 32 circle 0xFF0084FF\n");
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  bool Pack(std::string* error) {
    bundle_.clear();
    return PackBundle(folder_.string(), &bundle_, error);
  }

  fs::path folder_;
  std::string bundle_;
};

TEST_F(BundlePackerTest, PacksStringsDialogsAndImages) {
  Write("logo.png", MakePlaceholderPng(4, 2, PlaceholderShape::kRect, 0xFFFFFFFF));
  Write("images.txt", "image 109 32 32 circle 0xFF0084FF\nfile 318 logo.png\n");
  std::string error;
  ASSERT_TRUE(Pack(&error)) << error;
  auto bundle = ResourceBundle::FromBytesForTesting(bundle_, &error);
  ASSERT_NE(bundle, nullptr) << error;
  EXPECT_EQ(bundle->FindString(50014, 1031, 1033), "Abbrechen");
  EXPECT_EQ(bundle->FindString(10001, 1031, 1033), "Proxy %s:%d");
  ASSERT_TRUE(bundle->FindDialog(105).has_value());
  EXPECT_EQ(bundle->FindDialog(105)->FindControl(2)->text_id, 50014u);
  ASSERT_TRUE(bundle->FindPng(109).has_value());
  uint32_t width = 0;
  uint32_t height = 0;
  EXPECT_FALSE(InflateStoredPng(std::string(*bundle->FindPng(109)), &width, &height).empty());
  EXPECT_EQ(width, 32u);
  EXPECT_EQ(bundle->FindPng(318), MakePlaceholderPng(4, 2, PlaceholderShape::kRect, 0xFFFFFFFF));
}

TEST_F(BundlePackerTest, RefusesSourcesThatWouldBreakTheProgram) {
  struct Case {
    const char* file;
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      // A translation whose placeholders are swapped would feed an integer as text.
      {"strings/de.txt", "language 1031\n10001 Port %d von %s\n", "string 10001: conversions \"ds\""},
      {"strings/de.txt", "language 1031\n50014 %s\n", "string 50014: conversions \"s\" where \"\""},
      {"strings/de.txt", "language 1031\n4242 extra\n", "string 4242 is missing from the fallback language"},
      {"strings/de.txt", "language 1033\n50014 again\n", "language 1033 given twice"},
      {"strings/en.txt", "language 1036\n50014 Annuler\n", "no table for the fallback language 1033"},
      {"dialogs.txt", "dialog 105 1 1 caption=777\nend\n", "dialog 105 names string 777"},
      {"dialogs.txt", "dialog 105 1 1\ncontrol 2 BUTTON 0 0 1 1 text=888\nend\n", "names string 888"},
      {"dialogs.txt", "dialog 105 1 1\n", "has no end"},
      {"images.txt", "image 109 32 32 circle 0xFF0084FF\nimage 109 8 8 rect 0\n", "line 2: image 109 given twice"},
      {"images.txt", "image 109 32 32 star 0\n", "expected: image"},
      {"images.txt", "image 109 5000 2 rect 0\n", "larger than 4096"},
      {"images.txt", "image 109 0 2 rect 0\n", "bad image size"},
      {"images.txt", "image 0 2 2 rect 0\n", "bad image id"},
      {"images.txt", "file 318 notes.txt\n", "notes.txt is not a PNG file"},
      {"images.txt", "file 318 missing.png\n", "cannot be read"},
      {"images.txt", "picture 5 a\n", "unknown keyword 'picture'"},
  };
  for (const Case& c : cases) {
    SetUp();
    Write("notes.txt", "just text, long enough to be looked at as a PNG header");
    Write(c.file, c.text);
    std::string error;
    EXPECT_FALSE(Pack(&error)) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST_F(BundlePackerTest, MissingSourceFilesAreReported) {
  fs::remove(folder_ / "dialogs.txt");
  std::string error;
  EXPECT_FALSE(Pack(&error));
  EXPECT_NE(error.find("dialogs.txt: cannot be read"), std::string::npos) << error;
  fs::remove_all(folder_ / "strings");
  EXPECT_FALSE(Pack(&error));
  EXPECT_NE(error.find("cannot be listed"), std::string::npos) << error;
}

}  // namespace
}  // namespace vzres
