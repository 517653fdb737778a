// Code page 932 conversion of the simulated desktop: what the favourites and
// settings files hold on disk.
#include <gtest/gtest.h>

#include "platform/codepage_iconv.h"

namespace pyx {
namespace {

class Cp932 : public ::testing::Test {
 protected:
  IconvCodePage cp{"CP932"};
};

TEST_F(Cp932, JapaneseTakesTwoBytesAndRoundTrips) {
  Text memo = u"メモ帳";
  EXPECT_EQ(cp.toAnsi(memo), "\x83\x81\x83\x82\x92\xA0");
  EXPECT_EQ(cp.fromAnsi(cp.toAnsi(memo)), memo);
}

TEST_F(Cp932, TrailBytesThatLookLikeAsciiStayPartOfTheirCharacter) {
  // 表 and ソ end in 0x5C (a backslash), ゾ in 0x5D ("]").
  Text text = u"表\\ソ]ゾ";
  Bytes bytes = cp.toAnsi(text);
  EXPECT_EQ(bytes, "\x95\x5C\x5C\x83\x5C]\x83\x5D");
  EXPECT_EQ(cp.fromAnsi(bytes), text);
}

TEST_F(Cp932, BackslashAndTildeStayAscii) {
  EXPECT_EQ(cp.toAnsi(u"C:\\~x"), "C:\\~x");
  EXPECT_EQ(cp.fromAnsi("C:\\~x"), u"C:\\~x");
}

TEST_F(Cp932, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(cp.toAnsi(u"a한b"), "a?b");
  EXPECT_EQ(cp.toAnsi(u"x\U0001F600y"), "x??y")
      << "one for each half of a surrogate pair, as the system does";
}

TEST_F(Cp932, FollowsTheSystemWhereItDiffersFromIconv) {
  EXPECT_EQ(cp.toAnsi(u"caf\u00E9 \u00A9"), "cafe c") << "accented letters and signs fall back to ASCII";
  EXPECT_EQ(cp.toAnsi(u"\u2212\u301C\u2014"), "???") << "JIS variants the system does not map";
  EXPECT_EQ(cp.fromAnsi("\x80\xA0\xFD\xFE\xFF"), u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
  EXPECT_EQ(cp.toAnsi(u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"), "\x80\xA0\xFD\xFE\xFF");
}

TEST_F(Cp932, HalfADoubleByteCharacterDecodesToACharacterOfItsOwn) {
  // A cut through a double-byte character leaves its lead byte alone; it must
  // not decode to nothing or to a character of the text.
  Text cut = cp.fromAnsi("\x83\x81\x83");
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0], u'メ');
  EXPECT_NE(cut[1], u'モ');
}

TEST_F(Cp932, NulBytesSurviveConversion) {
  EXPECT_EQ(cp.fromAnsi(Bytes("a\0\0", 3)), Text(u"a\0\0", 3));
}

}  // namespace
}  // namespace pyx
