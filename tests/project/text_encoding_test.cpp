#include "project/text_encoding.h"

#include <gtest/gtest.h>

#include <string_view>

namespace rivulo {
namespace {

using namespace std::string_view_literals;

TEST(TextEncoding, Utf16ToUtf8) {
  struct Case {
    std::u16string units;
    std::string utf8;
  };
  const Case cases[] = {
      {u"", ""},
      {u"A\u00e9\u20ac", "A\xC3\xA9\xE2\x82\xAC"},
      {std::u16string(1, u'\0') + u"x", std::string("\0x", 2)},
      {u"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      // Unpaired surrogates: each becomes U+FFFD, the neighbours survive.
      {std::u16string{0xD83D}, "\xEF\xBF\xBD"},
      {std::u16string{0xDE00, u'a'}, "\xEF\xBF\xBD" "a"},
      {std::u16string{0xD83D, u'a'}, "\xEF\xBF\xBD" "a"},
      {std::u16string{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {std::u16string{0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf16ToUtf8(c.units), c.utf8) << testing::PrintToString(c.utf8);
  }
}

TEST(TextEncoding, UnitsFromBytesInBothOrdersIgnoringAnOddByte) {
  EXPECT_EQ(utf16UnitsFromBytes("\x41\x00\x3D\xD8\x7F"sv, false), (std::u16string{0x0041, 0xD83D}));
  EXPECT_EQ(utf16UnitsFromBytes("\x00\x41\xD8\x3D\x7F"sv, true), (std::u16string{0x0041, 0xD83D}));
  EXPECT_EQ(utf16UnitsFromBytes("\x41", false), u"");
}

}  // namespace
}  // namespace rivulo
