#include "core/basCom.h"

#include <functional>

#include "core/vb_error.h"
#include "forms/forms.h"

namespace pyx {

namespace {

constexpr char kLineEnd[] = "\r\n";

enum class ScanEnd { EndOfFile, EmptyLine, Malformed, Overflow };

struct ScanResult {
  ScanEnd end = ScanEnd::EndOfFile;
  std::size_t unreadFrom = 0;   // first byte that no reader takes in
  std::int32_t lineNumber = 0;  // 1-based number of the line that ended the scan
  Text line;                    // that line, trimmed
};

// Walks the file the way every reader does: lines end at CR LF or a lone CR
// (a lone LF is part of the line), a last line without an end still counts,
// and the first empty line, the first line without ";" or the 32,768th entry
// ends the list. `onEntry` gets each entry's index, its trimmed line and the
// position of the line's first ";".
ScanResult scanFavourites(const Bytes& content, const Platform& platform,
                          const std::function<void(std::int32_t, const Text&, std::size_t)>& onEntry) {
  ScanResult result;
  std::size_t pos = 0;
  std::int32_t index = 0;
  while (pos < content.size()) {
    std::size_t lineStart = pos;
    std::size_t cr = content.find('\r', pos);
    std::size_t lineEnd = cr == Bytes::npos ? content.size() : cr;
    pos = lineEnd;
    if (pos < content.size()) {
      ++pos;
      if (pos < content.size() && content[pos] == '\n') ++pos;
    }
    Text line = trimSpaces(platform.fromAnsi(content.substr(lineStart, lineEnd - lineStart)));
    std::size_t semicolon = line.find(u';');
    if (semicolon == Text::npos) {
      result.end = line.empty() ? ScanEnd::EmptyLine : ScanEnd::Malformed;
      result.unreadFrom = lineStart;
      result.lineNumber = index + 1;
      result.line = std::move(line);
      return result;
    }
    if (onEntry) onEntry(index, line, semicolon);
    if (index == kLastOkiniIndex) {
      result.end = ScanEnd::Overflow;
      result.unreadFrom = pos;
      result.lineNumber = index + 1;
      return result;
    }
    ++index;
  }
  result.unreadFrom = content.size();
  return result;
}

bool endsWithLineEnd(const Bytes& text) {
  if (text.empty()) return true;
  if (text.back() == '\r') return true;
  return text.size() >= 2 && text.compare(text.size() - 2, 2, kLineEnd) == 0;
}

}  // namespace

typOkini& basCom::okini(std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= gtypOkini.size()) raiseError(ErrSubscriptOutOfRange);
  return gtypOkini[static_cast<std::size_t>(index)];
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
}

bool basCom::pReadOkiniFile(ControlRef list, FormId ownerForm) {
  platform_.clearList(list);
  if (!gblnOkiniFile) return true;
  Text path = favouritesFilePath();
  Bytes content = platform_.readFile(path);
  ScanResult scan =
      scanFavourites(content, platform_, [&](std::int32_t index, const Text& line, std::size_t semicolon) {
        if (index == 0) {
          gtypOkini.assign(1, typOkini{});
        } else {
          gtypOkini.resize(static_cast<std::size_t>(index) + 1);
        }
        typOkini& entry = gtypOkini[static_cast<std::size_t>(index)];
        entry.FileName = TextView(line).substr(0, semicolon);
        entry.Path = line.substr(semicolon + 1);
        platform_.addListItem(list, entry.FileName.trimmed());
        gintOkiniMax = static_cast<std::int16_t>(index);
      });
  switch (scan.end) {
    case ScanEnd::Overflow:
      raiseError(ErrOverflow);
    case ScanEnd::Malformed:
      // Closing without a word would leave the user guessing why the program
      // vanished; name the line to mend first.
      platform_.messageBox(u"お気に入りファイルの読み込みを中止しました。\r\n" + path + u"\r\n" +
                               decimal(scan.lineNumber) + u"行目に「;」がありません:\r\n" + scan.line,
                           mb::Critical, Text(formDeclaration(FormId::frmPyxtern).caption));
      platform_.unloadForm(ownerForm);
      return false;
    case ScanEnd::EndOfFile:
    case ScanEnd::EmptyLine:
      break;
  }
  return true;
}

Bytes basCom::lineBytes(const Text& line) const {
  return platform_.toAnsi(line) + kLineEnd;
}

basCom::SplitFile basCom::splitAtListEnd(bool mustExist) const {
  Bytes content;
  try {
    content = platform_.readFile(favouritesFilePath());
  } catch (const RuntimeError& error) {
    if (mustExist || error.number() != ErrFileNotFound) throw;
  }
  std::size_t listEnd = scanFavourites(content, platform_, nullptr).unreadFrom;
  return {content.substr(0, listEnd), content.substr(listEnd)};
}

void basCom::pAppendOkiniFile(const Text& name, const Text& path) {
  // The new line goes where the readers' list ends, so that it is seen even
  // when the file goes on below an empty line; a last line without a line end
  // is ended first rather than merged with the new one.
  SplitFile file = splitAtListEnd(false);
  if (!endsWithLineEnd(file.listed)) file.listed += kLineEnd;
  platform_.replaceFile(favouritesFilePath(),
                        file.listed + lineBytes(trimSpaces(name) + u";" + trimSpaces(path)) + file.unread);
}

void basCom::pWriteOkiniFileCompact() {
  Bytes entries;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    typOkini& entry = okini(i);
    Text name = entry.FileName.trimmed();
    if (!name.empty()) entries += lineBytes(name + u";" + trimSpaces(entry.Path));
  }
  rewriteListWith(entries);
}

void basCom::pWriteOkiniFilePadded() {
  Bytes entries;
  for (std::int32_t i = 0; i <= gintOkiniMax; ++i) {
    typOkini& entry = okini(i);
    entries += lineBytes(entry.FileName.full() + u";" + entry.Path);
  }
  rewriteListWith(entries);
}

// Replaces the listed part of the file with `entries` in one step, keeping the
// part below the list (from the first empty line on) byte for byte.
void basCom::rewriteListWith(const Bytes& entries) {
  SplitFile file = splitAtListEnd(false);
  platform_.replaceFile(favouritesFilePath(), entries + file.unread);
}

void basCom::pRemoveOkiniFile() {
  SplitFile file = splitAtListEnd(true);
  if (file.unread.empty()) {
    platform_.deleteFile(favouritesFilePath());
  } else {
    platform_.replaceFile(favouritesFilePath(), file.unread);
  }
  gblnOkiniFile = false;
}

}  // namespace pyx
