// Code page 932 conversion of the simulated desktop: what the favourites and
// settings files hold on disk. Each character is compared with the system's
// table by tests/wine_ini/cp932_check; here, runs of text and the rules that
// the conversion adds to iconv's.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/codepage_iconv.h"

namespace pyx {
namespace {

TEST(Cp932, TextAndBytesConvertBothWays) {
  const IconvCodePage cp{"CP932"};
  const struct {
    Text text;
    Bytes bytes;
  } cases[] = {{u"C:\\Program Files\\メモ帳.exe~", "C:\\Program Files\\\x83\x81\x83\x82\x92\xA0.exe~"},
               // Trail bytes that look like ASCII stay part of their character.
               {u"表\\ソ]ゾ", "\x95\x5C\x5C\x83\x5C]\x83\x5D"},
               {u"abcdxあxい漾黑", "abcdx\x82\xA0x\x82\xA2\xE0\x40\xFC\x4B"},
               // Single bytes that the system maps to private use, and the user-defined area.
               {u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3\uE000", "\x80\xA0\xFD\xFE\xFF\xF0\x40"},
               {Text(u"a\0\0", 3), Bytes("a\0\0", 3)}};
  for (const auto& c : cases) {
    EXPECT_EQ(cp.toAnsi(c.text), c.bytes);
    EXPECT_EQ(cp.fromAnsi(c.bytes), c.text);
  }
  EXPECT_THROW(IconvCodePage{"NO-SUCH-CODE-PAGE"}, std::runtime_error);
}

TEST(Cp932, FollowsTheSystemWhereItDiffersFromIconv) {
  const IconvCodePage cp{"CP932"};
  EXPECT_EQ(cp.toAnsi(u"ÀÁÇØçøÿ ¥¦©®²³¹"), "AACOcoy \\|cR231") << "the system's fallbacks to ASCII";
  EXPECT_EQ(cp.toAnsi(u"×÷"), "\x81\x7E\x81\x80") << "signs among the accented letters are no letters";
  EXPECT_EQ(cp.toAnsi(u"ÆæÞþßĀ한—‖‾−〜"), "????????????") << "no fallback, and JIS variants it does not map";
  EXPECT_EQ(cp.toAnsi(u"x\U0001F600y"), "x??y") << "one for each half of a surrogate pair";
  EXPECT_EQ(cp.fromAnsi("\x83\x81\x83"), u"メ・") << "half a double-byte character is a character of its own";
}

}  // namespace
}  // namespace pyx
