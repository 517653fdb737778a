// Our INI engine against the behaviour of the Windows profile-string functions
// on real settings files. tests/wine_ini compares it with the system functions
// on generated files; here, the cases where it follows Windows rather than
// Wine, and the edge of each rule.
#include "platform/ini/ini_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using pyx::ini::getProfileString;
using pyx::ini::isCp932LeadByte;
using pyx::ini::writeProfileString;

constexpr std::uint32_t kBuffer = 20000;  // the program's read buffer

// Shift-JIS text whose trail bytes look like ASCII syntax.
const std::string kSo = "\x83\x5C";              // ソ, trail "\"
const std::string kHyou = "\x95\x5C";            // 表, trail "\"
const std::string kZo = "\x83\x5D";              // ゾ, trail "]"
const std::string kA = "\x82\xA0";               // あ
const std::string kSettei = "\x90\xDD\x92\xE8";  // 設定

TEST(IniEngine, Cp932LeadBytes) {
  const struct {
    unsigned char byte;
    bool lead;
  } cases[] = {{0x40, false}, {0x5C, false}, {0x80, false}, {0x81, true}, {0x9F, true},  {0xA0, false},
               {0xB1, false}, {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}, {0xFF, false}};
  for (const auto& c : cases) EXPECT_EQ(isCp932LeadByte(c.byte), c.lead) << int(c.byte);
}

// The reads' file: names with blanks and tabs around them, comments, quoted
// values and the headers Windows reads otherwise than Wine.
const std::string kFile =
    "[ MixedCase ]\r\n  \t mIxEd \t =v1\r\n"
    "[\tTabbed\t]\r\nk=v2\r\n"
    "[c]\r\n;k=comment\r\n  \t;k2=indented\r\nspaced=  \t a b \t  \r\nsingle='x y'\r\npair=''\r\n"
    "[a]b]\r\nx=first bracket\r\n"
    "[open   \r\ny=no closing bracket\r\n";
const std::string kShort = "[s]\r\nj=" + kA + kA + kA + "\r\nq=\"abcdef\"\r\n";

struct ReadCase {
  const char* what;
  std::optional<std::string> file;
  std::string section, key, expected;
  std::string defaultValue = "<default>";
  std::uint32_t size = kBuffer;
};

const std::vector<ReadCase> kReads = {
    {"an all-space default is empty", kFile, "c", "none", "", "   "},
    {"quotes and tabs of the default stay", kFile, "c", "none", "\"q\"\t", "\"q\"\t  "},
    {"names passed lose their spaces", kFile, "   MixedCase ", " mixed   ", "v1"},
    {"a tab in the section passed stays", kFile, "\tTabbed", "k", "<default>"},
    {"a tab in the key passed stays", kFile, "MixedCase", "mixed\t", "<default>"},
    {"single quotes", kFile, "c", "single", "x y"},
    {"empty quotes", kFile, "c", "pair", ""},
    {"a key starting with ';' is a comment", kFile, "c", ";k", "<default>"},
    {"indented comment", kFile, "c", ";k2", "<default>"},
    {"the name ends at the first ']'", kFile, "a", "x", "first bracket"},
    {"a name with ']' is never found", kFile, "a]b", "x", "<default>"},
    {"a header without ']' counts", kFile, "open", "y", "no closing bracket"},
    {"lone CR", "[s]\rk=cr\r", "s", "k", "cr"},
    // Windows reads a UTF-8 byte-order mark as ANSI text, so the first line is no header.
    {"byte-order mark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "<default>"},
    // Cut by bytes: the last byte is the lead byte of a split character.
    {"double-byte value split", kShort, "s", "j", kA + kA.substr(0, 1), "", 4},
    {"double-byte default split", kShort, "s", "none", kA + kA.substr(0, 1), kA + kA + kA, 4},
    {"a quoted value that just fits", kShort, "s", "q", "abcdef", "", 7},
    {"size zero leaves the buffer alone", kShort, "s", "q", "", "def", 0},
    // Windows holds the length of a value in 16 bits.
    {"65537 bytes come back as 1", "[s]\r\nk=" + std::string(65537, 'x'), "s", "k", "x", "def", 70000},
};

class IniEngineRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniEngineRead, GivesWhatWindowsGives) {
  const ReadCase& c = GetParam();
  std::vector<char> buffer(c.size + 1, '#');
  const std::uint32_t count =
      getProfileString(c.file, c.section, c.key, c.defaultValue, buffer.data(), c.size, isCp932LeadByte);
  EXPECT_EQ(std::string(buffer.data(), std::min<std::size_t>(count, c.size)), c.expected) << c.what;
  EXPECT_EQ(count, c.expected.size()) << c.what;
  // Terminated by a NUL; a buffer of size 0 is left as it was.
  EXPECT_EQ(buffer[count], c.size > 0 ? '\0' : '#') << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniEngineRead, testing::ValuesIn(kReads));

// A settings file as users keep it: comments, blanks, a line ending in LF.
const std::string kHead = "; settings of the launcher\r\n\r\n[Start]\r\n  Ctrl = 1   ; spaced\r\n  Key \t=";
const std::string kTail =
    "\r\n\tAlt=0\n; about the next section\r\n\r\n[" + kSettei + "]\r\n" + kSo + "=" + kHyou + "\r\n";

struct WriteCase {
  const char* what;
  std::optional<std::string> file;
  std::string section, key, value, expected;
};

const std::vector<WriteCase> kWrites = {
    {"names lose their spaces, the value keeps them", std::nullopt, "   sec ", " key   ", " value ",
     "[sec]\r\nkey= value \r\n"},
    {"a tab in a name stays", std::nullopt, "s", "k\t", "v", "[s]\r\nk\t=v\r\n"},
    {"a new section comes after a blank line", "[a]\r\nx=1\r\n", "b", "y", "2",
     "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n"},
    {"a new key comes before the blank lines, its line in CR LF", "[a]\nx=1\n\n\n[b]\n", "A", "n", "3",
     "[a]\nx=1\nn=3\r\n\n\n[b]\n"},
    {"new key under a header without line end", "[a]", "a", "n", "3", "[a]\r\nn=3\r\n"},
    {"replace in a last line without line end", "[s]\r\nk=old", "s", "k", "new", "[s]\r\nk=new\r\n"},
    {"write into the first of duplicate sections", "[d]\r\nk=1\r\n[d]\r\nm=2\r\n", "d", "m", "3",
     "[d]\r\nk=1\r\nm=3\r\n[d]\r\nm=2\r\n"},
    {"a key starting with ';' is added as a comment", "[s]\r\n;k=1\r\n", "s", ";k", "2",
     "[s]\r\n;k=1\r\n;k=2\r\n"},
    {"a name with ']' cannot be found again", "[a]b]\r\nx=1\r\n", "a]b", "x", "2",
     "[a]b]\r\nx=1\r\n\r\n[a]b]\r\nx=2\r\n"},
    {"byte-order mark hides the first header", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "2",
     "\xEF\xBB\xBF[s]\r\nk=1\r\n\r\n[s]\r\nk=2\r\n"},
    {"0x5D trail byte in the section found", "[" + kZo + "]\r\n" + kSo + "=1\r\n", kZo, kSo, kHyou,
     "[" + kZo + "]\r\n" + kSo + "=" + kHyou + "\r\n"},
    {"trail byte letter not folded", "[s]\r\n\x83\x41=1\r\n", "s", "\x83\x61", "2",
     "[s]\r\n\x83\x41=1\r\n\x83\x61=2\r\n"},
    // Only the edited line changes, whatever the file's layout.
    {"every other byte stays", kHead + "  abc  " + kTail, "start", "key", kA + "x", kHead + kA + "x" + kTail},
};

class IniEngineWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniEngineWrite, WritesWhatWindowsWrites) {
  const WriteCase& c = GetParam();
  EXPECT_EQ(writeProfileString(c.file, c.section, c.key, c.value, isCp932LeadByte), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, IniEngineWrite, testing::ValuesIn(kWrites));

}  // namespace
