// Our INI engine against Get/WritePrivateProfileStringA under Wine with code
// page 932, on cases generated from the tables below (run.sh runs it); also
// writes the system's code-page table for cp932_check. Exit status 0 when every
// difference is one Wine is known to have: the engine follows Windows there.

#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cp932_hex.h"
#include "platform/ini/ini_engine.h"

namespace {

using File = std::optional<std::string>;       // std::nullopt: no file
constexpr std::uint32_t kBufferBytes = 20000;  // the program's read buffer

// Shift-JIS, with the trail bytes 0x5C ("\") and 0x5D ("]").
const std::string kZo = "\x83\x5D";                       // ゾ
const std::string kA = "\x82\xA0";                        // あ
const std::string kSoHyou = "\x83\x5C\x95\x5C";           // ソ表
const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
const std::string kHalfWidth = "\xB1\xB2";                // ｱｲ, single bytes

// The files: none, an empty one (once per sequence of writes) and each layout
// filled with each value and line end ("@": a section's and key's name, "$": the
// value). Each is read at every size for its name, spelt as the program may, and
// names it lacks; given writes (section, key, value; "@" its name); compared
// where Wine keeps the layout (no blanks, CR LF); read back. Names, defaults and
// writes go in turn, the count of names sharing no factor with theirs: all meet.
const std::vector<std::string> kLayouts = {
    "[@]\n@=$\n",
    "[@]\nx=1\n[@]\n@=$\n",
    "[t]\n@=w\n\n[@]\n\n@=$\n\n",
    "[@]\n[t]\n@=$\n",
    "; top\n[ @ ]\n  @  =  $  \n\n[t]\n@=other\n",
    "@=orphan\n[@] ; note\n;@=comment\n  ; @=c\njust text\n\t@\t=\t$\t\n@=second\n",
    "[t]\n@=x\n\t[\t@\t]\t\nx=1\n@=$"};
// Values: each text in each quoting ("$" is the text), and about the buffer's size.
const std::vector<std::string> kQuotings = {"$", "\"$\"", "'$'", "\"$'", "\"$"};
const std::vector<std::string> kTexts = {"abc",    "",      "   ",   "x y",        "  x  ",
                                         "'x'",    "a\"b",  ";x",    "a=b",        "[x]",
                                         "v ; #x", "C:\\x", kSoHyou, "[\x83\x5D]", kHalfWidth};
// Names as the file spells them and as the program asks for them (full-width
// letters compare exactly).
const std::vector<std::pair<std::string, std::string>> kNames = {
    {"Start", " sTART  "},        {"a b", "A B"},           {"a[b", "  A[b"},
    {kNihongo, kNihongo},         {kSoHyou, " " + kSoHyou}, {kZo + "1", kZo + "1 "},
    {"Name" + kZo, "nAME" + kZo}, {"\x82\x60", "\x82\x81"}, {kHalfWidth, kHalfWidth}};
const std::vector<std::string> kLineEnds = {"\r\n", "\n", "\r"};
const std::vector<std::string> kDefaults = {"", "def", "trail   ", "  lead", " x ", "\"q", kA + kA + kA};
const std::vector<std::uint32_t> kSizes = {kBufferBytes, 0, 1, 2, 3, 4, 7};
const std::vector<std::vector<std::array<std::string, 3>>> kWrites = {
    {{"@", "@", "new"}},
    {{"@", "n", "]" + kSoHyou}, {"t", "@", ""}},
    {{"c", "z", kNihongo}, {"@", "x", "9"}},
    {{"s", "z", ""}, {"s", "a", "1"}, {"S", "Z", "2"}},
    {{"  @", "  @", "  spaced  "}},
    {{"@", "b", "\"quoted\""}, {"@", "c", "'x'"}},
    {{"@", "@", std::string(20001, 'w')}}};

// Files read once, mostly where Wine is known to differ: `what` says how,
// `wineGives` its bytes (unwritten ones as '#').
struct SingleCase {
  const char* what;  // nullptr: Wine agrees
  std::string file, section, key, defaultValue, wineGives;
};
const char* const kFirstBracket = "section name ends at the first ']' on Windows, the last on Wine";
const char* const kTabInName = "tabs around a name passed by the program kept on Windows, stripped by Wine";
const std::vector<SingleCase> kSingleCases = {
    {kFirstBracket, "[a]b]\r\nx=1\r\n", "a", "x", "def", "def"},
    {kFirstBracket, "[a]b]\r\nx=1\r\n", "a]b", "x", "def", "1"},
    {kFirstBracket, "[" + kSoHyou + "]" + kZo + "]\r\nx=1\r\n", kSoHyou, "x", "def", "def"},
    {kFirstBracket, "[" + kSoHyou + "]" + kZo + "]\r\nx=1\r\n", kSoHyou + "]" + kZo, "x", "def", "1"},
    {"a line ';k=v' is a comment on Windows, a key to Wine", "[s]\r\n;k=v\r\n", "s", ";k", "def", "v"},
    {"a UTF-8 BOM is text on Windows, skipped by Wine", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "def", "v"},
    {nullptr, "\xEF\xBB\xBF[s]\r\nk=v\r\n[t]\r\nk=w\r\n", "t", "k", "def", ""},
    {"quotes around the default kept on Windows, stripped by Wine", "[s]\r\n", "s", "k", "\"q\"", "q"},
    {"an all-space default becomes empty on Windows, one space on Wine", "[s]\r\n", "s", "k", "   ", " "},
    {kTabInName, "[s]\r\nk=v\r\n", "\ts", "k", "def", "v"},
    {kTabInName, "[s]\r\nk=v\r\n", "s", "k\t", "def", "v"},
    {"a header without ']' counts on Windows, not on Wine", "[s   \r\nk=v\r\n", "s", "k", "def", "def"}};

struct Known {
  const char* what;
  std::string wineGives;
};

// Known differences wherever Windows (and our engine) cuts a value or default
// at the buffer, `ours` filling it.
std::optional<Known> cutDifference(const File& file, const std::string& ours, std::uint32_t size) {
  if (ours.empty() || ours.size() + 1 != size) return std::nullopt;
  std::size_t last = 0;  // where the last character starts
  for (std::size_t pos = 0; pos < ours.size(); pos += pyx::ini::isCp932LeadByte(ours[pos]) ? 2 : 1)
    last = pos;
  if (last + 1 == ours.size() && pyx::ini::isCp932LeadByte(ours[last]))
    return Known{
        "cut through a double-byte character: Windows copies the lead byte, Wine leaves it unwritten",
        ours.substr(0, last) + "#"};
  for (const char quote : {'"', '\''})
    if (file && file->find(quote + ours + quote) != std::string::npos)
      return Known{"Wine loses the last character of a quoted value that just fits", ours.substr(0, last)};
  return std::nullopt;
}

std::string printable(const std::string& bytes) {
  std::string out;
  for (char c : bytes.substr(0, 200))
    out += c >= 0x20 && c < 0x7F && c != '\\' ? std::string(1, c) : "\\x" + hex(std::string(1, c));
  return bytes.size() > 200 ? out + "..." : out;
}

// Each case runs through Wine on a file of its own and through our engine on
// a copy of its bytes.
std::string gDirectory, gPath, gCase = "set-up";
File gOurs;
long gCases = 0, gMismatches = 0, gFiles = 0;
std::map<std::string, int> gExplained;

void mismatch(const std::string& what) {
  if (++gMismatches <= 20) std::printf("MISMATCH %s, %s\n", gCase.c_str(), what.c_str());
}

// A known difference counts as explained only when Wine gives just that.
void compare(const std::string& what, const std::string& wine, const std::string& ours,
             const std::optional<Known>& known) {
  ++gCases;
  if (wine != ours && known && wine == known->wineGives)
    ++gExplained[known->what];
  else if (wine != ours || known)
    mismatch(printable(what) + (known ? " (known Wine difference did not show)" : "") + "\n  wine   " +
             printable(wine) + "\n  engine " + printable(ours));
}

void newFile(const File& file) {
  gPath = gDirectory + "\\case" + std::to_string(++gFiles) + ".ini";
  if (file) std::ofstream(gPath, std::ios::binary) << *file;
  gOurs = file;
  gCase = file ? "file \"" + printable(*file) + "\"" : "no file";
}

// Compares the count and the bytes copied, NUL included; a known result is the
// bytes alone.
void read(const std::string& section, const std::string& key, const std::string& defaultValue,
          std::uint32_t size, std::optional<Known> known = std::nullopt) {
  std::string wine(size + 1, '#'), ours = wine;
  const DWORD wineCount = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                   wine.data(), size, gPath.c_str());
  const std::uint32_t ourCount = pyx::ini::getProfileString(gOurs, section, key, defaultValue, ours.data(),
                                                            size, pyx::ini::isCp932LeadByte);
  const auto result = [](const std::string& buffer, std::size_t count) {
    const bool ended = count < buffer.size() && buffer[count] == '\0';
    return std::to_string(count) + " \"" + buffer.substr(0, count) + (ended ? "\"" : "\" without NUL");
  };
  if (!known && result(wine, wineCount) != result(ours, ourCount))
    known = cutDifference(gOurs, ours.substr(0, ourCount), size);
  if (known) known->wineGives = result(known->wineGives + '\0', known->wineGives.size());
  compare("read [" + section + "] " + key + " default \"" + defaultValue + "\" size " + std::to_string(size),
          result(wine, wineCount), result(ours, ourCount), known);
}

// A write, read back.
void write(const std::string& section, const std::string& key, const std::string& value) {
  gCase += ", then [" + printable(section) + "] " + printable(key) + "=" + printable(value);
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), gPath.c_str());
  gOurs = pyx::ini::writeProfileString(gOurs, section, key, value, pyx::ini::isCp932LeadByte);
  read(section, key, "def", kBufferBytes);
}

// Less blank lines: Wine writes none, Windows one before a section it adds.
void compareFile(const std::optional<Known>& known = std::nullopt) {
  std::ifstream in(gPath, std::ios::binary);
  const auto withoutBlankLines = [](std::string text) {
    for (std::size_t blank; (blank = text.find("\r\n\r\n")) != std::string::npos;) text.erase(blank, 2);
    return text;
  };
  compare("file", withoutBlankLines(in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)"),
          withoutBlankLines(gOurs.value_or("(none)")), known);
}

// `text` with `parts` standing in for "@", "$" and "\n".
std::string fill(const std::string& text, const std::array<std::string, 3>& parts) {
  std::string out;
  for (char c : text)
    out += c == '@' ? parts[0] : c == '$' ? parts[1] : c == '\n' ? parts[2] : std::string(1, c);
  return out;
}

bool blankEnds(const std::string& value) {
  return !value.empty() && (value.front() == ' ' || value.back() == ' ');
}

void compareGenerated() {
  std::vector<std::string> values;
  for (const std::string& quoting : kQuotings)
    for (const std::string& text : kTexts) values.push_back(fill(quoting, {"", text, ""}));
  for (std::uint32_t bytes = kBufferBytes - 1; bytes <= kBufferBytes + 1; ++bytes) {
    values.push_back(std::string(bytes, 'x'));
    values.push_back(std::string(bytes % 2, 'x'));
    while (values.back().size() < bytes) values.back() += kA;
  }
  std::vector<std::pair<File, bool>> files(kWrites.size(), {std::nullopt, true});  // in Wine's layout
  files.resize(2 * kWrites.size(), {"", true});
  for (const std::string& layout : kLayouts)
    for (const std::string& value : values)
      for (const std::string& lineEnd : kLineEnds)
        files.push_back(
            {fill(layout, {kNames[files.size() % kNames.size()].first, value, lineEnd}),
             layout.find_first_of(" \t") == std::string::npos && lineEnd == "\r\n" && !blankEnds(value)});
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto& [name, asked] = kNames[i % kNames.size()];
    newFile(files[i].first);
    for (const auto& [section, key] : {std::pair(asked, asked), {asked, "none"}, {"none", asked}})
      for (std::uint32_t size : kSizes) read(section, key, kDefaults[i % kDefaults.size()], size);
    bool inWineLayout = files[i].second;
    for (const auto& [section, key, value] : kWrites[i % kWrites.size()]) {
      write(fill(section, {name}), fill(key, {name}), value);
      inWineLayout &= !blankEnds(value);  // Wine drops those blanks
    }
    if (inWineLayout) compareFile();
    read(asked, asked, "def", kBufferBytes);
  }
}

void compareSingleCases() {
  for (const auto& [what, file, section, key, def, wineGives] : kSingleCases) {
    newFile(file);
    read(section, key, def, kBufferBytes, what ? std::optional(Known{what, wineGives}) : std::nullopt);
  }
  newFile(std::nullopt);
  write("s ", "k ", "v");
  compareFile(Known{"trailing spaces of a new name dropped on Windows, kept by Wine", "[s ]\r\nk =v\r\n"});
  newFile("[Sec]\r\nKey=old");  // a key of other case, its line not ended
  write("SEC", "KEY", "new");
  compareFile();
}

// The code-page table, in the hexadecimal of cp932_hex.h: "mb <bytes> <utf16>"
// for every single byte and double-byte code (a lead byte of the system's,
// trail 40-7E,80-FC) as MultiByteToWideChar converts it, "wc <utf16> <bytes>"
// for characters the code page may not hold as WideCharToMultiByte does.
bool writeTable(const char* path) {
  std::ofstream table(path, std::ios::binary);
  for (int code = 0; code <= 0xFCFC; ++code) {
    const int lead = code >> 8;
    const int trail = code & 0xFF;
    if (lead != 0 && !(IsDBCSLeadByteEx(932, lead) && trail >= 0x40 && trail != 0x7F && trail <= 0xFC))
      continue;
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
  if (GetACP() != 932) mismatch("the ANSI code page is " + std::to_string(GetACP()) + ", not 932");
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  gDirectory = std::string(temp) + "pyx_ini_diff_" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(gDirectory.c_str(), nullptr);
  compareGenerated();
  compareSingleCases();
  if (!writeTable(argc > 1 ? argv[1] : "cp932_table.txt")) mismatch("cannot write the code-page table");
  int explained = 0;
  for (const auto& [what, count] : gExplained) {
    std::printf("explained %d: %s\n", count, what.c_str());
    explained += count;
  }
  std::printf("ini differential: %ld cases (%ld scenarios, %d documented Wine differences), %ld mismatches\n",
              gCases, gFiles, explained, gMismatches);
  return gMismatches == 0 ? 0 : 1;
}
