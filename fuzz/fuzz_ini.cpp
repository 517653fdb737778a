// Our INI engine on arbitrary settings-file bytes: reading any item never
// overruns or misreports its buffer, and writing one item changes that one
// line (or adds it, or adds its section at the end), leaves every other item
// reading as before, and reads back as written.
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/ini/ini_engine.h"

namespace {

using pyx::fuzz::require;

// The items the program reads and writes.
constexpr std::array<std::string_view, 4> kSections = {"Start", "Small", "OPEN_TYPE", "FORM"};
constexpr std::array<std::string_view, 7> kKeys = {"Ctrl", "Alt", "shift", "Key", "TYEP", "IE_EXE", "CLOSE"};

struct Value {
  std::string_view written, readBack;
};
constexpr std::array<Value, 8> kValues = {{
    {"1", "1"},
    {"0", "0"},
    {"112", "112"},
    {"", ""},
    {"C:\\Program Files\\IE\\IEXPLORE.EXE", "C:\\Program Files\\IE\\IEXPLORE.EXE"},
    {"C:\\\x95\x5c\x8e\xa6\\\x83\x5c\x83\x74\x83\x67.exe",
     "C:\\\x95\x5c\x8e\xa6\\\x83\x5c\x83\x74\x83\x67.exe"},
    {" a=b;c[d] ", "a=b;c[d]"},
    {"\"quoted\"", "quoted"},
}};

std::string read(const std::optional<std::string>& file, std::string_view section, std::string_view key,
                 std::uint32_t size = 20000) {
  std::vector<char> buffer(size + 1, '\x7f');
  std::uint32_t count =
      pyx::ini::getProfileString(file, section, key, "", buffer.data(), size, pyx::ini::isCp932LeadByte);
  require(count < size || size == 0, "the count leaves room for the end mark");
  require(size == 0 || buffer[count] == '\0', "the value is ended");
  require(buffer[size] == '\x7f', "nothing is written past the buffer");
  return std::string(buffer.data(), size == 0 ? 0 : count);
}

// Lines with their line ends: LF, CR LF or a lone CR.
std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    if (end < text.size()) end += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    result.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return result;
}

std::string_view content(std::string_view line) {
  return line.substr(0, line.find_first_of("\r\n"));
}

// Whether `after` is `before` with one line added: "key=value" with a CR LF;
// added after the last line, that line gains a CR LF when it had no end.
bool addsOneLine(const std::vector<std::string_view>& before, const std::vector<std::string_view>& after,
                 const std::string& added) {
  if (after.size() != before.size() + 1) return false;
  std::size_t i = 0;
  while (i < before.size() && before[i] == after[i]) ++i;
  if (i + 1 == before.size() && content(before[i]) == before[i] &&
      after[i] == std::string(before[i]) + "\r\n")
    ++i;
  if (after[i] != added) return false;
  for (std::size_t j = i; j < before.size(); ++j)
    if (before[j] != after[j + 1]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t choice = data[0];
  const std::string_view section = kSections[choice % kSections.size()];
  const std::string_view key = kKeys[(choice / kSections.size()) % kKeys.size()];
  const Value& value = kValues[(choice >> 5) % kValues.size()];
  // Without file bytes, one choice in eight stands for a missing file.
  std::optional<std::string> file;
  if (size > 1 || choice % 8 != 7) file.emplace(reinterpret_cast<const char*>(data) + 1, size - 1);

  // Any buffer size, down to none.
  for (std::uint32_t bufferSize : {0u, 1u, 2u, 7u}) read(file, section, key, bufferSize);

  std::vector<std::string> before;
  for (std::string_view s : kSections)
    for (std::string_view k : kKeys) before.push_back(read(file, s, k));

  const std::string written =
      pyx::ini::writeProfileString(file, section, key, value.written, pyx::ini::isCp932LeadByte);
  require(read(written, section, key) == value.readBack, "the item reads back as written");
  std::size_t i = 0;
  for (std::string_view s : kSections) {
    for (std::string_view k : kKeys) {
      if (s != section || k != key) require(read(written, s, k) == before[i], "no other item changes");
      ++i;
    }
  }

  const std::string oldText = file.value_or("");
  const std::string added = std::string(key) + "=" + std::string(value.written) + "\r\n";
  const std::vector<std::string_view> old = lines(oldText), now = lines(written);
  bool oneLineChanged = false;
  if (now.size() == old.size()) {
    std::size_t differing = 0, at = 0;
    for (std::size_t j = 0; j < old.size(); ++j)
      if (old[j] != now[j]) ++differing, at = j;
    if (differing == 0) {
      oneLineChanged = true;  // the same value again
    } else if (differing == 1) {
      // The key's line keeps everything up to "=" and its line end (a last
      // line without one gains a CR LF); after "=" comes the value.
      std::string_view was = old[at], is = now[at];
      std::size_t equals = was.find('=');
      std::string_view end = was.substr(content(was).size());
      if (end.empty()) end = "\r\n";
      oneLineChanged = equals != std::string_view::npos &&
                       std::string(is) == std::string(was.substr(0, equals + 1)) +
                                              std::string(value.written) + std::string(end);
    }
  }
  const std::string newSection =
      oldText + (oldText.empty() ? "" : "\r\n") + "[" + std::string(section) + "]\r\n" + added;
  require(oneLineChanged || addsOneLine(old, now, added) || written == newSection,
          "only the item's line changes, or its line or section is added");
  return 0;
}
