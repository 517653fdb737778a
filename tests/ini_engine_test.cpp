// Our INI engine against the behaviour of the Windows profile-string functions
// on real settings files (see also tests/wine_ini for the comparison with the
// system functions themselves).
#include "platform/ini/ini_engine.h"

#include <gtest/gtest.h>

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
const std::string kZe = "\x83\x5B";              // ゼ, trail "["
const std::string kA = "\x82\xA0";               // あ
const std::string kSettei = "\x90\xDD\x92\xE8";  // 設定

struct Read {
  std::uint32_t count = 0;
  std::string text;
  bool terminated = false;
};

Read read(const std::optional<std::string>& file, const std::string& section, const std::string& key,
          const std::string& defaultValue = "", std::uint32_t size = kBuffer) {
  std::vector<char> buffer(size + 1, '#');
  Read result;
  result.count = getProfileString(file, section, key, defaultValue, buffer.data(), size, isCp932LeadByte);
  result.text.assign(buffer.data(), std::min<std::size_t>(result.count, size));
  result.terminated = size == 0 || buffer[result.count] == '\0';
  return result;
}

std::string value(const std::optional<std::string>& file, const std::string& section, const std::string& key,
                  const std::string& defaultValue = "<default>") {
  return read(file, section, key, defaultValue).text;
}

std::string write(const std::optional<std::string>& file, const std::string& section, const std::string& key,
                  const std::string& newValue) {
  return writeProfileString(file, section, key, newValue, isCp932LeadByte);
}

std::string repeat(const std::string& unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

struct ReadCase {
  const char* what;
  std::optional<std::string> file;
  std::string section;
  std::string key;
  std::string expected;
};

void expectReads(const std::vector<ReadCase>& cases) {
  for (const ReadCase& c : cases) {
    const Read got = read(c.file, c.section, c.key, "<default>");
    EXPECT_EQ(got.text, c.expected) << c.what;
    EXPECT_EQ(got.count, c.expected.size()) << c.what;
    EXPECT_TRUE(got.terminated) << c.what;
  }
}

const std::string kBasic = "[Start]\r\nKey=abc\r\nCtrl=1\r\n\r\n[Small]\r\nKey=Z\r\n";

TEST(IniEngineLeadBytes, Cp932Ranges) {
  const struct {
    unsigned char byte;
    bool lead;
  } cases[] = {{0x40, false}, {0x5C, false}, {0x80, false}, {0x81, true}, {0x9F, true},  {0xA0, false},
               {0xB1, false}, {0xDF, false}, {0xE0, true},  {0xFC, true}, {0xFD, false}, {0xFF, false}};
  for (const auto& c : cases) EXPECT_EQ(isCp932LeadByte(c.byte), c.lead) << int(c.byte);
}

TEST(IniEngineRead, MissingFileSectionOrKeyGivesTheDefault) {
  expectReads({
      {"no file", std::nullopt, "Start", "Key", "<default>"},
      {"empty file", std::string(), "Start", "Key", "<default>"},
      {"no such section", kBasic, "Nothing", "Key", "<default>"},
      {"no such key", kBasic, "Start", "Nothing", "<default>"},
      {"key of another section", kBasic, "Small", "Ctrl", "<default>"},
      {"present", kBasic, "Start", "Key", "abc"},
      {"second section", kBasic, "Small", "Key", "Z"},
  });
}

TEST(IniEngineRead, DefaultLosesTrailingSpacesOnly) {
  const struct {
    std::string defaultValue;
    std::string expected;
  } cases[] = {{"def", "def"},     {"def   ", "def"}, {"  def", "  def"}, {"   ", ""}, {"def\t", "def\t"},
               {"\"q\"", "\"q\""}, {"", ""}};
  for (const auto& c : cases) {
    const Read got = read(kBasic, "Start", "Nothing", c.defaultValue);
    EXPECT_EQ(got.text, c.expected) << "[" << c.defaultValue << "]";
    EXPECT_EQ(got.count, c.expected.size());
  }
}

TEST(IniEngineRead, NamesIgnoreCaseAndSurroundingBlanks) {
  const std::string file = "[ MixedCase ]\r\n  \t mIxEd \t =v1\r\n[\tTabbed\t]\r\nk=v2\r\n[" + kA + "]\r\n" +
                           kSo + "=v3\r\n[s]\r\n\x82\x60=full\r\n\x83\x41=a\r\n";
  expectReads({
      {"lower case", file, "mixedcase", "mixed", "v1"},
      {"upper case", file, "MIXEDCASE", "MIXED", "v1"},
      {"spaces around the names passed", file, "  MixedCase  ", "  mixed  ", "v1"},
      {"tabs inside the brackets", file, "tabbed", "k", "v2"},
      {"tab in the section passed", file, "\tTabbed", "k", "<default>"},
      {"tab in the key passed", file, "MixedCase", "mixed\t", "<default>"},
      {"inner space matters", file, "Mixed Case", "mixed", "<default>"},
      {"double-byte names", file, kA, kSo, "v3"},
      // Only ASCII letters fold: full-width A and a are different keys.
      {"full-width letters exact", file, "s", "\x82\x81", "<default>"},
      {"full-width letter itself", file, "s", "\x82\x60", "full"},
      // A trail byte that looks like a letter is not folded: 83 41 and 83 61 differ.
      {"trail byte not folded", file, "s", "\x83\x61", "<default>"},
      {"trail byte itself", file, "s", "\x83\x41", "a"},
  });
}

TEST(IniEngineRead, ValuesLoseBlanksAndOnePairOfQuotes) {
  const std::string file =
      "[v]\r\n"
      "plain=abc\r\n"
      "spaced=  \t a b \t  \r\n"
      "double=\"x y\"\r\n"
      "single='x y'\r\n"
      "mixed=\"x y'\r\n"
      "inside=  \"  x  \"  \r\n"
      "nested=\"'x'\"\r\n"
      "lone=\"\r\n"
      "pair=''\r\n"
      "middle=\"a\"b\"\r\n"
      "wrongorder='\"x'\"\r\n"
      "semicolon=;not a comment\r\n"
      "equals=a=b\r\n"
      "brackets=[x]\r\n"
      "empty=\r\n"
      "blank=   \r\n";
  expectReads({
      {"plain", file, "v", "plain", "abc"},
      {"blanks around", file, "v", "spaced", "a b"},
      {"double quotes", file, "v", "double", "x y"},
      {"single quotes", file, "v", "single", "x y"},
      {"quotes that do not match", file, "v", "mixed", "\"x y'"},
      {"spaces inside quotes stay", file, "v", "inside", "  x  "},
      {"only the outer pair goes", file, "v", "nested", "'x'"},
      {"a lone quote stays", file, "v", "lone", "\""},
      {"empty quotes", file, "v", "pair", ""},
      {"quote in the middle", file, "v", "middle", "a\"b"},
      {"pairs in the wrong order", file, "v", "wrongorder", "'\"x'\""},
      {"semicolon in a value", file, "v", "semicolon", ";not a comment"},
      {"second equals sign", file, "v", "equals", "a=b"},
      {"brackets in a value", file, "v", "brackets", "[x]"},
      {"empty value is not the default", file, "v", "empty", ""},
      {"blank value is empty", file, "v", "blank", ""},
  });
}

TEST(IniEngineRead, CommentsHeadersAndLinesWithoutEquals) {
  const std::string file =
      "orphan=before any section\r\n"
      "; top=comment\r\n"
      "[c] k=after the bracket\r\n"
      ";k=comment\r\n"
      "  \t;k2=indented comment\r\n"
      "k3;x=semicolon inside a key\r\n"
      "just text\r\n"
      "k=value\r\n"
      "[a]b]\r\n"
      "x=first bracket\r\n"
      "[open   \r\n"
      "y=no closing bracket\r\n"
      "plain]\r\n"
      "z=no opening bracket\r\n"
      "[]\r\n"
      "e=empty name\r\n";
  expectReads({
      {"key before any section", file, "", "orphan", "<default>"},
      {"text after ']' is ignored", file, "c", "k", "value"},
      {"comment line", file, "c", ";k", "<default>"},
      {"indented comment", file, "c", ";k2", "<default>"},
      {"comment is not the key", file, "c", "k2", "<default>"},
      {"semicolon inside a key", file, "c", "k3;x", "semicolon inside a key"},
      {"line without '='", file, "c", "just text", "<default>"},
      {"name ends at the first ']'", file, "a", "x", "first bracket"},
      {"whole name with ']' never found", file, "a]b", "x", "<default>"},
      {"header without ']'", file, "open", "y", "no closing bracket"},
      {"no '[' is no header", file, "open", "z", "no opening bracket"},
      {"plain] is not a section", file, "plain", "z", "<default>"},
      {"empty section name", file, "", "e", "empty name"},
  });
}

TEST(IniEngineRead, FirstSectionAndFirstKeyWin) {
  const std::string file = "[d]\r\nk=first\r\nk=second\r\n[e]\r\nx=1\r\n[D]\r\nk=third\r\nonly=in second\r\n";
  expectReads({
      {"duplicate key", file, "d", "k", "first"},
      {"key only in the second section of that name", file, "d", "only", "<default>"},
      {"section between", file, "e", "x", "1"},
  });
}

TEST(IniEngineRead, LineEnds) {
  expectReads({
      {"LF", std::string("[s]\nk=lf\n[t]\nk=t\n"), "s", "k", "lf"},
      {"LF next section", std::string("[s]\nk=lf\n[t]\nk=t\n"), "t", "k", "t"},
      {"lone CR", std::string("[s]\rk=cr\r"), "s", "k", "cr"},
      {"no final line end", std::string("[s]\r\nk=last"), "s", "k", "last"},
      {"CR LF not in the value", std::string("[s]\r\nk=v\r\n"), "s", "k", "v"},
  });
}

TEST(IniEngineRead, Utf8ByteOrderMarkHidesTheFirstHeader) {
  // Windows reads the mark as ANSI text, so the first line is no header.
  const std::string file = "\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n";
  expectReads({
      {"first section lost", file, "s", "k", "<default>"},
      {"later sections read", file, "t", "k", "w"},
  });
}

TEST(IniEngineRead, ShiftJisTrailBytesAreNotSyntax) {
  const std::string file = "[" + kZo + kSo + "]\r\n" + kHyou + "=" + kSo + kZo + "\r\n" + kZo + "=" + kZe +
                           "x" + kZo + "\r\n[" + kSettei + "]\r\n" + kSo + " = \"" + kHyou + "\"\r\n";
  expectReads({
      {"0x5D trail in a section name", file, kZo + kSo, kHyou, kSo + kZo},
      {"0x5D trail alone is not the name", file, kZo.substr(0, 1), kHyou, "<default>"},
      {"0x5D trail in a key and values", file, kZo + kSo, kZo, kZe + "x" + kZo},
      {"quoted double-byte value", file, kSettei, kSo, kHyou},
  });
}

TEST(IniEngineRead, BufferSizes) {
  const std::string file = "[big]\r\nv19999=" + std::string(19999, 'x') +
                           "\r\nv20000=" + std::string(20000, 'y') + "\r\nv20001=" + std::string(20001, 'z') +
                           "\r\nj=" + repeat(kA, 10000) + "\r\nq=\"abcdef\"\r\nk=abcdef\r\n";
  const struct {
    const char* what;
    std::string key;
    std::string defaultValue;
    std::uint32_t size;
    std::string expected;
  } cases[] = {
      {"19999 bytes fit", "v19999", "", kBuffer, std::string(19999, 'x')},
      {"20000 bytes cut to 19999", "v20000", "", kBuffer, std::string(19999, 'y')},
      {"20001 bytes cut to 19999", "v20001", "", kBuffer, std::string(19999, 'z')},
      // Cut by bytes: the last byte is the lead byte of a split character.
      {"double-byte value split", "j", "", kBuffer, repeat(kA, 9999) + kA.substr(0, 1)},
      {"double-byte split small", "j", "", 4, kA + kA.substr(0, 1)},
      {"double-byte whole", "j", "", 5, kA + kA},
      {"quoted value cut after unquoting", "q", "", 7, "abcdef"},
      {"quoted value cut short", "q", "", 5, "abcd"},
      {"value cut", "k", "", 4, "abc"},
      {"size one", "k", "", 1, ""},
      {"default cut", "none", "defaults", 4, "def"},
      {"double-byte default split", "none", repeat(kA, 3), 4, kA + kA.substr(0, 1)},
  };
  for (const auto& c : cases) {
    const Read got = read(file, "big", c.key, c.defaultValue, c.size);
    EXPECT_EQ(got.count, c.expected.size()) << c.what;
    EXPECT_EQ(got.text, c.expected) << c.what;
    EXPECT_TRUE(got.terminated) << c.what;
  }
}

TEST(IniEngineRead, ZeroSizeLeavesTheBufferAlone) {
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(getProfileString(kBasic, "Start", "Key", "def", buffer, 0, isCp932LeadByte), 0u);
  EXPECT_EQ(buffer[0], '#');
}

TEST(IniEngineRead, ValueLengthIsHeldIn16Bits) {
  const std::string file =
      "[s]\r\nk=" + std::string(65537, 'x') + "\r\nm=" + std::string(65535, 'y') + "\r\n";
  EXPECT_EQ(read(file, "s", "k", "def", 70000).text, "x");
  EXPECT_EQ(read(file, "s", "m", "def", 70000).count, 65535u);
}

// --- Writing ----------------------------------------------------------------

struct WriteCase {
  const char* what;
  std::optional<std::string> file;
  std::string section;
  std::string key;
  std::string value;
  std::string expected;
};

TEST(IniEngineWrite, EditsInPlace) {
  const std::vector<WriteCase> cases = {
      {"no file", std::nullopt, "Start", "Key", "v", "[Start]\r\nKey=v\r\n"},
      {"empty file", std::string(), "Start", "Key", "v", "[Start]\r\nKey=v\r\n"},
      {"names lose their spaces, the value keeps them", std::nullopt, "  sec  ", "  key  ", " value ",
       "[sec]\r\nkey= value \r\n"},
      {"tab in a name stays", std::nullopt, "s", "k\t", "v", "[s]\r\nk\t=v\r\n"},
      {"new section after a blank line", std::string("[a]\r\nx=1\r\n"), "b", "y", "2",
       "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n"},
      {"new section after a last line without line end", std::string("[a]\r\nx=1"), "b", "y", "2",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
      {"new key after the section's last line", std::string("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"), "a", "n", "3",
       "[a]\r\nx=1\r\nn=3\r\n[b]\r\ny=2\r\n"},
      {"new key before the blank lines", std::string("[a]\r\nx=1\r\n\r\n\r\n[b]\r\n"), "A", "n", "3",
       "[a]\r\nx=1\r\nn=3\r\n\r\n\r\n[b]\r\n"},
      {"new key after a comment closing the section", std::string("[a]\r\nx=1\r\n; end\r\n\r\n[b]\r\n"), "a",
       "n", "3", "[a]\r\nx=1\r\n; end\r\nn=3\r\n\r\n[b]\r\n"},
      {"new key under a header without line end", std::string("[a]"), "a", "n", "3", "[a]\r\nn=3\r\n"},
      {"new key after a last line without line end", std::string("[a]\r\nx=1"), "a", "n", "3",
       "[a]\r\nx=1\r\nn=3\r\n"},
      {"new keys in an LF file end in CR LF", std::string("[a]\nx=1\n"), "a", "n", "3", "[a]\nx=1\nn=3\r\n"},
      {"replace keeps the key's spelling", std::string("[Sec]\r\nKey=old\r\nOther=o\r\n"), "SEC", "KEY",
       "new", "[Sec]\r\nKey=new\r\nOther=o\r\n"},
      {"replace keeps the blanks before '='", std::string("[s]\r\n  k \t=  old value  \r\n"), "s", "k", "new",
       "[s]\r\n  k \t=new\r\n"},
      {"replace keeps an LF line end", std::string("[s]\nk=old\nm=1\n"), "s", "k", "new",
       "[s]\nk=new\nm=1\n"},
      {"replace in a last line without line end", std::string("[s]\r\nk=old"), "s", "k", "new",
       "[s]\r\nk=new\r\n"},
      {"replace with an empty value", std::string("[s]\r\nk=old\r\n"), "s", "k", "", "[s]\r\nk=\r\n"},
      {"replace the first of duplicate keys", std::string("[s]\r\nk=1\r\nk=2\r\n"), "s", "k", "9",
       "[s]\r\nk=9\r\nk=2\r\n"},
      {"write into the first of duplicate sections", std::string("[d]\r\nk=1\r\n[d]\r\nm=2\r\n"), "d", "m",
       "3", "[d]\r\nk=1\r\nm=3\r\n[d]\r\nm=2\r\n"},
      {"a line without '=' is no key", std::string("[s]\r\nk\r\n"), "s", "k", "v", "[s]\r\nk\r\nk=v\r\n"},
      {"a key starting with ';' is added as a comment", std::string("[s]\r\n;k=1\r\n"), "s", ";k", "2",
       "[s]\r\n;k=1\r\n;k=2\r\n"},
      {"a name with ']' cannot be found again", std::string("[a]b]\r\nx=1\r\n"), "a]b", "x", "2",
       "[a]b]\r\nx=1\r\n\r\n[a]b]\r\nx=2\r\n"},
      {"byte-order mark hides the first header", std::string("\xEF\xBB\xBF[s]\r\nk=1\r\n"), "s", "k", "2",
       "\xEF\xBB\xBF[s]\r\nk=1\r\n\r\n[s]\r\nk=2\r\n"},
      {"0x5D trail byte in the section found", "[" + kZo + "]\r\n" + kSo + "=1\r\n", kZo, kSo, kHyou,
       "[" + kZo + "]\r\n" + kSo + "=" + kHyou + "\r\n"},
      {"trail byte letter not folded", std::string("[s]\r\n\x83\x41=1\r\n"), "s", "\x83\x61", "2",
       "[s]\r\n\x83\x41=1\r\n\x83\x61=2\r\n"},
  };
  for (const WriteCase& c : cases) EXPECT_EQ(write(c.file, c.section, c.key, c.value), c.expected) << c.what;
}

TEST(IniEngineWrite, EverythingElseStaysByteForByte) {
  const std::string head = "; settings of the launcher\r\n\r\n[Start]\r\n  Ctrl = 1   ; spaced\r\nKey=";
  const std::string tail =
      "\r\n\tAlt=0\n"
      "; about the next section\r\n"
      "\r\n"
      "[" +
      kSettei + "]\r\n" + kSo + "=" + kHyou + "\r\n";
  const std::string before = head + "abc" + tail;
  EXPECT_EQ(write(before, "start", "key", kA + "x"), head + kA + "x" + tail);
  EXPECT_EQ(write(before, "start", "key", "abc"), before);
  const std::string added = write(before, kSettei, "New", "1");
  EXPECT_EQ(added, before + "New=1\r\n");
  const std::string appended = write(before, "Other", "k", "v");
  EXPECT_EQ(appended, before + "\r\n[Other]\r\nk=v\r\n");
}

TEST(IniEngineWrite, KeysKeepTheirOrder) {
  std::optional<std::string> file = std::string("[s]\r\nb=value\r\na=value\r\n");
  for (const char* key : {"z", "b", "y", "a"}) file = write(file, "s", key, "");
  EXPECT_EQ(*file, "[s]\r\nb=\r\na=\r\nz=\r\ny=\r\n");
}

TEST(IniEngineRoundTrip, WrittenValuesReadBack) {
  const struct {
    std::string section;
    std::string key;
    std::string value;
    std::string readBack;
  } cases[] = {
      {"Start", "Key", "abc", "abc"},
      {"Start", "Path", "C:\\Program Files\\" + kSo + kHyou + "\\x.exe",
       "C:\\Program Files\\" + kSo + kHyou + "\\x.exe"},
      {kZo + kSo, kHyou, kZe + "]" + kZo, kZe + "]" + kZo},
      {kSettei, "empty", "", ""},
      {"Start", "eq", "a=b;c[d]", "a=b;c[d]"},
      {"Start", "quoted", "\"  x  \"", "  x  "},
      // The functions do not escape: blanks around a value are lost on the way back.
      {"Start", "spaced", "  x  ", "x"},
      {"Start", "long", std::string(19999, 'w'), std::string(19999, 'w')},
  };
  std::optional<std::string> file;
  for (const auto& c : cases) file = write(file, c.section, c.key, c.value);
  for (const auto& c : cases) {
    EXPECT_EQ(value(file, c.section, c.key), c.readBack) << c.key;
    // Writing the same again leaves the file as it is.
    EXPECT_EQ(write(file, c.section, c.key, c.value), *file) << c.key;
  }
  // Rewriting a value changes that one only.
  const std::string changed = write(file, "start", "KEY", "new");
  EXPECT_EQ(value(changed, "Start", "Key"), "new");
  for (const auto& c : cases) {
    if (c.key != "Key") {
      EXPECT_EQ(value(changed, c.section, c.key), c.readBack) << c.key;
    }
  }
}

}  // namespace
