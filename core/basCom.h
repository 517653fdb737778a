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

// The favourites table. The names lie in one buffer of text and the paths in
// one buffer of the file's bytes; each entry is a few offsets into them. The
// largest list so costs its characters and 16 bytes a favourite, a read
// decodes only the names, and a rewrite gives every path back byte for byte.
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

  TextView names() const { return names_; }
  std::string_view paths() const { return paths_; }
  // Starts a table that holds these names and paths; entries are then added
  // as views into them.
  void assign(Text names, Bytes paths);
  void addEntry(TextView name, std::string_view path);
  void reserve(std::size_t count) { entries_.reserve(count); }
  // Sets an entry (error 9 outside the table); the name is kept to 40 characters.
  void set(std::int32_t index, TextView name, std::string_view path);
  // Entries added at the end are empty; entries cut off are gone.
  void resize(std::size_t count) { entries_.resize(count); }
  void moveToTop(std::int32_t index);

 private:
  struct Entry {
    std::uint32_t name = 0, path = 0, pathSize = 0;  // in names_ and paths_
    std::uint8_t nameSize = 0;
  };
  Entry entryOf(TextView name, std::string_view path) const;

  Text names_;
  Bytes paths_;
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

  // Clears `list`, then (while the file exists) reads entries from the top of
  // the file until the first empty line into the table and the list. A
  // non-empty line without ";" stops the reading: the user is told which line
  // it is, `ownerForm` is unloaded and the result is false.
  bool pReadOkiniFile(ControlRef list, FormId ownerForm);

  // Adds one favourite as "name;path" at the end of the list in the file,
  // creating the file when missing.
  void pAppendOkiniFile(const Text& name, const Text& path);

  // Rewrites the file from the table: trimmed, entries without a name dropped.
  void pWriteOkiniFileCompact();
  // Rewrites the file from the table: names padded to 40 characters, paths as held.
  void pWriteOkiniFilePadded();
  // Removes the file after its only favourite was deleted; lines that no
  // reader takes in (below an empty line) are kept in it.
  void pRemoveOkiniFile();

  // The file's bytes; std::nullopt when there is no such file. Other
  // failures are raised.
  std::optional<Bytes> readIfPresent(const Text& path) const;

 private:
  struct SplitFile {
    Bytes content;
    std::size_t listEnd = 0;  // the lines the readers take in end here; the rest is kept as it is
  };
  SplitFile splitAtListEnd(bool mustExist) const;
  void rewriteListWith(Bytes entries);

  Platform& platform_;
};

}  // namespace pyx
