// Differential test of our INI engine against the system's own
// GetPrivateProfileStringA / WritePrivateProfileStringA, run under Wine with
// the ANSI code page 932 (see run.sh beside this file).
//
// Every scenario starts from a file content (or no file), then applies a
// sequence of writes and reads twice: once through the system functions on a
// real file in a temporary directory, once through our engine on bytes. Each
// read compares the returned count and the bytes copied (NUL included). File
// bytes are compared only in scenarios where Wine keeps the layout Windows
// writes; Wine rewrites the whole file on every write (drops blank lines,
// blanks around "=", its own idea of section spacing) while Windows, and so
// our engine, edits the file in place.
//
// Where Wine is known to differ from Windows the read is marked with the
// difference and with what Wine gives; the engine follows Windows. Such a read
// counts as explained only when Wine gives exactly that, and as a mismatch
// otherwise (also when the difference no longer shows).
//
// Usage: ini_diff.exe [table-file]   (default table file: cp932_table.txt)
// Exit status 0 when every comparison matched or was explained.
//
// The code-page table: "mb <bytes> <utf16>" for every single byte and every
// double-byte code (lead 81-9F,E0-FC, trail 40-7E,80-FC) as MultiByteToWideChar
// converts it, "wc <utf16> <bytes>" for characters the code page may not hold
// as WideCharToMultiByte does, in the hexadecimal of cp932_hex.h.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cp932_hex.h"
#include "platform/ini/ini_engine.h"

namespace {

constexpr std::uint32_t kBufferBytes = 20000;  // the program's read buffer

// Known ways in which Wine's profile functions differ from Windows. The engine
// follows Windows in each.
enum class WineDiff {
  None,
  // Windows ends a section name at the first "]", Wine at the last.
  FirstBracket,
  // Windows never finds a key starting with ";" (the line is a comment); Wine
  // finds it.
  CommentKey,
  // Windows does not recognise a UTF-8 byte-order mark, so a header on the
  // first line is lost; Wine skips the mark.
  Utf8Bom,
  // Windows copies the default as given; Wine strips quotes from it too.
  QuotedDefault,
  // Windows drops all trailing spaces of the default; Wine keeps one when the
  // default is nothing but spaces.
  SpacesOnlyDefault,
  // Wine drops the last character of a quoted value when the buffer holds the
  // unquoted value and its NUL exactly (it cuts before unquoting).
  QuotedValueFullBuffer,
  // Windows cuts by bytes and may split a double-byte character; Wine cuts in
  // characters and leaves the last byte of the buffer unwritten while still
  // counting it.
  CutDoubleByte,
  // Windows strips only spaces from the names the program passes; Wine also
  // strips tabs.
  TabInName,
  // Windows writes a new section or key without the trailing spaces of the
  // name passed; Wine keeps them, and then cannot find the name it wrote.
  NewNameTrailingSpace,
  // Windows takes "[name" without "]" as a section header; Wine ignores it.
  MissingBracket,
};

const char* describe(WineDiff diff) {
  switch (diff) {
    case WineDiff::None:
      return "none";
    case WineDiff::FirstBracket:
      return "section name ends at the first ']' on Windows, the last on Wine";
    case WineDiff::CommentKey:
      return "a key starting with ';' is a comment on Windows, found by Wine";
    case WineDiff::Utf8Bom:
      return "UTF-8 byte-order mark read as ANSI text on Windows, skipped by Wine";
    case WineDiff::QuotedDefault:
      return "quotes around the default kept on Windows, stripped by Wine";
    case WineDiff::SpacesOnlyDefault:
      return "an all-space default becomes empty on Windows, one space on Wine";
    case WineDiff::QuotedValueFullBuffer:
      return "Wine loses the last character of a quoted value that just fits";
    case WineDiff::CutDoubleByte:
      return "cut through a double-byte character: Windows copies the lead byte, Wine leaves it unwritten";
    case WineDiff::TabInName:
      return "tabs around a name passed by the program kept on Windows, stripped by Wine";
    case WineDiff::NewNameTrailingSpace:
      return "trailing spaces of a new name dropped on Windows, kept by Wine";
    case WineDiff::MissingBracket:
      return "a header without ']' counts on Windows, not on Wine";
  }
  return "?";
}

struct Op {
  bool write = false;
  std::string section;
  std::string key;
  std::string text;  // value written, or default of a read
  std::uint32_t size = kBufferBytes;
  WineDiff diff = WineDiff::None;
  std::string wineGives;  // with a difference: Wine's bytes (unwritten bytes show as '#')
};

struct Scenario {
  Scenario() = default;
  Scenario(std::string name_, std::optional<std::string> initial_, std::vector<Op> ops_, bool compareFile_)
      : name(std::move(name_)),
        initial(std::move(initial_)),
        ops(std::move(ops_)),
        compareFile(compareFile_) {}

  std::string name;
  std::optional<std::string> initial;
  std::vector<Op> ops;
  bool compareFile = false;
  WineDiff fileDiff = WineDiff::None;  // with a difference: the file Wine writes
  std::string wineFileGives;
};

Op read(std::string section, std::string key, std::string defaultValue = "",
        std::uint32_t size = kBufferBytes) {
  Op op;
  op.section = std::move(section);
  op.key = std::move(key);
  op.text = std::move(defaultValue);
  op.size = size;
  return op;
}

Op readDiff(WineDiff diff, std::string wineGives, std::string section, std::string key,
            std::string defaultValue = "", std::uint32_t size = kBufferBytes) {
  Op op = read(std::move(section), std::move(key), std::move(defaultValue), size);
  op.diff = diff;
  op.wineGives = std::move(wineGives);
  return op;
}

Op write(std::string section, std::string key, std::string value) {
  Op op;
  op.write = true;
  op.section = std::move(section);
  op.key = std::move(key);
  op.text = std::move(value);
  return op;
}

std::string printable(const std::string& bytes, std::size_t limit = 120) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == limit) {
      out += "...(" + std::to_string(bytes.size()) + " bytes)";
      break;
    }
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Hand-picked scenarios.

// Shift-JIS text used below: trail bytes 0x5C ("\") and 0x5D ("]") included.
const std::string kSo = "\x83\x5C";                       // ソ
const std::string kHyou = "\x95\x5C";                     // 表
const std::string kZo = "\x83\x5D";                       // ゾ
const std::string kJuu = "\x8F\x5C";                      // 十
const std::string kA = "\x82\xA0";                        // あ
const std::string kSettei = "\x90\xDD\x92\xE8";           // 設定
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語

std::string repeat(const std::string& unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

std::vector<Scenario> handPicked() {
  std::vector<Scenario> all;
  const std::string basic = "[Start]\r\nKey=abc\r\nCtrl=1\r\n\r\n[Small]\r\nKey=Z\r\n";

  all.push_back({"missing file", std::nullopt, {read("Start", "Key", "def"), read("Start", "Key")}, false});
  all.push_back(
      {"missing section and key",
       basic,
       {read("Nothing", "Key", "def"), read("Start", "Nothing", "def"), read("Start", "Key", "def")},
       false});
  all.push_back({"case and spaces in names",
                 "[ MixedCase ]\r\n  mIxEd  =  v1  \r\n",
                 {read("mixedcase", "MIXED"), read("  MIXEDCASE  ", " mixed "), read("MixedCase", "mixed x")},
                 false});
  all.push_back({"quotes",
                 "[q]\r\na=\"x y\"\r\nb='x y'\r\nc=\"x y'\r\nd=  \"  x  \"  \r\ne=\"\r\nf=''\r\ng=\"'x'\"\r\n"
                 "h=\"a\"b\"\r\n",
                 {read("q", "a"), read("q", "b"), read("q", "c"), read("q", "d"), read("q", "e"),
                  read("q", "f"), read("q", "g"), read("q", "h")},
                 false});
  all.push_back({"comments and lines without =",
                 "; top=1\r\n[c]\r\n;k=comment\r\n  ; k2=comment\r\nk=value ; not a comment\r\njust text\r\n"
                 "k3=;x\r\n",
                 {read("c", "k"), read("c", "k2", "def"), read("c", "just text", "def"), read("c", "k3"),
                  read("c", "top", "def")},
                 false});
  all.push_back({"duplicates",
                 "[d]\r\nk=first\r\nk=second\r\n[e]\r\nx=1\r\n[D]\r\nk=third\r\nonly=second section\r\n",
                 {read("d", "k"), read("d", "only", "def"), read("e", "x")},
                 false});
  all.push_back({"empty values and defaults",
                 "[e]\r\nempty=\r\nblank=   \r\n",
                 {read("e", "empty", "def"), read("e", "blank", "def"), read("e", "none", "trail   "),
                  read("e", "none", "  lead"), read("e", "none", "")},
                 false});
  all.push_back({"line ends",
                 "[lf]\nk=lf\n[cr]\rk=cr\r[crlf]\r\nk=crlf",
                 {read("lf", "k"), read("cr", "k"), read("crlf", "k")},
                 false});
  all.push_back(
      {"Japanese with 5C and 5D trail bytes",
       "[" + kZo + kSo + "]\r\n" + kHyou + "=" + kJuu + kSo + "\r\n" + kSo + "=" + kA + kZo + "\r\n[" +
           kSettei + "]\r\n" + kNihongo + "=[" + kZo + "]\r\n",
       {read(kZo + kSo, kHyou), read(kZo + kSo, kSo), read(kSettei, kNihongo), read(kZo, kHyou, "def")},
       false});
  all.push_back({"full-width letters compare exactly",
                 "[s]\r\n\x82\x60=upper\r\n",  // Ａ
                 {read("s", "\x82\x81", "def"), read("s", "\x82\x60")},
                 false});

  {
    // Values around the program's buffer size.
    std::string file = "[big]\r\n";
    file += "v19999=" + std::string(19999, 'x') + "\r\n";
    file += "v20000=" + std::string(20000, 'y') + "\r\n";
    file += "v20001=" + std::string(20001, 'z') + "\r\n";
    file += "j19999=x" + repeat(kA, 9999) + "\r\n";
    file += "j20000=" + repeat(kA, 10000) + "\r\n";
    file += "j20001=x" + repeat(kA, 10000) + "\r\n";
    all.push_back(
        {"values of 19999-20001 bytes",
         file,
         {read("big", "v19999"), read("big", "v20000"), read("big", "v20001"), read("big", "j19999"),
          readDiff(WineDiff::CutDoubleByte, repeat(kA, 9999) + "#", "big", "j20000"), read("big", "j20001")},
         false});
  }
  all.push_back(
      {"cut through a double-byte character",
       "[s]\r\nk=" + repeat(kA, 5) + "\r\n",
       {readDiff(WineDiff::CutDoubleByte, "#", "s", "k", "", 2), read("s", "k", "", 3),
        readDiff(WineDiff::CutDoubleByte, kA + "#", "s", "k", "", 4), read("s", "k", "", 11),
        readDiff(WineDiff::CutDoubleByte, kA + "#", "s", "none", repeat(kA, 3), 4), read("s", "k", "", 1)},
       false});
  all.push_back({"cut ASCII",
                 "[s]\r\nk=abcdef\r\nq=\"abcdef\"\r\n",
                 {read("s", "k", "", 4), read("s", "k", "", 7), read("s", "q", "", 5), read("s", "q", "", 8),
                  readDiff(WineDiff::QuotedValueFullBuffer, "abcde", "s", "q", "", 7)},
                 false});

  all.push_back({"create file", std::nullopt, {write("Start", "Key", "v"), read("Start", "Key")}, true});
  all.push_back({"create file with names and value in spaces",
                 std::nullopt,
                 {write("  Start", "  Key", "value"), read("Start", "Key")},
                 true});
  all.push_back(
      {"keys in order", "", {write("s", "z", ""), write("s", "a", "1"), write("s", "y", "2")}, true});
  all.push_back({"replace in place and keep casing",
                 "[Sec]\r\nKey=old\r\nOther=o\r\n",
                 {write("SEC", "KEY", "new"), read("sec", "key"), read("Sec", "Other")},
                 true});
  all.push_back({"replace last line without line end",
                 "[Sec]\r\nKey=old",
                 {write("Sec", "Key", "new"), read("Sec", "Key")},
                 true});
  all.push_back({"new key in existing section",
                 "[a]\r\nx=1\r\n[b]\r\ny=2\r\n",
                 {write("a", "n", "3"), read("a", "n"), read("b", "y"), read("a", "x")},
                 true});
  all.push_back(
      {"Japanese write round trip",
       std::nullopt,
       {write(kZo + kSo, kHyou, kJuu + "]" + kSo), write(kSettei, kNihongo, repeat(kA, 3)),
        read(kZo + kSo, kHyou), read(kSettei, kNihongo), write(kZo + kSo, kHyou, kA), read(kZo + kSo, kHyou)},
       false});
  all.push_back({"write into a file kept around it",
                 "; settings\r\n[a]\r\nx = 1 \r\n\r\n; about b\r\n[b]\r\ny=2\r\n",
                 {write("a", "x", "9"), write("a", "n", "new"), write("c", "z", "3"), read("a", "x"),
                  read("a", "n"), read("b", "y"), read("c", "z")},
                 false});
  all.push_back({"write to duplicate section and key",
                 "[d]\r\nk=1\r\nk=2\r\n[d]\r\nm=3\r\n",
                 {write("d", "k", "new"), write("d", "m", "new m"), read("d", "k"), read("d", "m")},
                 false});
  all.push_back({"values with spaces and quotes written",
                 std::nullopt,
                 {write("s", "a", "  spaced  "), write("s", "b", "\"quoted\""), write("s", "c", "'x'"),
                  write("s", "d", ""), read("s", "a"), read("s", "b"), read("s", "c"), read("s", "d", "def")},
                 false});
  all.push_back(
      {"big value written", std::nullopt, {write("s", "k", std::string(20001, 'w')), read("s", "k")}, false});

  // Documented differences between Wine and Windows.
  all.push_back({"first ']' ends a section name",
                 "[a]b]\r\nx=1\r\n",
                 {readDiff(WineDiff::FirstBracket, "def", "a", "x", "def"),
                  readDiff(WineDiff::FirstBracket, "1", "a]b", "x", "def")},
                 false});
  all.push_back({"Japanese section with ASCII ']'",
                 "[" + kSo + "]" + kZo + "]\r\nx=1\r\n",
                 {readDiff(WineDiff::FirstBracket, "def", kSo, "x", "def"),
                  readDiff(WineDiff::FirstBracket, "1", kSo + "]" + kZo, "x", "def")},
                 false});
  all.push_back({"key starting with ';'",
                 "[s]\r\n;k=v\r\n",
                 {readDiff(WineDiff::CommentKey, "v", "s", ";k", "def"), read("s", "k", "def")},
                 false});
  all.push_back({"UTF-8 byte-order mark",
                 "\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n",
                 {readDiff(WineDiff::Utf8Bom, "v", "s", "k", "def"), read("t", "k", "def")},
                 false});
  all.push_back({"default in quotes",
                 "[s]\r\n",
                 {readDiff(WineDiff::QuotedDefault, "q", "s", "k", "\"q\""), read("s", "k", "\"q")},
                 false});
  all.push_back({"default of spaces only",
                 "[s]\r\n",
                 {readDiff(WineDiff::SpacesOnlyDefault, " ", "s", "k", "   "), read("s", "k", " x ")},
                 false});
  all.push_back({"tab around a name passed",
                 "[s]\r\nk=v\r\n",
                 {readDiff(WineDiff::TabInName, "v", "\ts", "k", "def"),
                  readDiff(WineDiff::TabInName, "v", "s", "k\t", "def")},
                 false});
  {
    Scenario scenario{
        "new names with trailing spaces", std::nullopt, {write("s ", "k ", "v"), read("s", "k")}, true};
    scenario.fileDiff = WineDiff::NewNameTrailingSpace;
    scenario.wineFileGives = "[s ]\r\nk =v\r\n";
    all.push_back(scenario);
  }
  all.push_back({"header without ']'",
                 "[s   \r\nk=v\r\n",
                 {readDiff(WineDiff::MissingBracket, "def", "s", "k", "def")},
                 false});
  return all;
}

// ---------------------------------------------------------------------------
// Generated scenarios: a seeded mix of sections, keys, values, case, spaces,
// quotes, comments, duplicates and line ends, with reads and writes. They keep
// clear of the documented differences (no "]" in section names, no key read
// that starts with ";", no tabs in the names passed, no quoted or all-space
// defaults, the program's buffer size) and compare reads only, as Wine
// rewrites files in its own layout.

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 16);
  }
  std::size_t below(std::size_t n) { return next() % n; }
  bool chance(int percent) { return static_cast<int>(below(100)) < percent; }
  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }

 private:
  std::uint64_t state_;
};

const std::vector<std::string> kSections = {"Start", "Small",     "Pgm",     "Sec 2", "a[b",
                                            kSettei, kSo + kHyou, kZo + "1", kJuu,    "x"};
const std::vector<std::string> kKeys = {"Key",  "Pgm1", "Path", "x",      "a b",
                                        "k[1]", kSo,    kHyou,  kNihongo, "Name" + kZo};
const std::vector<std::string> kTokens = {"abc",      "C:\\Program Files\\x.exe",
                                          kSo,        kHyou,
                                          kJuu,       kZo,
                                          kA,         " ",
                                          "  ",       "\"",
                                          "'",        ";",
                                          "=",        "[",
                                          "]",        "#",
                                          "\xB1\xB2", "1",
                                          "Ab",       kNihongo};
const std::vector<std::string> kDefaults = {"",        "def",    "\x83\x66\x83\x74\x83\x48\x83\x8B\x83\x67",
                                            "trail  ", "  lead", kSo};

// Flips the case of ASCII letters at random, never touching a trail byte.
std::string randomCase(Random& random, const std::string& name) {
  std::string out = name;
  for (std::size_t pos = 0; pos < out.size();) {
    const unsigned char c = static_cast<unsigned char>(out[pos]);
    if (pyx::ini::isCp932LeadByte(c) && pos + 1 < out.size()) {
      pos += 2;
      continue;
    }
    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && random.chance(40)) out[pos] ^= 0x20;
    ++pos;
  }
  return out;
}

std::string randomValue(Random& random) {
  std::string value;
  const std::size_t tokens = random.below(5);
  for (std::size_t i = 0; i < tokens; ++i) value += random.pick(kTokens);
  if (random.chance(15)) {
    const char quote = random.chance(50) ? '"' : '\'';
    value = quote + value + quote;
  }
  return value;
}

std::string blanks(Random& random) {
  static const std::vector<std::string> kBlanks = {"", "", "", " ", "  ", "\t", " \t "};
  return random.pick(kBlanks);
}

Scenario generated(Random& random, int index) {
  Scenario scenario;
  scenario.name = "generated " + std::to_string(index);
  std::vector<std::string> sectionsInFile;

  if (!random.chance(10)) {
    const std::string eol = random.chance(70) ? "\r\n" : (random.chance(50) ? "\n" : "\r");
    std::string file;
    if (random.chance(30)) file += "; " + random.pick(kTokens) + eol;
    if (random.chance(15)) file += random.pick(kKeys) + "=orphan" + eol;
    const std::size_t sections = random.below(4) + (random.chance(10) ? 0 : 1);
    for (std::size_t s = 0; s < sections; ++s) {
      const std::string section = random.pick(kSections);
      sectionsInFile.push_back(section);
      file += blanks(random) + "[" + blanks(random) + randomCase(random, section) + blanks(random) + "]";
      if (random.chance(15)) file += " ; note";
      file += eol;
      const std::size_t lines = random.below(6);
      for (std::size_t l = 0; l < lines; ++l) {
        const int kind = static_cast<int>(random.below(10));
        if (kind == 0) {
          file += eol;
        } else if (kind == 1) {
          file += blanks(random) + ";" + random.pick(kKeys) + "=comment" + eol;
        } else if (kind == 2) {
          file += "text without equals" + eol;
        } else {
          file += blanks(random) + randomCase(random, random.pick(kKeys)) + blanks(random) + "=" +
                  blanks(random) + randomValue(random) + blanks(random) + eol;
        }
      }
    }
    if (!file.empty() && random.chance(20)) file.resize(file.size() - eol.size());  // no final line end
    scenario.initial = file;
  }

  const std::size_t ops = 6 + random.below(14);
  for (std::size_t i = 0; i < ops; ++i) {
    std::string section =
        (!sectionsInFile.empty() && random.chance(60)) ? random.pick(sectionsInFile) : random.pick(kSections);
    std::string key = random.pick(kKeys);
    section = randomCase(random, section);
    key = randomCase(random, key);
    if (random.chance(25)) {
      scenario.ops.push_back(write(
          std::string(random.below(3), ' ') + section + std::string(random.below(2), ' '),
          std::string(random.below(3), ' ') + key + std::string(random.below(2), ' '), randomValue(random)));
    } else {
      const std::string pad(random.below(3), ' ');
      scenario.ops.push_back(read(pad + section + pad, key + pad, random.pick(kDefaults)));
    }
  }
  return scenario;
}

// ---------------------------------------------------------------------------

std::string gDirectory;
int gScenarioCounter = 0;

bool putFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

std::optional<std::string> getFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  std::size_t count;
  while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, count);
  std::fclose(file);
  return bytes;
}

struct Totals {
  int comparisons = 0;
  int mismatches = 0;
  int explained = 0;
};

void runScenario(const Scenario& scenario, Totals& totals) {
  const std::string path = gDirectory + "\\case" + std::to_string(++gScenarioCounter) + ".ini";
  DeleteFileA(path.c_str());
  if (scenario.initial && !putFile(path, *scenario.initial)) {
    std::printf("MISMATCH %s: cannot create %s\n", scenario.name.c_str(), path.c_str());
    ++totals.mismatches;
    return;
  }
  std::optional<std::string> engineFile = scenario.initial;

  int opIndex = 0;
  for (const Op& op : scenario.ops) {
    ++opIndex;
    if (op.write) {
      const BOOL ok =
          WritePrivateProfileStringA(op.section.c_str(), op.key.c_str(), op.text.c_str(), path.c_str());
      engineFile =
          pyx::ini::writeProfileString(engineFile, op.section, op.key, op.text, pyx::ini::isCp932LeadByte);
      if (!ok) {
        std::printf("MISMATCH %s op %d: WritePrivateProfileStringA failed (%lu)\n", scenario.name.c_str(),
                    opIndex, GetLastError());
        ++totals.mismatches;
      }
      continue;
    }

    ++totals.comparisons;
    std::string wine(op.size + 1, '#');
    std::string ours(op.size + 1, '#');
    const DWORD wineCount = GetPrivateProfileStringA(op.section.c_str(), op.key.c_str(), op.text.c_str(),
                                                     wine.data(), op.size, path.c_str());
    const std::uint32_t ourCount = pyx::ini::getProfileString(
        engineFile, op.section, op.key, op.text, ours.data(), op.size, pyx::ini::isCp932LeadByte);
    const std::string wineText = op.size == 0 ? std::string() : wine.substr(0, wineCount);
    const std::string ourText = op.size == 0 ? std::string() : ours.substr(0, ourCount);
    const bool wineTerminated = op.size == 0 || wine[wineCount] == '\0';
    const bool same =
        wineCount == ourCount && wineText == ourText && wineTerminated && ours[ourCount] == '\0';
    if (same && op.diff == WineDiff::None) continue;
    if (!same && op.diff != WineDiff::None && wineText == op.wineGives && wineCount == op.wineGives.size()) {
      ++totals.explained;
      std::printf("explained %s op %d: %s\n", scenario.name.c_str(), opIndex, describe(op.diff));
      continue;
    }
    ++totals.mismatches;
    std::printf(
        "MISMATCH %s op %d: read [%s] %s (default %s, size %u)%s\n  wine   %lu \"%s\"\n  engine %u \"%s\"\n",
        scenario.name.c_str(), opIndex, printable(op.section).c_str(), printable(op.key).c_str(),
        printable(op.text).c_str(), static_cast<unsigned>(op.size),
        op.diff == WineDiff::None ? "" : " (documented Wine difference did not show as recorded)",
        static_cast<unsigned long>(wineCount), printable(wineText).c_str(), static_cast<unsigned>(ourCount),
        printable(ourText).c_str());
    if (scenario.initial) std::printf("  file was \"%s\"\n", printable(*scenario.initial, 400).c_str());
  }

  if (scenario.compareFile) {
    ++totals.comparisons;
    const std::optional<std::string> onDisk = getFile(path);
    if (onDisk != engineFile && scenario.fileDiff != WineDiff::None && onDisk == scenario.wineFileGives) {
      ++totals.explained;
      std::printf("explained %s: %s\n", scenario.name.c_str(), describe(scenario.fileDiff));
    } else if (onDisk != engineFile || scenario.fileDiff != WineDiff::None) {
      ++totals.mismatches;
      std::printf("MISMATCH %s: file bytes\n  wine   \"%s\"\n  engine \"%s\"\n", scenario.name.c_str(),
                  onDisk ? printable(*onDisk, 400).c_str() : "(no file)",
                  engineFile ? printable(*engineFile, 400).c_str() : "(no file)");
    }
  }
}

bool writeTable(const char* path) {
  std::ofstream table(path, std::ios::binary);
  for (int code = 0; code <= 0xFCFC; ++code) {
    const int lead = code >> 8;
    const int trail = code & 0xFF;
    if (lead != 0 &&
        (lead < 0x81 || (lead > 0x9F && lead < 0xE0) || trail < 0x40 || trail == 0x7F || trail > 0xFC)) {
      continue;
    }
    const std::string bytes = lead == 0 ? std::string{char(trail)} : std::string{char(lead), char(trail)};
    std::wstring units(8, L'\0');
    units.resize(std::max(0, MultiByteToWideChar(932, 0, bytes.data(), bytes.size(), units.data(), 8)));
    table << "mb " << hex(bytes) << ' ' << hex(units) << '\n';
  }
  // Accented Latin letters, symbols, other scripts, look-alikes of mapped
  // characters, one outside the BMP and a lone surrogate.
  for (const std::wstring text :
       {L"\u00E9", L"\u00C0", L"\u00FC", L"\u00A9", L"\u00AE",     L"\u00B2", L"\u00BD",
        L"\u00A0", L"\u00A5", L"\u00A6", L"\u203E", L"\u20AC",     L"\u2122", L"\u2603",
        L"\u2212", L"\u301C", L"\u2016", L"\u2014", L"\u0100",     L"\u0E01", L"\u05D0",
        L"\uAC00", L"\u4E02", L"\u9DD7", L"\uFFFD", L"\U0001F600", L"\xD800"}) {
    std::string bytes(16, '\0');
    bytes.resize(std::max(0, WideCharToMultiByte(932, 0, text.data(), text.size(), bytes.data(), bytes.size(),
                                                 nullptr, nullptr)));
    table << "wc " << hex(text) << ' ' << hex(bytes) << '\n';
  }
  return table.flush().good();
}

}  // namespace

int main(int argc, char** argv) {
  if (GetACP() != 932) {
    std::printf("ini differential: the ANSI code page is %u, not 932 (run under a Japanese locale)\n",
                GetACP());
    return 2;
  }
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  gDirectory = std::string(temp) + "pyx_ini_diff_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(gDirectory.c_str(), nullptr);

  Totals totals;
  int scenarios = 0;
  for (const Scenario& scenario : handPicked()) {
    runScenario(scenario, totals);
    ++scenarios;
  }
  Random random(0x5079787465726EULL);
  for (int i = 0; i < 400; ++i) {
    runScenario(generated(random, i), totals);
    ++scenarios;
  }

  const char* tablePath = argc > 1 ? argv[1] : "cp932_table.txt";
  if (!writeTable(tablePath)) {
    std::printf("cannot write the code-page table %s\n", tablePath);
    ++totals.mismatches;
  }

  std::printf("ini differential: %d cases (%d scenarios, %d documented Wine differences), %d mismatches\n",
              totals.comparisons, scenarios, totals.explained, totals.mismatches);
  return totals.mismatches == 0 ? 0 : 1;
}
