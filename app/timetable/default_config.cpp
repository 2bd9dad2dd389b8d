#include "app/timetable/default_config.h"

#include <string>

namespace belvane {

namespace {

constexpr std::size_t kDefaultConfigSize = 356;

// The carried form: a constant {1, n, bytes} image that the byte block borrows, never copies.
// The sources are UTF-8 and compiled to GBK, so the literal holds the file's GBK bytes.
struct DefaultConfigImage {
  ByteImageHeader header;
  char bytes[kDefaultConfigSize + 1];  // the literal's NUL rides along, outside the count
};

constexpr DefaultConfigImage kDefaultConfigImage = {{1, kDefaultConfigSize},
                                                    "[time]\r\n"
                                                    "1=08:30:00\r\n"
                                                    "2=08:40:00\r\n"
                                                    "3=08:45:00\r\n"
                                                    "4=08:50:00\r\n"
                                                    "5=09:00:00\r\n"
                                                    "6=10:45:00\r\n"
                                                    "7=11:00:00\r\n"
                                                    "[music]\r\n"
                                                    "1=1.组织考生进入考场.m4a\r\n"
                                                    "2=2.宣读考试规则.m4a\r\n"
                                                    "3=3.监考员启封试卷袋.m4a\r\n"
                                                    "4=4.分发试题卷和答题卷.m4a\r\n"
                                                    "5=5.请考生开始答题.m4a\r\n"
                                                    "6=6.考前15分钟提醒.m4a\r\n"
                                                    "7=7.停止答题.m4a\r\n"
                                                    "[remark]\r\n"
                                                    "1=30600\r\n"
                                                    "2=31200\r\n"
                                                    "3=31500\r\n"
                                                    "4=31800\r\n"
                                                    "5=32400\r\n"
                                                    "6=38700\r\n"
                                                    "7=39600\r\n"
                                                    "[total]\r\n"
                                                    "n=7\r\n"};

// A literal one byte short would leave a NUL inside the count; one byte long does not compile.
static_assert(std::char_traits<char>::length(kDefaultConfigImage.bytes) == kDefaultConfigSize);

}  // namespace

std::string_view DefaultConfigBytes() {
  return {kDefaultConfigImage.bytes, kDefaultConfigSize};
}

ByteBlock DefaultConfigText() {
  return ByteBlock::OverImage(&kDefaultConfigImage);
}

}  // namespace belvane
