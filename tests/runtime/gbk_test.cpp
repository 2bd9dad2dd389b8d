#include "runtime/gbk.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "runtime/text_convert.h"

namespace belvane {
namespace {

TEST(Gbk, RoundTripsChineseText) {
  const TextValue text("同目录下无法找到DLL文件:\"bass\".");
  const std::wstring wide = WideFromGbk(text.View());
  EXPECT_EQ(wide, L"同目录下无法找到DLL文件:\"bass\".");
  EXPECT_EQ(GbkFromWide(wide), text);
  EXPECT_TRUE(WideFromGbk("").empty());
  EXPECT_TRUE(GbkFromWide(L"").IsEmpty());
}

TEST(Gbk, NeverFailsOnTextItCannotCarry) {
  EXPECT_EQ(GbkFromWide(L"a\U0001F600b"), "a??b");   // no GBK form: "?" per UTF-16 unit
  const std::wstring broken = WideFromGbk("a\x81");  // a lead byte with no trail byte
  ASSERT_EQ(broken.size(), 2u);
  EXPECT_EQ(broken[0], L'a');
}

// UTF-8 and UTF-16 bytes of literals (the build's plain literals are GBK).
std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

std::string Utf16(std::u16string_view text, bool little_end_first) {
  std::string bytes;
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    bytes += little_end_first ? low : high;
    bytes += little_end_first ? high : low;
  }
  return bytes;
}

// A file as Notepad may save it: which encoding it is read in, its text as the program's GBK,
// and the first character (and line) a GBK save would lose.
TEST(FileEncoding, ReadsEachWayNotepadSavesAndFindsWhatGbkLacks) {
  using E = FileEncoding;
  const std::string gbk = "周一=常规";  // GBK in this build
  const std::string utf8 = Utf8(u8"周一=常规");
  const struct {
    const char* name;
    std::string bytes;
    E encoding;
    std::string text;
    char32_t lacks = 0;  // with its line
    int line = 0;
  } cases[] = {
      {"GBK", gbk, E::kGbk, gbk},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, E::kUtf8Marked, gbk},
      {"UTF-8 without a mark", utf8, E::kUtf8, gbk},
      {"UTF-16 little end first", "\xFF\xFE" + Utf16(u"周一=常规", true), E::kUtf16Le, gbk},
      {"UTF-16 big end first", "\xFE\xFF" + Utf16(u"周一=常规", false), E::kUtf16Be, gbk},
      // GBK 搂 is UTF-8 §: the rule takes UTF-8.
      {"valid GBK and valid UTF-8", "\xC2\xA7", E::kUtf8, "§"},
      {"ASCII alone is GBK", "[time]\r\n1=08:00:00", E::kGbk, "[time]\r\n1=08:00:00"},
      {"one invalid sequence makes GBK", utf8 + "\xC2", E::kGbk, utf8 + "\xC2"},
      {"a shorter form is not UTF-8", "\xC0\xAF", E::kGbk, "\xC0\xAF"},
      {"a surrogate is not UTF-8", "\xED\xA0\x80", E::kGbk, "\xED\xA0\x80"},
      {"empty", "", E::kGbk, ""},
      {"a lone partial UTF-8 mark", "\xEF\xBB", E::kGbk, "\xEF\xBB"},
      {"a lone partial UTF-16 mark", "\xFF", E::kGbk, "\xFF"},
      {"a UTF-8 mark alone", "\xEF\xBB\xBF", E::kUtf8Marked, ""},
      {"a UTF-16 mark alone", "\xFF\xFE", E::kUtf16Le, ""},
      {"UTF-16 with an odd last byte", "\xFF\xFE" + std::string("a\0b", 3), E::kUtf16Le, "a"},
      {"a character GBK lacks, line 3", Utf8(u8"a\r\nb\nc😀\r\n"), E::kUtf8, "a\r\nb\nc??\r\n",
       0x1F600, 3},
      {"an unpaired surrogate", "\xFF\xFE" + Utf16(u"x\r\xD800", true), E::kUtf16Le, "x\r?", 0xFFFD,
       2},
      {"invalid UTF-8 after a mark", "\xEF\xBB\xBF\n\xFF", E::kUtf8Marked, "\n?", 0xFFFD, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DetectFileEncoding(c.bytes), c.encoding) << c.name;
    EXPECT_EQ(GbkTextOfFile(c.bytes), c.text) << c.name;
    const std::optional<CharacterGbkLacks> lack = FirstCharacterGbkLacks(c.bytes);
    EXPECT_EQ(lack ? lack->code : 0, c.lacks) << c.name;
    EXPECT_EQ(lack ? lack->line : 0, c.line) << c.name;
  }
  EXPECT_EQ(CharacterCodeText(0xE9), "U+00E9");
  EXPECT_EQ(CharacterCodeText(0x1F600), "U+1F600");
}

}  // namespace
}  // namespace belvane
