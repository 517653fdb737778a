#include "core/basCom.h"

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

struct ListedLine {
  std::size_t begin, semicolon, end;  // the line trimmed of spaces, and its first ";"
};

struct ScanResult {
  std::vector<ListedLine> entries;  // each listed line, unless only the list's end is asked for
  std::size_t count = 0;            // how many lines are listed
  ScanEnd end = ScanEnd::EndOfFile;
  std::size_t unreadFrom = 0;   // first byte that no reader takes in
  std::int32_t lineNumber = 0;  // 1-based number of the line that ended the scan
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
      result.lineNumber = static_cast<std::int32_t>(result.count);
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

// The listed lines into `table`: each name decoded (all in one conversion),
// each path kept in the file's bytes, as they were read. A path is decoded
// only when it is used, and written back as it was.
void readIntoTable(OkiniTable& table, const Bytes& content, const std::vector<ListedLine>& lines,
                   const Platform& platform) {
  Bytes names, paths;
  std::size_t nameBytes = 0, pathBytes = 0;
  for (const ListedLine& line : lines) {
    nameBytes += line.semicolon - line.begin + 1;
    pathBytes += line.end - line.semicolon - 1;
  }
  names.resize_and_overwrite(nameBytes, [&](char* out, std::size_t) {
    char* const begin = out;
    for (const ListedLine& line : lines) {
      // Without the spaces that pad it to 40 characters: they would be
      // decoded only to be trimmed.
      const std::string_view name =
          trimmedSpaces(std::string_view(content).substr(line.begin, line.semicolon - line.begin));
      std::memcpy(out, name.data(), name.size());
      out += name.size();
      *out++ = '\r';
    }
    return static_cast<std::size_t>(out - begin) - 1;  // no CR after the last
  });
  paths.resize_and_overwrite(pathBytes, [&](char* out, std::size_t) {
    for (const ListedLine& line : lines) {
      std::memcpy(out, content.data() + line.semicolon + 1, line.end - line.semicolon - 1);
      out += line.end - line.semicolon - 1;
    }
    return pathBytes;
  });
  auto [decoded, ends] =
      convertApart(names, lines.size(), [&](const Bytes& bytes) { return platform.fromAnsi(bytes); });
  table.assign(std::move(decoded), std::move(paths));
  table.reserve(lines.size());
  const TextView allNames = table.names();
  const std::string_view allPaths = table.paths();
  std::size_t nameBegin = 0, pathBegin = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t pathSize = lines[i].end - lines[i].semicolon - 1;
    table.addEntry(allNames.substr(nameBegin, ends[i] - nameBegin), allPaths.substr(pathBegin, pathSize));
    nameBegin = ends[i] + 1;
    pathBegin += pathSize;
  }
}

// Every name of the table in the file's code page, in one conversion.
std::pair<Bytes, std::vector<std::size_t>> encodedNames(const OkiniTable& table, std::int32_t last,
                                                        const Platform& platform) {
  std::size_t size = 0;
  for (std::int32_t i = 0; i <= last; ++i) size += table[i].FileName.size() + 1;
  Text names;
  names.reserve(size);
  for (std::int32_t i = 0; i <= last; ++i) names.append(table[i].FileName).push_back(u'\r');
  names.pop_back();
  return convertApart(names, static_cast<std::size_t>(last) + 1,
                      [&](const Text& text) { return platform.toAnsi(text); });
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
          std::string_view(paths_.data() + entry.path, entry.pathSize)};
}

void OkiniTable::assign(Text names, Bytes paths) {
  // Offsets are 32-bit: a list of 4 G characters is no list of favourites.
  if (names.size() > UINT32_MAX || paths.size() > UINT32_MAX) raiseError(ErrOutOfMemory);
  names_ = std::move(names);
  paths_ = std::move(paths);
  entries_.clear();
}

OkiniTable::Entry OkiniTable::entryOf(TextView name, std::string_view path) const {
  // The name keeps its first 40 characters, then loses surrounding spaces.
  name = trimSpacesView(name.substr(0, kNameLength));
  Entry entry;
  entry.name = static_cast<std::uint32_t>(name.empty() ? 0 : name.data() - names_.data());
  entry.nameSize = static_cast<std::uint8_t>(name.size());
  entry.path = static_cast<std::uint32_t>(path.empty() ? 0 : path.data() - paths_.data());
  entry.pathSize = static_cast<std::uint32_t>(path.size());
  return entry;
}

void OkiniTable::addEntry(TextView name, std::string_view path) {
  entries_.push_back(entryOf(name, path));
}

void OkiniTable::set(std::int32_t index, TextView name, std::string_view path) {
  (*this)[index];  // error 9 outside the table
  // The new name and path go at the ends of the buffers; the entry's old ones
  // stay unused until the next read replaces the buffers.
  if (names_.size() + name.size() > UINT32_MAX || paths_.size() + path.size() > UINT32_MAX)
    raiseError(ErrOutOfMemory);
  names_.append(name);
  paths_.append(path);
  entries_[static_cast<std::size_t>(index)] =
      entryOf(TextView(names_).substr(names_.size() - name.size()),
              std::string_view(paths_).substr(paths_.size() - path.size()));
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
    readIntoTable(gtypOkini, content, scan.entries, platform_);
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

void basCom::pWriteOkiniFileCompact() {
  const auto [names, ends] = encodedNames(gtypOkini, gintOkiniMax, platform_);
  Bytes entries;
  for (std::int32_t i = 0, nameBegin = 0; i <= gintOkiniMax; ++i) {
    const std::string_view name = std::string_view(names).substr(nameBegin, ends[i] - nameBegin);
    nameBegin = static_cast<std::int32_t>(ends[i]) + 1;
    if (name.empty()) continue;
    entries.append(name).append(";").append(trimmedSpaces(okini(i).Path)).append(kLineEnd);
  }
  rewriteListWith(std::move(entries));
}

void basCom::pWriteOkiniFilePadded() {
  const auto encoded = encodedNames(gtypOkini, gintOkiniMax, platform_);
  const Bytes& names = encoded.first;
  const std::vector<std::size_t>& ends = encoded.second;
  std::size_t size = names.size() + 1;  // the names, and a CR after each
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    const typOkini entry = okini(i);
    size += kNameLength - entry.FileName.size() + 2 + entry.Path.size();
  }
  Bytes entries;
  entries.resize_and_overwrite(size, [&](char* out, std::size_t) {
    std::size_t nameBegin = 0;
    for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
      const typOkini entry = gtypOkini[i];
      const std::size_t nameEnd = ends[static_cast<std::size_t>(i)];
      std::memcpy(out, names.data() + nameBegin, nameEnd - nameBegin);
      out += nameEnd - nameBegin;
      nameBegin = nameEnd + 1;
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
  rewriteListWith(std::move(entries));
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
