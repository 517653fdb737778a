#include "platform/ini/ini_engine.h"

#include <algorithm>
#include <cstring>

// How the Windows functions read a file, as far as the engine follows them:
// - A line ends at LF, CR LF or a lone CR. The file's own line ends are kept
//   when it is edited; lines the engine adds end in CR LF.
// - Space, tab and vertical tab around names and values are not part of them.
// - "[name]" starts a section; the name ends at the FIRST "]" (Wine takes the
//   last one; we follow Windows) and whatever follows that "]" is ignored. A
//   header without "]" runs to the end of its line.
// - A line whose first non-blank character is ";" is a comment, so a key that
//   starts with ";" is never found (Wine can find one; we follow Windows).
// - "key=value" lines before the first section belong to none and cannot be
//   read. Lines without "=" are not keys.
// - When a section or a key appears twice, the first one counts.
// - A UTF-8 byte-order mark is not recognised: Windows reads its three bytes as
//   ANSI text, so a section header on the first line is not seen (Wine skips
//   the mark; we follow Windows, as users' files were written there).
// - Syntax characters are looked for in decoded characters only, never in the
//   trail byte of a double-byte character.

namespace pyx::ini {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v';
}

// Length in bytes of the character starting at `pos`. Every trail byte of the
// double-byte code pages is at least 0x40; a lead byte followed by anything
// lower (a line end, a blank, "=") is a broken character on its own, so that a
// damaged file still splits into its lines and keys.
std::size_t charLength(std::string_view text, std::size_t pos, LeadByteTest isLeadByte) {
  if (isLeadByte != nullptr && pos + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[pos])) &&
      static_cast<unsigned char>(text[pos + 1]) >= 0x40) {
    return 2;
  }
  return 1;
}

// Position of the first single-byte character `c` in `text`, or npos.
std::size_t findChar(std::string_view text, char c, LeadByteTest isLeadByte) {
  for (std::size_t pos = 0; pos < text.size(); pos += charLength(text, pos, isLeadByte)) {
    if (text[pos] == c && charLength(text, pos, isLeadByte) == 1) return pos;
  }
  return std::string_view::npos;
}

// Blanks are below 0x40, so trimming from the end never cuts a double-byte
// character.
std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Section and key names passed by the program lose their spaces only; a tab
// stays and then matches nothing, as with the Windows functions.
std::string_view trimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

char foldAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Case-insensitive for ASCII letters; double-byte characters compare exactly,
// so a trail byte that happens to be a letter is never folded.
bool sameName(std::string_view a, std::string_view b, LeadByteTest isLeadByte) {
  if (a.size() != b.size()) return false;
  for (std::size_t pos = 0; pos < a.size();) {
    const std::size_t length = charLength(a, pos, isLeadByte);
    if (length == 2) {
      if (a[pos] != b[pos] || a[pos + 1] != b[pos + 1]) return false;
    } else if (foldAscii(a[pos]) != foldAscii(b[pos])) {
      return false;
    }
    pos += length;
  }
  return true;
}

struct Line {
  std::size_t begin = 0;
  std::size_t contentEnd = 0;  // before the line end
  std::size_t end = 0;         // after the line end
  bool terminated() const { return end > contentEnd; }
};

// Splits the file into lines. Line-end bytes are below 0x40 and so never a
// trail byte: raw bytes suffice here.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  bool next(Line& line) {
    if (pos_ >= text_.size()) return false;
    line.begin = pos_;
    std::size_t pos = pos_;
    while (pos < text_.size() && text_[pos] != '\n' && text_[pos] != '\r') ++pos;
    line.contentEnd = pos;
    if (pos < text_.size()) {
      if (text_[pos] == '\r' && pos + 1 < text_.size() && text_[pos + 1] == '\n') ++pos;
      ++pos;
    }
    line.end = pos;
    pos_ = pos;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

enum class LineKind { Blank, Section, Comment, Key, Other };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;       // section or key name, blanks removed
  std::size_t valueStart = 0;  // offset in the line just after "=" (Key)
  std::string_view value;      // raw value, blanks removed (Key)
};

ParsedLine parseLine(std::string_view line, LeadByteTest isLeadByte) {
  ParsedLine parsed;
  std::size_t start = 0;
  while (start < line.size() && isBlank(line[start])) ++start;
  if (start == line.size()) {
    parsed.kind = LineKind::Blank;
    return parsed;
  }
  const std::string_view rest = line.substr(start);
  if (rest.front() == '[') {
    std::string_view name = rest.substr(1);
    const std::size_t close = findChar(name, ']', isLeadByte);
    if (close != std::string_view::npos) name = name.substr(0, close);
    parsed.kind = LineKind::Section;
    parsed.name = trimBlanks(name);
    return parsed;
  }
  if (rest.front() == ';') {
    parsed.kind = LineKind::Comment;
    return parsed;
  }
  const std::size_t equals = findChar(rest, '=', isLeadByte);
  if (equals == std::string_view::npos) return parsed;
  parsed.kind = LineKind::Key;
  parsed.name = trimBlanks(rest.substr(0, equals));
  parsed.valueStart = start + equals + 1;
  parsed.value = trimBlanks(line.substr(parsed.valueStart));
  return parsed;
}

std::string_view lineText(std::string_view text, const Line& line) {
  return text.substr(line.begin, line.contentEnd - line.begin);
}

// The raw value of `key` in the first section named `section`, if any.
std::optional<std::string_view> findValue(std::string_view text, std::string_view section,
                                          std::string_view key, LeadByteTest isLeadByte) {
  Lines lines(text);
  Line line;
  bool inSection = false;
  while (lines.next(line)) {
    const ParsedLine parsed = parseLine(lineText(text, line), isLeadByte);
    if (parsed.kind == LineKind::Section) {
      // Only the first section of that name is read.
      if (inSection) return std::nullopt;
      inSection = sameName(parsed.name, section, isLeadByte);
    } else if (inSection && parsed.kind == LineKind::Key && sameName(parsed.name, key, isLeadByte)) {
      return parsed.value;
    }
  }
  return std::nullopt;
}

// One pair of matching quotes around a value is not part of it.
std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

bool isCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::uint32_t getProfileString(const std::optional<std::string>& file, std::string_view section,
                               std::string_view key, std::string_view defaultValue, char* buffer,
                               std::uint32_t size, LeadByteTest isLeadByte) {
  if (buffer == nullptr || size == 0) return 0;
  section = trimSpaces(section);
  key = trimSpaces(key);

  std::optional<std::string_view> found;
  // A key starting with ";" is never found: such lines are comments.
  if (file) found = findValue(*file, section, key, isLeadByte);

  std::string_view result;
  if (found) {
    result = unquote(*found);
    // Windows holds the length of a value in 16 bits: a value of 65536 bytes
    // or more comes back cut to its length modulo 65536.
    result = result.substr(0, result.size() & 0xFFFFu);
  } else {
    // Trailing spaces (spaces only) of the default are dropped; leading ones stay.
    result = defaultValue;
    while (!result.empty() && result.back() == ' ') result.remove_suffix(1);
  }

  const std::size_t count = std::min<std::size_t>(result.size(), size - 1);
  if (count > 0) std::memcpy(buffer, result.data(), count);
  buffer[count] = '\0';
  return static_cast<std::uint32_t>(count);
}

std::string writeProfileString(const std::optional<std::string>& file, std::string_view section,
                               std::string_view key, std::string_view value, LeadByteTest isLeadByte) {
  section = trimSpaces(section);
  key = trimSpaces(key);
  const std::string_view text = file ? std::string_view(*file) : std::string_view();
  std::string newLine;
  newLine.append(key).append("=").append(value).append("\r\n");

  Lines lines(text);
  Line line;
  bool inSection = false;
  Line lastUsed;  // the section's last non-blank line, header included
  while (lines.next(line)) {
    const ParsedLine parsed = parseLine(lineText(text, line), isLeadByte);
    if (parsed.kind == LineKind::Section) {
      if (inSection) break;
      if (sameName(parsed.name, section, isLeadByte)) {
        inSection = true;
        lastUsed = line;
      }
      continue;
    }
    if (!inSection || parsed.kind == LineKind::Blank) continue;
    lastUsed = line;
    if (parsed.kind == LineKind::Key && sameName(parsed.name, key, isLeadByte)) {
      // Existing key: everything after "=" is replaced by the value as
      // given (so rewriting a value never piles up blanks); the key's
      // spelling, the blanks before "=" and the line end stay. A last line
      // without a line end gets one.
      std::string result(text.substr(0, line.begin + parsed.valueStart));
      result.append(value);
      if (line.terminated()) {
        result.append(text.substr(line.contentEnd));
      } else {
        result.append("\r\n");
      }
      return result;
    }
  }

  if (inSection) {
    // New key: after the section's last non-blank line, so that blank lines
    // separating it from the next section stay below.
    std::string result(text.substr(0, lastUsed.end));
    if (!lastUsed.terminated()) result.append("\r\n");
    result.append(newLine);
    result.append(text.substr(lastUsed.end));
    return result;
  }

  // New section at the end of the file, after a line break (which leaves a
  // blank line when the file already ended with one).
  std::string result(text);
  if (!result.empty()) result.append("\r\n");
  result.append("[").append(section).append("]\r\n").append(newLine);
  return result;
}

}  // namespace pyx::ini
