#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/byte_block.h"
#include "runtime/datetime.h"
#include "runtime/gbk.h"
#include "runtime/text_array.h"
#include "runtime/text_convert.h"

namespace belvane {
namespace {

TEST(TrimFraction, CutsTrailingZerosAndAPointLeftAlone) {
  EXPECT_EQ(TrimFraction("12.500000"), "12.5");
  EXPECT_EQ(TrimFraction("3.000000"), "3");
  EXPECT_EQ(TrimFraction("0.000000"), "0");
  EXPECT_EQ(TrimFraction("-0.000000"), "-0");
  EXPECT_EQ(TrimFraction("100.000000"), "100");  // zeros before the point stay
  EXPECT_EQ(TrimFraction("0"), "0");             // reaching the first character changes nothing
  EXPECT_EQ(TrimFraction("000"), "000");
}

TEST(ToText, NumbersArePlainDecimal) {
  EXPECT_EQ(ToText(ValueSlot::Double(0.0)), "0");
  EXPECT_EQ(ToText(ValueSlot::Double(5.0)), "5");
  EXPECT_EQ(ToText(ValueSlot::Double(0.25)), "0.25");
  EXPECT_EQ(ToText(ValueSlot::Double(-1.5)), "-1.5");
  EXPECT_EQ(ToText(ValueSlot::Double(-0.0)), "-0");
  EXPECT_EQ(ToText(ValueSlot::Double(1234567.0)), "1234567");  // no thousands separators
  EXPECT_EQ(ToText(ValueSlot::Float(2.5f)), "2.5");
  EXPECT_EQ(ToText(ValueSlot::Integer(7)), "7");
  EXPECT_EQ(ToText(ValueSlot::Integer(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(ToText(ValueSlot::Byte(255)), "255");
  EXPECT_EQ(ToText(ValueSlot::Short(-2)), "-2");
  EXPECT_EQ(ToText(ValueSlot::Long(-9000000000LL)), "-9000000000");
  EXPECT_EQ(ToText(ValueSlot::Routine(1234)), "1234");
}

TEST(ToText, OtherKinds) {
  EXPECT_EQ(ToText(ValueSlot::Logical(true)), "真");
  EXPECT_EQ(ToText(ValueSlot::Logical(false)), "假");
  EXPECT_EQ(ToText(ValueSlot::DateTime(EncodeDateTime(2022, 7, 4, 16, 23, 0))),
            "2022年7月4日16时23分");
  const TextValue text("时间");
  EXPECT_EQ(ToText(ValueSlot::Text(text)), "时间");
  EXPECT_TRUE(ToText(ValueSlot::Text(static_cast<const char*>(nullptr))).IsEmpty());
  const ByteBlock bytes(std::string_view("ab\0cd", 5));
  EXPECT_EQ(ToText(ValueSlot::ByteSet(bytes.Image())), "ab");  // up to the first zero byte
  EXPECT_TRUE(ToText(ValueSlot::ByteSet(nullptr)).IsEmpty());
  EXPECT_TRUE(ToText(ValueSlot::Absent()).IsEmpty());
}

TEST(ToText, NumericArraysAreReadAsBytes) {
  // {d = 1, dims = {2}, members}: two 16-bit members 'A','B' then 'C', 0.
  const std::uint32_t shorts[] = {1, 2, 0x00420041};
  EXPECT_EQ(ToText(ValueSlot::Array(ValueKind::kShort, shorts)), "A");
  const std::uint32_t bytes[] = {1, 3, 0x00636261};
  EXPECT_EQ(ToText(ValueSlot::Array(ValueKind::kByte, bytes)), "abc");
  const std::uint32_t integers[] = {1, 2, 0x64636261, 0x68676665};
  EXPECT_EQ(ToText(ValueSlot::Array(ValueKind::kInteger, integers)), "abcdefgh");  // no NUL
  const std::uint32_t texts[] = {1, 0};
  EXPECT_TRUE(ToText(ValueSlot::Array(ValueKind::kText, texts)).IsEmpty());
}

TEST(ToInteger, ReadsTextsTheStandardWay) {
  EXPECT_EQ(ToInteger(ValueSlot::Text("")), 0);
  EXPECT_EQ(ToInteger(ValueSlot::Text("-12abc")), -12);
  EXPECT_EQ(ToInteger(ValueSlot::Text(" 7")), 7);
  EXPECT_EQ(ToInteger(ValueSlot::Text("abc")), 0);
  EXPECT_EQ(ToInteger(ValueSlot::Text("+08")), 8);
  EXPECT_EQ(ToInteger(ValueSlot::Text("4294967297")), 1);  // wraps modulo 2^32
}

TEST(ToInteger, MapsFullWidthFormsFirst) {
  EXPECT_EQ(TextToInteger("３６００"), 3600);
  EXPECT_EQ(TextToInteger("１２:30"), 12);
  EXPECT_EQ(TextToInteger("－５"), -5);
  EXPECT_EQ(TextToInteger("　９"), 9);  // ideographic space is white space
  EXPECT_EQ(TextToInteger("时间"), 0);
  EXPECT_EQ(TextToInteger("3０600"), 30600);  // a full-width digit after a half-width one
  EXPECT_EQ(ParseDecimal("３"), 0);           // the plain reading has no full-width step
}

// The platform's own half-width step, which TextToInteger once called: through UTF-16 and back.
std::int32_t PlatformTextToInteger(std::string_view text) {
  std::wstring wide = WideFromGbk(text);
  for (wchar_t& c : wide) {
    if (c >= 0xFF01 && c <= 0xFF5E) {
      c = static_cast<wchar_t>(c - 0xFEE0);
    } else if (c == 0x3000) {
      c = L' ';
    }
  }
  return ParseDecimal(GbkFromWide(wide).View());
}

TEST(ToInteger, ReadsAsThePlatformsHalfWidthConversionDoes) {
  // Full-width forms, invalid pairs, lone lead bytes and random bytes around digits.
  std::vector<std::string> texts{"３６００",
                                 "－５",
                                 "＋７",
                                 "　９",
                                 "\x81"
                                 "5",
                                 "12\x81",
                                 "\x80"
                                 "7",
                                 "\xFF"
                                 "8",
                                 "\xA3\xB0\xA3",
                                 "－\xA3",
                                 "３\x00"
                                 "4",
                                 "￥5",
                                 "～9",
                                 "\xA3\xA4"
                                 "1",
                                 "１２:３０"};
  std::uint32_t seed = 12345;
  const char pieces[][3] = {"1",    "-",    "+",    " ",    "\t", "\x81", "\xA3", "\xB1",
                            "\xAD", "\xA1", "\xFE", "\x80", "x",  "\x40", "\xFF", "0"};
  for (int i = 0; i < 4000; ++i) {
    std::string text;
    for (int n = 0; n < 8; ++n) {
      seed = seed * 1103515245u + 12345u;
      text += pieces[(seed >> 16) % 16];
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    EXPECT_EQ(TextToInteger(text), PlatformTextToInteger(text)) << ::testing::PrintToString(text);
  }
}

TEST(ToInteger, TimeTextsReadAsTheirSplitPartsDo) {
  for (const char* text :
       {"08:30:00", "１:２:３", "45:07", "1:2:3:4", ":", "::", "a:b:c", "\x81:5:6", "5:\x81",
        "9\xA3:1", "-1:-1:-1", "24:00:00", "2147483647:0:0"}) {
    const TextArray parts = SplitText(text, ":");
    auto at = [&](int i) { return std::int64_t{TextToInteger(parts[i].View())}; };
    std::int64_t seconds = TextToInteger(text);
    if (parts.Count() == 2) seconds = at(1) * 60 + at(2);
    if (parts.Count() == 3) seconds = at(1) * 3600 + at(2) * 60 + at(3);
    EXPECT_EQ(SecondsFromTimeText(text), static_cast<int>(static_cast<std::uint32_t>(seconds)))
        << text;
  }
}

TEST(ToInteger, NumbersAndOtherKinds) {
  EXPECT_EQ(ToInteger(ValueSlot::Double(-2.9)), -2);
  EXPECT_EQ(ToInteger(ValueSlot::Double(2.9)), 2);
  EXPECT_EQ(ToInteger(ValueSlot::Float(-7.5f)), -7);
  EXPECT_EQ(ToInteger(ValueSlot::Double(4294967298.0)), 2);  // low 32 bits of the 64-bit value
  EXPECT_EQ(ToInteger(ValueSlot::Double(1e300)), 0);         // out of range: no UB
  EXPECT_EQ(ToInteger(ValueSlot::Long(0x100000005LL)), 5);
  EXPECT_EQ(ToInteger(ValueSlot::Byte(200)), 200);
  EXPECT_EQ(ToInteger(ValueSlot::Short(-3)), -3);
  EXPECT_EQ(ToInteger(ValueSlot::Logical(true)), 1);
  EXPECT_EQ(ToInteger(ValueSlot::DateTime(5.0)), 0);
  EXPECT_EQ(ToInteger(ValueSlot::Absent()), 0);
}

TEST(Texts, ConcatCompareRightSpace) {
  const TextValue dir("C:\\程序");
  EXPECT_EQ(ConcatTexts(dir, "\\mp3\\", TextValue("a.mp3")), "C:\\程序\\mp3\\a.mp3");
  const TextValue empty = ConcatTexts(TextValue(), "");
  EXPECT_EQ(CompareTexts(empty, TextValue(nullptr)), 0);
  EXPECT_EQ(CompareTexts("10", "9"), -1);
  EXPECT_EQ(CompareTexts("9", "10"), 1);
  EXPECT_EQ(CompareTexts("测", "z"), 1);  // unsigned bytes
  EXPECT_EQ(CompareTexts("ab", "abc"), -1);
  EXPECT_EQ(RightText("C:\\Tools", 1), "s");
  EXPECT_EQ(RightText(dir, 1), "\xF2");  // counts bytes: the trail byte of 序 (D0 F2)
  EXPECT_EQ(RightText("abc", 2), "bc");
  EXPECT_EQ(RightText("abc", 9), "abc");
  EXPECT_TRUE(RightText("", 5).IsEmpty());
  EXPECT_TRUE(RightText("abc", 0).IsEmpty());
  EXPECT_EQ(SpaceText(3), "   ");
  EXPECT_TRUE(SpaceText(0).IsEmpty());
  EXPECT_EQ(TextLength(nullptr), 0u);
  EXPECT_EQ(TextLength("时间"), 4u);
}

std::vector<std::string> Members(const TextArray& array) {
  std::vector<std::string> members;
  for (const TextValue& member : array) members.push_back(member.Bytes());
  return members;
}

using Parts = std::vector<std::string>;

TEST(SplitText, KeepsEmptyMembersButNotATrailingOne) {
  EXPECT_EQ(Members(SplitText("07:00:00", ":")), (Parts{"07", "00", "00"}));
  EXPECT_EQ(Members(SplitText("a,,b")), (Parts{"a", "", "b"}));
  EXPECT_EQ(Members(SplitText(",a")), (Parts{"", "a"}));
  EXPECT_EQ(Members(SplitText("a,b,")), (Parts{"a", "b"}));
  EXPECT_EQ(Members(SplitText("a")), (Parts{"a"}));
  EXPECT_EQ(Members(SplitText("a<>b<>c", "<>")), (Parts{"a", "b", "c"}));
  EXPECT_TRUE(SplitText("").IsEmpty());
}

TEST(SplitText, Limits) {
  EXPECT_EQ(Members(SplitText("a,b,c", ",", 2)), (Parts{"a", "b"}));
  EXPECT_EQ(Members(SplitText("a,b,c", ",", 1)), (Parts{"a"}));
  EXPECT_TRUE(SplitText("a,b", ",", 0).IsEmpty());
  EXPECT_TRUE(SplitText("a,b", ",", -3).IsEmpty());
  EXPECT_EQ(Members(SplitText("a,b", "", 5)), (Parts{"a,b"}));
}

TEST(SplitText, NeverSplitsADoubleByteCharacter) {
  // 0x81 0x5C is one GBK character whose trail byte is a backslash.
  const std::string trailBackslash = "\x81\x5c";
  EXPECT_EQ(Members(SplitText(trailBackslash + "a\\b", "\\")), (Parts{trailBackslash + "a", "b"}));
  // The full-width comma (0xA3 0xAC) is not a delimiter.
  EXPECT_EQ(Members(SplitText("甲，乙,丙")), (Parts{"甲，乙", "丙"}));
  // A lead byte at the very end ends the walk; the rest is kept whole.
  EXPECT_EQ(Members(SplitText("a,\x81")), (Parts{"a", "\x81"}));
}

TEST(ByteBlock, OwnsOrBorrowsItsImage) {
  const ByteBlock owned(std::string_view("xyz"));
  std::uint32_t header[2];
  std::memcpy(header, owned.Image(), sizeof header);
  EXPECT_EQ(header[0], 1u);
  EXPECT_EQ(header[1], 3u);
  EXPECT_EQ(owned.View(), "xyz");
  ByteBlock copy = owned;
  EXPECT_NE(copy.Image(), owned.Image());  // the copy owns its own image
  EXPECT_EQ(copy, owned);
  ByteBlock moved = std::move(copy);
  EXPECT_EQ(moved.View(), "xyz");
  EXPECT_TRUE(copy.IsEmpty());  // NOLINT: moved-from is the empty set

  static const unsigned char kImage[] = {1, 0, 0, 0, 2, 0, 0, 0, 'o', 'k'};
  const ByteBlock borrowed = ByteBlock::OverImage(kImage);
  EXPECT_TRUE(borrowed.IsBorrowed());
  EXPECT_EQ(borrowed.Image(), kImage);
  EXPECT_EQ(borrowed.View(), "ok");
  EXPECT_EQ(ByteBlock(borrowed).Image(), kImage);
  EXPECT_TRUE(ByteBlock(std::string_view()).IsEmpty());
  EXPECT_EQ(ByteBlock().Image(), nullptr);
}

TEST(TextArray, IsNumberedFromOne) {
  TextArray array{"a", "b"};
  array.Append(TextValue("c"));
  EXPECT_EQ(array.Count(), 3);
  EXPECT_EQ(array.At(1), "a");
  EXPECT_EQ(array[3], "c");
  array.At(2) = "changed";
  EXPECT_EQ(array.At(2), "changed");
}

}  // namespace
}  // namespace belvane
