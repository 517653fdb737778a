// Item access to the settings file "Tesmora.ini" and the two hotkey readers.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "core/error_trap.h"
#include "core/text.h"

namespace pyx {

class Application;

inline constexpr std::uint32_t kIniReadBufferBytes = 20000;

// Modifier flags of a hotkey registration.
namespace hotkeymod {
inline constexpr std::uint32_t Alt = 1;
inline constexpr std::uint32_t Ctrl = 2;
inline constexpr std::uint32_t Shift = 4;
}  // namespace hotkeymod

class basIniFIle {
 public:
  explicit basIniFIle(Application& app);

  // Reads one item into `result`; -1 when at least one byte came back.
  std::int16_t pGetIniFileItem(const Text& file, const Text& section, const Text& key,
                               const Text& defaultText, Text& result);
  // Writes one item; 0 when the write failed (after reporting it).
  std::int16_t pSetIniFileItem(const Text& file, const Text& section, const Text& key, const Text& value);
  // Cuts `text` to `byteCount` bytes of its ANSI form without leaving half a
  // double-byte character.
  Text pEditKnjStr(const Text& text, std::int32_t byteCount);

  // Read the hotkey of section "Start" / "Small"; unless `readOnly`, also
  // register it for the launcher window.
  std::int16_t pGet_Start_Atom(bool readOnly, Text& ctrl, Text& alt, Text& shift, Text& key);
  std::int16_t pGet_Small_Atom(bool readOnly, Text& ctrl, Text& alt, Text& shift, Text& key);

  // What to tell the user about the hotkeys the system refused to register
  // since the last call, one sentence each; empty when all were taken.
  Text takeRefusedHotKeys();

 private:
  std::int16_t readHotKey(TextView procedure, TextView section, std::int16_t atom, bool readOnly, Text& ctrl,
                          Text& alt, Text& shift, Text& key);

  Application& app_;
  ErrorTrap trap_;
  Text refusedHotKeys_;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> callUpCombination_;  // modifiers, key
};

}  // namespace pyx
