// The settings window's logic: capturing a hotkey from the keyboard and
// naming it, and loading, applying and saving the settings.
#pragma once

#include <array>
#include <cstdint>

#include "core/error_trap.h"
#include "core/text.h"

namespace pyx {

class Application;

class basSetPgm {
 public:
  explicit basSetPgm(Application& app);

  // Hotkey boxes: a key press is accepted (named, shown and recorded) or
  // swallowed (keyCode and shift set to 0). shift: 1 Shift, 2 Ctrl, 4 Alt.
  std::int16_t pfrmSetPgm_txtHotKey_Def_KeyDown(std::int16_t& keyCode, std::int16_t& shift,
                                                std::int16_t index);
  // Keeps a box's text to the captured name, or "なし".
  std::int16_t pfrmSetPgm_txtHotKey_Def_Change(std::int16_t index);

  std::int16_t pfrmSetPgm_Form_Load();
  std::int16_t pfrmSetPgm_cmdTeki_Click();
  std::int16_t pfrmSetPgm_cmdOK_Click();
  std::int16_t pfrmSetPgm_cmdChancel_Click();

  // The name this window gives a hotkey stored with these flags ("1": held)
  // and key code, as in "Ctrl + Alt + A".
  Text pHotKeyName(const Text& ctrl, const Text& alt, const Text& shift, std::int32_t keyCode) const;

  // The captured hotkey of each box (0 call-up, 1 minimise): "1"/"0" flags
  // and the key code as decimal text; "" until a capture writes them.
  std::array<Text, 2> mstrHotShift, mstrHotAlt, mstrHotCtrl, mstrHotKey;

 private:
  bool mChk_YazirushiKey(std::int16_t keyCode) const;
  bool mChk_FKey(std::int16_t keyCode);
  Text mChkType_FKey(std::int16_t keyCode) const;
  bool mChk_NKey(std::int16_t keyCode);
  Text mChkType_NumKey(std::int16_t keyCode) const;
  std::int16_t mSet_Data();
  // kFalse when a write failed (the user has been told).
  std::int16_t mData_IniSet();
  // Fills box `index` from one stored hotkey section through the capture.
  void mLoadHotKey(std::int16_t index, const Text& ctrl, const Text& alt, const Text& shift, const Text& key);
  // Index of the first selected option button of a pair, or -1.
  std::int16_t mSelectedOption(std::string_view name) const;
  std::int32_t mAsk(const Text& question);

  Application& app_;
  ErrorTrap trap_;
  Text mstrKeyName;  // the name of the latest capture, in either box
  bool mblnFKey = false;
  bool mblnNumKey = false;
  Text mstrOldOpenType;   // the folder launch type as last read or written
  Text mstrOldFormClose;  // the close choice as last read or written
};

}  // namespace pyx
