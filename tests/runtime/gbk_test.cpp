#include "runtime/gbk.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace belvane
