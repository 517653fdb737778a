// Shared state of the program (the favourites table, settings copies, hotkey
// identifiers, the tray record, the command line) and the favourites file
// "pyxtern.txt", which lives beside the executable. One basCom belongs to one
// Application; nothing here is global.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/text.h"
#include "platform/platform.h"

namespace pyx {

inline constexpr std::size_t kNameLength = 40;
inline constexpr std::int32_t kLastOkiniIndex = 32767;  // the table's index is a signed 16-bit number
inline constexpr char16_t kFavouritesFileName[] = u"pyxtern.txt";
inline constexpr char16_t kSettingsFileName[] = u"Tesmora.ini";

// Text of exactly N characters, held in place: a longer value keeps its
// first N, a shorter one is padded with spaces.
template <std::size_t N>
class FixedText {
 public:
  FixedText() { value_.fill(u' '); }
  FixedText& operator=(TextView text) {
    std::size_t kept = std::min(text.size(), N);
    std::copy_n(text.begin(), kept, value_.begin());
    std::fill(value_.begin() + static_cast<std::ptrdiff_t>(kept), value_.end(), u' ');
    // Where the text without its surrounding spaces lies, worked out once:
    // the lookup compares every name three times.
    TextView trimmed = trimSpacesView(full());
    trimmedBegin_ = static_cast<std::uint8_t>(trimmed.empty() ? 0 : trimmed.data() - value_.data());
    trimmedSize_ = static_cast<std::uint8_t>(trimmed.size());
    return *this;
  }
  TextView full() const { return TextView(value_.data(), N); }
  Text trimmed() const { return Text(trimmedView()); }
  TextView trimmedView() const { return TextView(value_.data() + trimmedBegin_, trimmedSize_); }

 private:
  static_assert(N < 256);
  std::array<char16_t, N> value_;
  std::uint8_t trimmedBegin_ = 0, trimmedSize_ = 0;
};

struct typOkini {
  FixedText<kNameLength> FileName;
  Text Path;
};

class basCom {
 public:
  explicit basCom(Platform& platform) : platform_(platform) {}

  // --- Shared variables ---
  std::vector<typOkini> gtypOkini;  // empty until a reader first fills it
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
  typOkini& okini(std::int32_t index);
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
