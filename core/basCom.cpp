#include "core/basCom.h"

#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "core/vb_error.h"
#include "forms/forms.h"

namespace pyx {

namespace {

constexpr char kLineEnd[] = "\r\n";

enum class ScanEnd { EndOfFile, EmptyLine, Malformed, Overflow };

struct ByteRange {
  std::size_t begin, end;  // [begin, end) of the file's bytes
};

struct ScanResult {
  std::vector<ByteRange> entries;  // each listed line, trimmed of spaces
  ScanEnd end = ScanEnd::EndOfFile;
  std::size_t unreadFrom = 0;   // first byte that no reader takes in
  std::int32_t lineNumber = 0;  // 1-based number of the line that ended the scan
  ByteRange stopper{0, 0};      // that line, trimmed
};

ByteRange trimmedSpaces(const Bytes& content, ByteRange line) {
  while (line.begin < line.end && content[line.begin] == ' ') ++line.begin;
  while (line.end > line.begin && content[line.end - 1] == ' ') --line.end;
  return line;
}

// Walks the file the way every reader does: lines end at CR LF or a lone CR
// (a lone LF is part of the line), a last line without an end still counts,
// and the first empty line, the first line without ";" or the 32,768th entry
// ends the list. The bytes alone tell all this: in the code page a space, a
// CR and ";" are single bytes that never occur inside a double-byte
// character, so nothing is decoded here.
ScanResult scanFavourites(const Bytes& content) {
  ScanResult result;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t lineStart = pos;
    std::size_t cr = content.find('\r', pos);
    std::size_t lineEnd = cr == Bytes::npos ? content.size() : cr;
    pos = lineEnd;
    if (pos < content.size()) {
      ++pos;
      if (pos < content.size() && content[pos] == '\n') ++pos;
    }
    ByteRange line = trimmedSpaces(content, {lineStart, lineEnd});
    if (content.find(';', line.begin) >= line.end) {
      result.end = line.begin == line.end ? ScanEnd::EmptyLine : ScanEnd::Malformed;
      result.unreadFrom = lineStart;
      result.lineNumber = static_cast<std::int32_t>(result.entries.size()) + 1;
      result.stopper = line;
      return result;
    }
    result.entries.push_back(line);
    if (result.entries.size() > static_cast<std::size_t>(kLastOkiniIndex)) {
      result.end = ScanEnd::Overflow;
      result.unreadFrom = pos;
      result.lineNumber = static_cast<std::int32_t>(result.entries.size());
      return result;
    }
  }
  result.unreadFrom = content.size();
  return result;
}

// The first `a` or `b` in `text` from `pos` on, or the text's size; four
// units at a time, since the list is read at every activation.
std::size_t findEither(TextView text, std::size_t pos, char16_t a, char16_t b) {
  static_assert(std::endian::native == std::endian::little);
  constexpr std::uint64_t kOnes = 0x0001000100010001u, kHighs = 0x8000800080008000u;
  // The lowest unit of `v` that is zero has its high bit set here.
  auto zeroUnits = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  const std::uint64_t aaaa = kOnes * a, bbbb = kOnes * b;
  for (; pos + 4 <= text.size(); pos += 4) {
    std::uint64_t units;
    std::memcpy(&units, text.data() + pos, sizeof units);
    if (std::uint64_t found = zeroUnits(units ^ aaaa) | zeroUnits(units ^ bbbb))
      return pos + static_cast<std::size_t>(std::countr_zero(found)) / 16;
  }
  for (; pos < text.size(); ++pos)
    if (text[pos] == a || text[pos] == b) break;
  return pos;
}

// Adds the table's text, cut into `count` lines (CR LF or a lone CR between
// them), to its entries; false when the text does not hold that many lines.
bool addLines(OkiniTable& table, std::size_t count) {
  const TextView all = table.text();
  table.reserve(count);
  std::size_t pos = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // The line's first ";" (should it have one: a broken character may take
    // it) and its end, in one pass.
    std::size_t semicolon = findEither(all, pos, u';', u'\r');
    const bool hasSemicolon = semicolon < all.size() && all[semicolon] == u';';
    const std::size_t end = hasSemicolon ? findEither(all, semicolon, u'\r', u'\r') : semicolon;
    const bool last = i + 1 == count;
    if (last != (end == all.size())) return false;
    const TextView line = trimSpacesView(all.substr(pos, end - pos));
    if (!hasSemicolon) semicolon = end;
    // Trimming moves only spaces before the name.
    const std::size_t nameSize =
        line.empty() ? 0 : semicolon - static_cast<std::size_t>(line.data() - all.data());
    table.addEntry(line.substr(0, std::min(nameSize, line.size())),
                   line.substr(std::min(nameSize + 1, line.size())));
    pos = end + 1;
    if (!last && pos < all.size() && all[pos] == u'\n') ++pos;
  }
  return true;
}

// Decodes the listed lines in one piece, where the file's bytes are (they are
// freed on return: a large file is not held a third time), into `table`.
// Should the decoding not keep the lines apart (a broken double-byte
// character before a line end), each line is decoded alone.
void decodeInto(OkiniTable& table, Bytes content, const std::vector<ByteRange>& entries,
                const Platform& platform) {
  const std::size_t first = entries.front().begin;
  content.resize(entries.back().end);
  content.erase(0, first);
  table.assign(platform.fromAnsi(content));
  if (addLines(table, entries.size())) return;
  Text apart;
  for (const ByteRange& line : entries) {
    apart += platform.fromAnsi(content.substr(line.begin - first, line.end - line.begin));
    apart += u'\r';
  }
  apart.pop_back();
  table.assign(std::move(apart));
  addLines(table, entries.size());
}

// The start of a line, enough to find it in an editor. A line may be as long
// as the file (one without line ends), and a message box has no use for more
// than a glance of it.
Text quoteOfLine(const Bytes& content, ByteRange line, const Platform& platform) {
  constexpr std::size_t kQuotedCharacters = 40;
  // A character takes at most two bytes: these decode to more characters
  // than are quoted, a character cut in half at the end included.
  const std::size_t bytes = std::min(line.end - line.begin, 4 * kQuotedCharacters);
  Text quote = platform.fromAnsi(content.substr(line.begin, bytes));
  if (quote.size() <= kQuotedCharacters) return quote;
  quote.resize(kQuotedCharacters);
  return quote + u"…";
}

bool endsWithLineEnd(std::string_view text) {
  if (text.empty()) return true;
  if (text.back() == '\r') return true;
  return text.size() >= 2 && text.compare(text.size() - 2, 2, kLineEnd) == 0;
}

}  // namespace

typOkini OkiniTable::operator[](std::int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) raiseError(ErrSubscriptOutOfRange);
  const Entry& entry = entries_[static_cast<std::size_t>(index)];
  return {name(static_cast<std::size_t>(index)), TextView(text_.data() + entry.path, entry.pathSize)};
}

void OkiniTable::assign(Text text) {
  // Offsets are 32-bit: a list of 4 G characters is no list of favourites.
  if (text.size() > UINT32_MAX) raiseError(ErrOutOfMemory);
  text_ = std::move(text);
  entries_.clear();
}

std::uint32_t OkiniTable::offsetOf(TextView part) const {
  return static_cast<std::uint32_t>(part.data() - text_.data());
}

OkiniTable::Entry OkiniTable::entryOf(TextView name, TextView path) const {
  // The name keeps its first 40 characters, then loses surrounding spaces.
  name = trimSpacesView(name.substr(0, kNameLength));
  Entry entry;
  entry.name = name.empty() ? 0 : offsetOf(name);
  entry.nameSize = static_cast<std::uint8_t>(name.size());
  entry.path = path.empty() ? 0 : offsetOf(path);
  entry.pathSize = static_cast<std::uint32_t>(path.size());
  return entry;
}

void OkiniTable::addEntry(TextView name, TextView path) {
  entries_.push_back(entryOf(name, path));
}

void OkiniTable::set(std::int32_t index, TextView name, TextView path) {
  (*this)[index];  // error 9 outside the table
  // The new text goes at the end of the buffer; the entry's old text stays
  // unused until the next read replaces the buffer.
  if (text_.size() + name.size() + path.size() > UINT32_MAX) raiseError(ErrOutOfMemory);
  const std::size_t start = text_.size();
  text_.append(name).append(path);
  const TextView added = TextView(text_).substr(start);
  entries_[static_cast<std::size_t>(index)] =
      entryOf(added.substr(0, name.size()), added.substr(name.size()));
}

void OkiniTable::moveToTop(std::int32_t index) {
  (*this)[index];  // error 9 outside the table
  auto first = entries_.begin();
  std::rotate(first, first + index, first + index + 1);
}

Text basCom::favouritesFilePath() const {
  return joinPath(platform_.applicationDirectory(), kFavouritesFileName);
}

Text basCom::firstCharacterTheFileCannotHold(TextView text) const {
  // The conversion replaces what the code page lacks (with "?" or a look-alike
  // letter), so what does not come back unchanged cannot be stored.
  auto survives = [&](TextView part) { return platform_.fromAnsi(platform_.toAnsi(Text(part))) == part; };
  if (survives(text)) return Text();
  for (std::size_t i = 0; i < text.size();) {
    bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF;
    TextView character = text.substr(i, pair ? 2 : 1);
    if (!survives(character)) return Text(character);
    i += character.size();
  }
  return Text();
}

Text basCom::settingsFilePath() const {
  return joinPath(platform_.applicationDirectory(), kSettingsFileName);
}

void basCom::pCheckOkiniFile() {
  Text path = favouritesFilePath();
  gblnOkiniFile = platform_.findNormalFile(path);
  if (gblnOkiniFile) platform_.setFileAttributes(path, attr::Normal);
  // A write cut short (the program killed half-way) leaves its temporary
  // file, as large as the file it replaces. The next write would reuse it,
  // but the user should not find it lying about until then.
  for (const Text& file : {path, settingsFilePath()}) {
    const Text leftover = temporaryFileFor(file);
    try {
      if (platform_.findNormalFile(leftover)) platform_.deleteFile(leftover);
    } catch (const RuntimeError&) {
      // One that cannot go now (another program holds it) harms nothing.
    }
  }
}

bool basCom::pReadOkiniFile(ControlRef list, FormId ownerForm) {
  if (!gblnOkiniFile) {
    platform_.setListItems(list, {});
    return true;
  }
  Text path = favouritesFilePath();
  Bytes content = platform_.readFile(path);
  ScanResult scan = scanFavourites(content);
  const Text malformedLine =
      scan.end == ScanEnd::Malformed ? quoteOfLine(content, scan.stopper, platform_) : Text();
  // A file without a single favourite leaves the table as it was.
  if (!scan.entries.empty()) {
    decodeInto(gtypOkini, std::move(content), scan.entries, platform_);
    gintOkiniMax = static_cast<std::int16_t>(scan.entries.size() - 1);  // the scan stops at the last index
  }
  std::vector<TextView> names(scan.entries.empty() ? 0 : gtypOkini.size());
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = gtypOkini.name(i);
  platform_.setListItems(list, names);
  switch (scan.end) {
    case ScanEnd::Overflow:
      raiseError(ErrOverflow);
    case ScanEnd::Malformed: {
      // Closing without a word would leave the user guessing why the program
      // vanished; name the line to mend first.
      platform_.messageBox(u"お気に入りファイルの読み込みを中止しました。\r\n" + path + u"\r\n" +
                               decimal(scan.lineNumber) + u"行目に「;」がありません:\r\n" + malformedLine,
                           mb::Critical, Text(formDeclaration(FormId::frmPyxtern).caption));
      platform_.unloadForm(ownerForm);
      return false;
    }
    case ScanEnd::EndOfFile:
    case ScanEnd::EmptyLine:
      break;
  }
  return true;
}

std::optional<Bytes> basCom::readIfPresent(const Text& path) const {
  try {
    return platform_.readFile(path);
  } catch (const RuntimeError& error) {
    if (error.number() != ErrFileNotFound) throw;
    return std::nullopt;
  }
}

basCom::SplitFile basCom::splitAtListEnd(bool mustExist) const {
  SplitFile file;
  const Text path = favouritesFilePath();
  if (mustExist) {
    file.content = platform_.readFile(path);
  } else if (std::optional<Bytes> content = readIfPresent(path)) {
    file.content = std::move(*content);
  }
  file.listEnd = scanFavourites(file.content).unreadFrom;
  return file;
}

void basCom::pAppendOkiniFile(const Text& name, const Text& path) {
  // The new line goes where the readers' list ends, so that it is seen even
  // when the file goes on below an empty line; a last line without a line end
  // is ended first rather than merged with the new one.
  SplitFile file = splitAtListEnd(false);
  Bytes line = platform_.toAnsi(trimSpaces(name) + u";" + trimSpaces(path) + u"\r\n");
  if (!endsWithLineEnd(std::string_view(file.content).substr(0, file.listEnd))) line.insert(0, kLineEnd);
  file.content.insert(file.listEnd, line);
  platform_.replaceFile(favouritesFilePath(), file.content);
}

void basCom::pWriteOkiniFileCompact() {
  Text entries;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    const typOkini entry = okini(i);
    if (entry.FileName.empty()) continue;
    entries.append(entry.FileName).append(u";").append(trimSpacesView(entry.Path)).append(u"\r\n");
  }
  rewriteListWith(platform_.toAnsi(entries));
}

void basCom::pWriteOkiniFilePadded() {
  // Written in one pass into text of the exact size: at the largest list this
  // is most of what a launch does.
  std::size_t size = 0;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) size += kNameLength + 3 + okini(i).Path.size();
  Text entries;
  entries.resize_and_overwrite(size, [&](char16_t* out, std::size_t) {
    for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
      const typOkini entry = gtypOkini[i];
      out = std::copy(entry.FileName.begin(), entry.FileName.end(), out);
      out = std::fill_n(out, kNameLength - entry.FileName.size(), u' ');
      *out++ = u';';
      out = std::copy(entry.Path.begin(), entry.Path.end(), out);
      *out++ = u'\r';
      *out++ = u'\n';
    }
    return size;
  });
  rewriteListWith(platform_.toAnsi(entries));
}

// Replaces the listed part of the file with `entries` in one step, keeping the
// part below the list (from the first empty line on) byte for byte.
void basCom::rewriteListWith(Bytes entries) {
  SplitFile file = splitAtListEnd(false);
  entries.append(file.content, file.listEnd);
  platform_.replaceFile(favouritesFilePath(), entries);
}

void basCom::pRemoveOkiniFile() {
  SplitFile file = splitAtListEnd(true);
  if (file.listEnd == file.content.size()) {
    platform_.deleteFile(favouritesFilePath());
  } else {
    platform_.replaceFile(favouritesFilePath(), file.content.substr(file.listEnd));
  }
  gblnOkiniFile = false;
}

}  // namespace pyx
