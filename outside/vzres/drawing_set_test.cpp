// The drawn images: their descriptions are read strictly (a slip in one
// fails the build with its line) and rendered where they say.
#include "outside/vzres/drawing_set.h"

#include <gtest/gtest.h>

#include <span>

#include "platform/ui/image.h"

namespace vzres {
namespace {

TEST(DrawingSetTest, DescriptionsAreRenderedWhereTheySay) {
  std::vector<Drawing> drawings;
  std::string error;
  ASSERT_TRUE(ParseDrawings("# two layers\n"
                            "drawing 7 20 10\n"
                            "  fill 0xFF0000FF : R 0 0 10 10\n"
                            "  stroke 0x80FF0000 2 round : M 12 5 L 18 5\n"
                            "end\n",
                            &drawings, &error))
      << error;
  ASSERT_EQ(drawings.size(), 1u);
  EXPECT_EQ(drawings[0].id, 7u);
  ASSERT_EQ(drawings[0].layers.size(), 2u);
  const std::string png = RenderDrawingPng(drawings[0]);
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size());
  const std::optional<vz::Image> image = vz::Image::DecodePng(bytes);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->size(), (vz::Size{20, 10}));
  EXPECT_EQ(image->GetPixel(5, 5), 0xFF0000FFu);               // the filled square
  EXPECT_EQ(image->GetPixel(15, 5) >> 24, 0x80u);              // the translucent line
  EXPECT_EQ(image->GetPixel(15, 1), 0u);                       // nothing elsewhere
}

TEST(DrawingSetTest, MalformedDescriptionsNameTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"drawing 1 10 10\nfill 0xFF000000 : R 0 0 1\nend\n", "line 2: path command 'R' needs 4 numbers"},
      {"drawing 1 10 10\nfill 0xFF000000 : X 1 2\nend\n", "line 2: unknown path command 'X'"},
      {"drawing 1 10 10\nfill red : R 0 0 1 1\nend\n", "line 2: expected: fill"},
      {"drawing 1 10 10\nstroke 0xFF000000 0 : M 0 0 L 1 1\nend\n", "line 2: expected: stroke"},
      {"drawing 1 10 10\nstroke 0xFF000000 1 wavy : M 0 0\nend\n", "line 2: unknown line end 'wavy'"},
      {"drawing 1 10 10\nfill 0xFF000000 R 0 0 1 1\nend\n", "line 2: a layer needs"},
      {"drawing 1 10 10\nend\n", "line 2: a drawing without layers"},
      {"drawing 1 600 10\n", "line 1: expected: drawing"},
      {"drawing 0 10 10\n", "line 1: expected: drawing"},
      {"fill 0xFF000000 : R 0 0 1 1\n", "line 1: 'fill' outside a drawing"},
      {"drawing 1 10 10\nfill 0xFF000000 : R 0 0 1 1\n", "drawing 1 has no end"},
      {"drawing 1 10 10\ndrawing 2 10 10\n", "line 2: drawing inside a drawing"},
      {"end\n", "line 1: end without a drawing"},
  };
  for (const auto& [text, expected] : cases) {
    std::vector<Drawing> drawings;
    std::string error;
    EXPECT_FALSE(ParseDrawings(text, &drawings, &error)) << text;
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace vzres
