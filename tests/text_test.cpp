// The text helpers: key codes read as numbers, and UTF-8 both ways (what
// error descriptions and the simulated desktop's paths go through).
#include "core/text.h"

#include "tests/sim_fixture.h"

namespace pyx {
namespace {

TEST(Text, IntegersAsStoredKeyCodesAreRead) {
  const struct {
    const char16_t* text;
    std::int64_t value;  // or the error it raises
    std::int32_t error;
  } cases[] = {{u" 112 ", 112, 0},
               {u"+112", 112, 0},
               {u"-1", -1, 0},
               {u"-32768", -32768, 0},
               {u"32767", 32767, 0},
               {u"32768", 0, ErrOverflow},
               {u"-32769", 0, ErrOverflow},
               {u"", 0, ErrTypeMismatch},
               {u"+", 0, ErrTypeMismatch},
               {u"1x", 0, ErrTypeMismatch},
               {u"99999999999999999999", 0, ErrOverflow}};
  for (const auto& c : cases) {
    std::int64_t value = 0;
    EXPECT_EQ(testing::errorOf([&] { value = parseInteger(c.text, -32768, 32767); }), c.error)
        << toUtf8(c.text);
    EXPECT_EQ(value, c.value) << toUtf8(c.text);
  }
}

TEST(Text, Utf8BothWays) {
  const struct {
    Text text;
    std::string utf8;
  } cases[] = {{u"a\u007F", "a\x7F"},
               {u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
               {u"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
               {u"\xD800\xDC00\xDBFF\xDFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"}};
  for (const auto& c : cases) {
    EXPECT_EQ(toUtf8(c.text), c.utf8);
    EXPECT_EQ(fromUtf8(c.utf8), c.text);
  }
  // A lone surrogate is written as it is; bytes that are no UTF-8 read as U+FFFD each.
  EXPECT_EQ(toUtf8(Text(u"\xDC00\xDC00", 2)), "\xED\xB0\x80\xED\xB0\x80");
  EXPECT_EQ(toUtf8(Text(u"\xD800", 1)), "\xED\xA0\x80");
  EXPECT_EQ(fromUtf8("\xC3"), u"\uFFFD");
  EXPECT_EQ(fromUtf8("\xF8\x80x"), u"\uFFFD\uFFFDx");
}

}  // namespace
}  // namespace pyx
