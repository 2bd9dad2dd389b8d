#include "runtime/text_value.h"

#include <gtest/gtest.h>

namespace belvane {
namespace {

TEST(TextValue, NullAndEmptyAreTheSameText) {
  EXPECT_EQ(TextValue(static_cast<const char*>(nullptr)), TextValue(""));
  EXPECT_STREQ(TextValue().CStr(), "");
  EXPECT_TRUE(TextValue(nullptr).IsEmpty());
}

TEST(TextValue, OrdersUnsignedBytesNotNumbers) {
  EXPECT_LT(TextValue("10"), TextValue("9"));
  // A GBK lead byte (0xB2) sorts above every ASCII byte.
  EXPECT_GT(TextValue("测"), TextValue("z"));
  EXPECT_EQ(TextValue("时间").Length(), 4u);  // GBK: two bytes a character
}

}  // namespace
}  // namespace belvane
