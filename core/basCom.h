// Shared state of the program (the favourites table, settings copies, hotkey
// identifiers, the tray record, the command line) and the favourites file
// "pyxtern.txt", which lives beside the executable. One basCom belongs to one
// Application; nothing here is global.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "platform/platform.h"

namespace pyx {

inline constexpr std::size_t kNameLength = 40;
inline constexpr std::int32_t kLastOkiniIndex = 32767;  // the table's index is a signed 16-bit number
inline constexpr char16_t kFavouritesFileName[] = u"pyxtern.txt";
inline constexpr char16_t kSettingsFileName[] = u"Tesmora.ini";

// One favourite: its name as the table keeps it (its first 40 characters,
// without surrounding spaces; written back padded to 40) and its path in the
// favourites file's code page, as read or registered. Both are views into the
// table, valid until the table next changes.
struct typOkini {
  TextView FileName;
  std::string_view Path;
};

// The favourites table. The names lie in one buffer of text; the table keeps
// the file's bytes as they were read, and each entry is a few offsets into
// the two. A read decodes only the names and copies nothing else, and a
// rewrite gives every path, and every name the user did not change, back
// byte for byte: a launch only reorders lines, whatever the code page makes
// of their bytes.
class OkiniTable {
 public:
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // The entry's name and path; error 9 outside the table.
  typOkini operator[](std::int32_t index) const;
  TextView name(std::size_t index) const {  // unchecked, for the lookup's passes
    const Entry& entry = entries_[index];
    return TextView(names_.data() + entry.name, entry.nameSize);
  }

  // The entry's name in the file's bytes as it was read, when it is written
  // back so; std::nullopt when it is encoded (a name the user set, or one cut
  // to 40 characters).
  std::optional<std::string_view> nameAsRead(std::size_t index) const;
  // The part of the file the table was read from: its list, up to the line
  // that ended it.
  std::string_view listAsRead() const { return std::string_view(bytes_).substr(0, listEnd_); }

  TextView names() const { return names_; }
  std::string_view bytes() const { return bytes_; }
  // Starts a table of these decoded names and the file's bytes, whose list
  // ends at `listEnd`; entries are then added as views into the two.
  void assign(Text names, Bytes bytes, std::size_t listEnd);
  void addEntry(TextView name, std::string_view nameAsRead, std::string_view path);
  void reserve(std::size_t count) { entries_.reserve(count); }
  void clear() { assign(Text(), Bytes(), 0); }
  // Sets an entry (error 9 outside the table); the name is kept to 40
  // characters, and encoded when the file is next written.
  void set(std::int32_t index, TextView name, std::string_view path);
  // Entries added at the end are empty; entries cut off are gone.
  void resize(std::size_t count) { entries_.resize(count); }
  void moveToTop(std::int32_t index);

 private:
  struct Entry {
    std::uint32_t name = 0, path = 0, pathSize = 0, nameAsRead = 0;  // in names_ and bytes_
    std::uint8_t nameSize = 0, nameAsReadSize = 0;                   // 0: the name is encoded
  };
  Entry entryOf(TextView name, std::string_view path) const;

  Text names_;
  Bytes bytes_;
  std::size_t listEnd_ = 0;
  std::vector<Entry> entries_;
};

class basCom {
 public:
  explicit basCom(Platform& platform) : platform_(platform) {}

  // --- Shared variables ---
  OkiniTable gtypOkini;  // empty until a reader first fills it
  std::int16_t gintOkiniMax = 0;
  bool gblnOkiniFile = false;
  Text gstrOpenType;
  Text gstrIeExe;
  Text gstrFormClose;
  std::int16_t gintHotKey1Atom = 0;
  std::int16_t gintHotKey2Atom = 0;
  std::intptr_t glngPrevWndProc = 0;
  TrayRecord gtypTray;
  Text gstrCommand;
  Text gstrTorkPath;
  std::int32_t glngOSType = 0;

  // Entry of the favourites table; error 9 outside the table.
  typOkini okini(std::int32_t index) const { return gtypOkini[index]; }
  // An entry's path as text; error 9 outside the table.
  Text okiniPath(std::int32_t index) const;
  bool hasOkiniTable() const { return !gtypOkini.empty(); }

  Text favouritesFilePath() const;

  // The first character (a surrogate pair counts as one) that the favourites
  // file's code page cannot hold, or empty text when it holds them all.
  Text firstCharacterTheFileCannotHold(TextView text) const;
  Text settingsFilePath() const;

  // --- The favourites file. Failures raise run-time errors that the calling
  // procedure's trap reports. ---

  // Start-up: sets gblnOkiniFile from a normal-file search and resets the
  // file's attributes to normal when found; removes what an interrupted
  // rewrite left beside it.
  void pCheckOkiniFile();
  // Sets gblnOkiniFile from a normal-file search, after another writer
  // changed the file.
  void pRecheckOkiniFile();

  // Clears `list`, then (while the file exists) reads entries from the top of
  // the file until the first empty line into the table and the list; a file
  // without a single entry leaves an empty table. A non-empty line without
  // ";" stops the reading: the user is told which line it is, `ownerForm` is
  // unloaded and the result is false.
  bool pReadOkiniFile(ControlRef list, FormId ownerForm);

  // Adds one favourite as "name;path" at the end of the list in the file,
  // creating the file when missing.
  void pAppendOkiniFile(const Text& name, const Text& path);

  // The rewrites and the removal change the file only while its list is what
  // the table was read from. When another writer (an editor, a copy of the
  // program in another session) has changed it since, they write nothing and
  // return false: the caller reads the file again and decides anew, so that
  // nothing is written over a change the program has not seen.

  // Rewrites the file from the table: trimmed, entries without a name dropped.
  [[nodiscard]] bool pWriteOkiniFileCompact();
  // Rewrites the file from the table: names padded to 40 characters, paths as held.
  [[nodiscard]] bool pWriteOkiniFilePadded();
  // Removes the file after its only favourite was deleted; lines that no
  // reader takes in (below an empty line) are kept in it.
  [[nodiscard]] bool pRemoveOkiniFile();

  // The file's bytes; std::nullopt when there is no such file. Other
  // failures are raised.
  std::optional<Bytes> readIfPresent(const Text& path) const;

 private:
  struct SplitFile {
    Bytes content;
    std::size_t listEnd = 0;  // the lines the readers take in end here; the rest is kept as it is
  };
  SplitFile splitAtListEnd(bool mustExist) const;
  bool isListAsRead(const SplitFile& file) const;
  bool rewriteListWith(Bytes entries);
  // Each name's bytes for a rewrite: as read, or encoded (all of those in
  // one conversion); `names` holds the encoded ones.
  std::vector<std::string_view> nameBytesForRewrite(Bytes& names) const;

  Platform& platform_;
  // The file as the program last rewrote it, and where its list ends, until
  // the next read: what the file is then compared with.
  Bytes writtenFile_;
  std::optional<std::size_t> writtenListEnd_;
};

}  // namespace pyx
