// The settings window's hotkey capture on arbitrary key presses (any key
// code, any shift state, any box), checked against the capture rules written
// out here on their own: which keys are taken, the modifiers a key gets from
// those held, the name shown and the flags recorded; a refused key is
// swallowed and changes nothing. Also the name of any stored hotkey.
#include <array>
#include <cstdint>
#include <cstring>

#include "core/application.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/sim_desktop.h"

namespace {

using pyx::Text;
using pyx::fuzz::require;

enum class KeyClass { Refused, Character, Keypad, Function };

struct Key {
  KeyClass kind = KeyClass::Refused;
  Text name;
};

Key classify(std::int32_t code) {
  if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
    return {KeyClass::Character, Text(1, static_cast<char16_t>(code))};
  if (code >= 96 && code <= 105) return {KeyClass::Keypad, u"Num " + pyx::decimal(code - 96)};
  constexpr std::array<const char16_t*, 6> kKeypadSigns = {u"*", u"+", nullptr, u"-", u".", u"/"};
  if (code >= 106 && code <= 111 && kKeypadSigns[code - 106] != nullptr)
    return {KeyClass::Keypad, kKeypadSigns[code - 106]};
  if (code >= 112 && code <= 127) return {KeyClass::Function, u"F" + pyx::decimal(code - 111)};
  return {};
}

struct Held {
  bool shift, alt, ctrl;
};

// Shift state bits: 1 Shift, 2 Ctrl, 4 Alt.
Held modifiers(std::int16_t state, KeyClass kind) {
  switch (state & 7) {
    case 0:
      return kind == KeyClass::Character ? Held{false, true, true} : Held{false, false, false};
    case 2:
      return kind == KeyClass::Keypad ? Held{false, false, true} : Held{false, true, true};
    case 3:
      return {true, false, true};
    case 4:
      return kind == KeyClass::Keypad ? Held{false, true, false} : Held{false, true, true};
    case 5:
      return {true, true, false};
    case 7:
      return {true, true, true};
    default:  // Shift alone, Ctrl + Alt
      return {false, true, true};
  }
}

Text shownName(Held held, const Text& key) {
  if (held.shift && held.alt && !held.ctrl) return u"Sift + Alt + " + key;
  Text name;
  if (held.ctrl) name += u"Ctrl + ";
  if (held.alt) name += u"Alt + ";
  if (held.shift) name += u"Sift + ";
  return name + key;
}

Text flag(bool on) {
  return on ? u"1" : u"0";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pyx;
  static SimDesktop sim;
  static Application app(sim);
  static const bool ready = [] {
    sim.setRecording(false);
    sim.loadForm(FormId::frmSetPgm);
    return true;
  }();
  require(ready, "the settings window is loaded");
  basSetPgm& capture = app.setPgm;

  // Five bytes a press: key code, shift state, box.
  for (std::size_t at = 0; at + 5 <= size; at += 5) {
    std::int16_t code, state;
    std::memcpy(&code, data + at, 2);
    std::memcpy(&state, data + at + 2, 2);
    const std::int16_t box = data[at + 4] < 0xF0 ? data[at + 4] % 2 : static_cast<std::int8_t>(data[at + 4]);
    const auto before =
        std::array{capture.mstrHotShift, capture.mstrHotAlt, capture.mstrHotCtrl, capture.mstrHotKey};
    const std::size_t messages = sim.messageBoxes().size();
    const ControlRef boxRef{FormId::frmSetPgm, "txtHotKey_Def", static_cast<std::int16_t>(box == 1)};
    const Text shownBefore = sim.controlText(boxRef);

    std::int16_t keyCode = code, shift = state;
    capture.pfrmSetPgm_txtHotKey_Def_KeyDown(keyCode, shift, box);
    const auto after =
        std::array{capture.mstrHotShift, capture.mstrHotAlt, capture.mstrHotCtrl, capture.mstrHotKey};
    if (box != 0 && box != 1) {
      require(sim.messageBoxes().size() == messages + 1, "a box that does not exist is reported");
      require(after == before, "nothing is recorded for a box that does not exist");
      continue;
    }
    require(sim.messageBoxes().size() == messages, "a key press shows no message");
    const Key key = classify(code);
    const auto i = static_cast<std::size_t>(box), other = 1 - i;
    for (std::size_t part = 0; part < 4; ++part)
      require(after[part][other] == before[part][other], "a capture leaves the other box alone");
    Text shown = u"なし";  // once the box's text changes after a refused key
    if (key.kind == KeyClass::Refused) {
      require(keyCode == 0 && shift == 0, "a refused key is swallowed");
      require(after == before, "a refused key records nothing");
      require(sim.controlText(boxRef) == shownBefore, "a refused key leaves the box as it was");
    } else {
      const Held held = modifiers(state, key.kind);
      shown = shownName(held, key.name);
      require(sim.controlText(boxRef) == shown, "the box shows the combination");
      require(after[0][i] == flag(held.shift) && after[1][i] == flag(held.alt) &&
                  after[2][i] == flag(held.ctrl) && after[3][i] == decimal(code),
              "the combination is recorded");
    }
    capture.pfrmSetPgm_txtHotKey_Def_Change(box);
    require(sim.controlText(boxRef) == shown, "a changed box shows the capture, or none");

    // The name of a stored hotkey with any code: its key's name, or the code.
    const std::int32_t stored = code * 3 + state;
    const Key storedKey = classify(stored);
    const Held storedHeld{(state & 1) != 0, (state & 4) != 0, (state & 2) != 0};
    const Text expected = shownName(
        storedHeld, storedKey.kind == KeyClass::Refused ? u"キーコード" + decimal(stored) : storedKey.name);
    require(capture.pHotKeyName(flag(storedHeld.ctrl), flag(storedHeld.alt), flag(storedHeld.shift),
                                stored) == expected,
            "a stored hotkey is named by its flags and key");
  }
  return 0;
}
