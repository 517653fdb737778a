#include "core/basCom.h"

#include <cstring>
#include <tuple>
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

struct ListedLine {
  std::size_t begin, semicolon, end;  // the line trimmed of spaces, and its first ";"
};

struct ScanResult {
  std::vector<ListedLine> entries;  // each listed line, unless only the list's end is asked for
  std::size_t count = 0;            // how many lines are listed
  ScanEnd end = ScanEnd::EndOfFile;
  std::size_t unreadFrom = 0;   // first byte that no reader takes in
  std::int32_t lineNumber = 0;  // 1-based number of the line without ";" that ended the scan
  ByteRange stopper{0, 0};      // that line, trimmed
};

// `bytes` without leading and trailing spaces (in the code page a space is
// never part of a double-byte character). Trailing ones go eight at a time:
// names are padded with tens of them.
std::string_view trimmedSpaces(std::string_view bytes) {
  while (!bytes.empty() && bytes.front() == ' ') bytes.remove_prefix(1);
  constexpr std::uint64_t kEightSpaces = 0x2020202020202020u;
  for (std::uint64_t eight; bytes.size() >= 8; bytes.remove_suffix(8)) {
    std::memcpy(&eight, bytes.data() + bytes.size() - 8, sizeof eight);
    if (eight != kEightSpaces) break;
  }
  while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  return bytes;
}

// Walks the file the way every reader does: lines end at CR LF or a lone CR
// (a lone LF is part of the line), a last line without an end still counts,
// and the first empty line, the first line without ";" or the 32,768th entry
// ends the list. The bytes alone tell all this: in the code page a space, a
// CR and ";" are single bytes that never occur inside a double-byte
// character, so nothing is decoded here.
ScanResult scanFavourites(const Bytes& content, bool listLines = true) {
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
    const std::string_view trimmed =
        trimmedSpaces(std::string_view(content).substr(lineStart, lineEnd - lineStart));
    const std::size_t trimmedBegin = static_cast<std::size_t>(trimmed.data() - content.data());
    const ByteRange line{trimmedBegin, trimmedBegin + trimmed.size()};
    const std::size_t semicolon = content.find(';', line.begin);
    if (semicolon >= line.end) {
      result.end = line.begin == line.end ? ScanEnd::EmptyLine : ScanEnd::Malformed;
      result.unreadFrom = lineStart;
      result.lineNumber = static_cast<std::int32_t>(result.count) + 1;
      result.stopper = line;
      return result;
    }
    if (listLines) result.entries.push_back({line.begin, semicolon, line.end});
    if (++result.count > static_cast<std::size_t>(kLastOkiniIndex)) {
      result.end = ScanEnd::Overflow;
      result.unreadFrom = pos;
      return result;
    }
  }
  result.unreadFrom = content.size();
  return result;
}

// `count` pieces of text, converted in one call with a CR between them (no
// piece holds one) and cut apart again. Should the conversion not keep them
// apart (a broken double-byte character before a CR), each is converted
// alone. `convert` turns a joined run of pieces into the other form.
template <class Joined, class Convert>
auto convertApart(const Joined& joined, std::size_t count, Convert convert)
    -> std::pair<decltype(convert(joined)), std::vector<std::size_t>> {
  auto converted = convert(joined);
  std::vector<std::size_t> ends;  // where each converted piece ends
  ends.reserve(count);
  for (std::size_t pos = 0; ends.size() < count; ++pos) {
    pos = std::min(converted.find(typename decltype(converted)::value_type('\r'), pos), converted.size());
    ends.push_back(pos);
    if (pos == converted.size()) break;
  }
  if (ends.size() == count && ends.back() == converted.size()) return {std::move(converted), std::move(ends)};
  converted.clear();
  ends.clear();
  std::size_t begin = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = std::min(joined.find(typename Joined::value_type('\r'), begin), joined.size());
    converted += convert(Joined(joined.substr(begin, end - begin)));
    ends.push_back(converted.size());
    converted += typename Joined::value_type('\r');
    begin = end + 1;
  }
  converted.pop_back();
  return {std::move(converted), std::move(ends)};
}

// The listed lines into `table`, which keeps the file's bytes: each name
// decoded (all in one conversion); each path, and each name as it was read,
// a view into those bytes. A path is decoded only when it is used.
void readIntoTable(OkiniTable& table, Bytes content, std::size_t listEnd,
                   const std::vector<ListedLine>& lines, const Platform& platform) {
  if (lines.empty()) return table.assign(Text(), std::move(content), listEnd);
  std::vector<ByteRange> rawNames;  // without the spaces that pad them to 40 characters
  rawNames.reserve(lines.size());
  std::size_t nameBytes = 0;
  for (const ListedLine& line : lines) {
    const std::string_view name =
        trimmedSpaces(std::string_view(content).substr(line.begin, line.semicolon - line.begin));
    const auto begin = static_cast<std::size_t>(name.data() - content.data());
    rawNames.push_back({begin, begin + name.size()});
    nameBytes += name.size() + 1;
  }
  Bytes names;
  names.resize_and_overwrite(nameBytes, [&](char* out, std::size_t) {
    char* const begin = out;
    for (ByteRange name : rawNames) {
      std::memcpy(out, content.data() + name.begin, name.end - name.begin);
      out += name.end - name.begin;
      *out++ = '\r';
    }
    return static_cast<std::size_t>(out - begin) - 1;  // no CR after the last
  });
  auto [decoded, ends] =
      convertApart(names, lines.size(), [&](const Bytes& bytes) { return platform.fromAnsi(bytes); });
  table.assign(std::move(decoded), std::move(content), listEnd);
  table.reserve(lines.size());
  const TextView allNames = table.names();
  const std::string_view bytes = table.bytes();
  std::size_t nameBegin = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ListedLine& line = lines[i];
    table.addEntry(allNames.substr(nameBegin, ends[i] - nameBegin),
                   bytes.substr(rawNames[i].begin, rawNames[i].end - rawNames[i].begin),
                   bytes.substr(line.semicolon + 1, line.end - line.semicolon - 1));
    nameBegin = ends[i] + 1;
  }
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
  return {name(static_cast<std::size_t>(index)),
          std::string_view(bytes_.data() + entry.path, entry.pathSize)};
}

std::optional<std::string_view> OkiniTable::nameAsRead(std::size_t index) const {
  const Entry& entry = entries_[index];
  if (entry.nameAsReadSize == 0) return std::nullopt;
  return std::string_view(bytes_.data() + entry.nameAsRead, entry.nameAsReadSize);
}

void OkiniTable::assign(Text names, Bytes bytes, std::size_t listEnd) {
  // Offsets are 32-bit: a list of 4 G characters is no list of favourites.
  if (names.size() > UINT32_MAX || bytes.size() > UINT32_MAX) raiseError(ErrOutOfMemory);
  names_ = std::move(names);
  bytes_ = std::move(bytes);
  listEnd_ = listEnd;
  entries_.clear();
}

OkiniTable::Entry OkiniTable::entryOf(TextView name, std::string_view path) const {
  // The name keeps its first 40 characters, then loses surrounding spaces.
  name = trimSpacesView(name.substr(0, kNameLength));
  Entry entry;
  entry.name = static_cast<std::uint32_t>(name.empty() ? 0 : name.data() - names_.data());
  entry.nameSize = static_cast<std::uint8_t>(name.size());
  entry.path = static_cast<std::uint32_t>(path.empty() ? 0 : path.data() - bytes_.data());
  entry.pathSize = static_cast<std::uint32_t>(path.size());
  return entry;
}

void OkiniTable::addEntry(TextView name, std::string_view nameAsRead, std::string_view path) {
  Entry entry = entryOf(name, path);
  // A name cut to 40 characters is written cut, so encoded; so is one of too
  // many bytes to count in the entry.
  if (name.size() <= kNameLength && nameAsRead.size() <= UINT8_MAX) {
    entry.nameAsRead = static_cast<std::uint32_t>(nameAsRead.empty() ? 0 : nameAsRead.data() - bytes_.data());
    entry.nameAsReadSize = static_cast<std::uint8_t>(nameAsRead.size());
  }
  entries_.push_back(entry);
}

void OkiniTable::set(std::int32_t index, TextView name, std::string_view path) {
  (*this)[index];  // error 9 outside the table
  // The new name and path go at the ends of the buffers; the entry's old ones
  // stay unused until the next read replaces the buffers.
  if (names_.size() + name.size() > UINT32_MAX || bytes_.size() + path.size() > UINT32_MAX)
    raiseError(ErrOutOfMemory);
  names_.append(name);
  bytes_.append(path);
  entries_[static_cast<std::size_t>(index)] =
      entryOf(TextView(names_).substr(names_.size() - name.size()),
              std::string_view(bytes_).substr(bytes_.size() - path.size()));
}

void OkiniTable::moveToTop(std::int32_t index) {
  (*this)[index];  // error 9 outside the table
  auto first = entries_.begin();
  std::rotate(first, first + index, first + index + 1);
}

Text basCom::okiniPath(std::int32_t index) const {
  return platform_.fromAnsi(Bytes(okini(index).Path));
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

void basCom::pRecheckOkiniFile() {
  gblnOkiniFile = platform_.findNormalFile(favouritesFilePath());
}

void basCom::pCheckOkiniFile() {
  Text path = favouritesFilePath();
  pRecheckOkiniFile();
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
  // A file without a single favourite leaves none to search or to write
  // back: the user emptied the list, and what it held is gone.
  const std::size_t count = scan.entries.size();
  readIntoTable(gtypOkini, std::move(content), scan.unreadFrom, scan.entries, platform_);
  Bytes().swap(writtenFile_);
  writtenListEnd_.reset();
  gintOkiniMax = static_cast<std::int16_t>(count == 0 ? 0 : count - 1);  // the scan stops at the last index
  std::vector<TextView> names(count);
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
  file.listEnd = scanFavourites(file.content, false).unreadFrom;
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

std::vector<std::string_view> basCom::nameBytesForRewrite(Bytes& encoded) const {
  okini(gintOkiniMax);  // error 9 for a count outside the table
  const auto count = static_cast<std::size_t>(gintOkiniMax) + 1;
  Text toEncode;
  std::size_t encodedCount = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (gtypOkini.nameAsRead(i)) continue;
    toEncode.append(gtypOkini.name(i)).push_back(u'\r');
    ++encodedCount;
  }
  std::vector<std::size_t> ends;
  if (encodedCount > 0) {
    toEncode.pop_back();
    std::tie(encoded, ends) =
        convertApart(toEncode, encodedCount, [&](const Text& text) { return platform_.toAnsi(text); });
  }
  std::vector<std::string_view> names;
  names.reserve(count);
  for (std::size_t i = 0, next = 0, begin = 0; i < count; ++i) {
    if (std::optional<std::string_view> asRead = gtypOkini.nameAsRead(i)) {
      names.push_back(*asRead);
      continue;
    }
    names.push_back(std::string_view(encoded).substr(begin, ends[next] - begin));
    begin = ends[next++] + 1;
  }
  return names;
}

bool basCom::pWriteOkiniFileCompact() {
  Bytes encoded;
  const std::vector<std::string_view> names = nameBytesForRewrite(encoded);
  Bytes entries;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    const std::string_view name = names[static_cast<std::size_t>(i)];
    if (name.empty()) continue;
    entries.append(name).append(";").append(trimmedSpaces(okini(i).Path)).append(kLineEnd);
  }
  return rewriteListWith(std::move(entries));
}

bool basCom::pWriteOkiniFilePadded() {
  Bytes encoded;
  const std::vector<std::string_view> names = nameBytesForRewrite(encoded);
  std::size_t size = 0;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    const typOkini entry = okini(i);
    size += names[static_cast<std::size_t>(i)].size() + kNameLength - entry.FileName.size() + 3 +
            entry.Path.size();
  }
  Bytes entries;
  entries.resize_and_overwrite(size, [&](char* out, std::size_t) {
    for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
      const typOkini entry = gtypOkini[i];
      const std::string_view name = names[static_cast<std::size_t>(i)];
      std::memcpy(out, name.data(), name.size());
      out += name.size();
      // The name fills 40 characters, whatever their bytes.
      out = std::fill_n(out, kNameLength - entry.FileName.size(), ' ');
      *out++ = ';';
      std::memcpy(out, entry.Path.data(), entry.Path.size());
      out += entry.Path.size();
      *out++ = '\r';
      *out++ = '\n';
    }
    return size;
  });
  return rewriteListWith(std::move(entries));
}

bool basCom::isListAsRead(const SplitFile& file) const {
  const std::string_view known =
      writtenListEnd_ ? std::string_view(writtenFile_).substr(0, *writtenListEnd_) : gtypOkini.listAsRead();
  return std::string_view(file.content).substr(0, file.listEnd) == known;
}

// Replaces the listed part of the file with `entries` in one step, keeping the
// part below the list (from the first empty line on) byte for byte.
bool basCom::rewriteListWith(Bytes entries) {
  SplitFile file = splitAtListEnd(false);
  if (!isListAsRead(file)) return false;
  const std::size_t listEnd = entries.size();
  entries.append(file.content, file.listEnd);
  platform_.replaceFile(favouritesFilePath(), entries);
  // The list is now what the table holds, as written; until the next read
  // the file is compared with that.
  writtenFile_ = std::move(entries);
  writtenListEnd_ = listEnd;
  return true;
}

bool basCom::pRemoveOkiniFile() {
  SplitFile file = splitAtListEnd(true);
  if (!isListAsRead(file)) return false;
  if (file.listEnd == file.content.size()) {
    platform_.deleteFile(favouritesFilePath());
  } else {
    platform_.replaceFile(favouritesFilePath(), file.content.substr(file.listEnd));
  }
  gblnOkiniFile = false;
  return true;
}

}  // namespace pyx
