#include "core/basSetPgm.h"

#include <optional>
#include <vector>

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

constexpr FormId kSettings = FormId::frmSetPgm;
constexpr std::string_view kHotKeyBox = "txtHotKey_Def";

constexpr char16_t kNone[] = u"なし";
constexpr char16_t kAskBrowser[] = u"インターネットエクスプローラーを選択して下さい";
constexpr char16_t kAskUpdate[] = u"設定ファイルを更新しますか？";
constexpr char16_t kBrowserFilter[] = u"ｱﾌﾟﾘｹｰｼｮﾝ(*.exe)|*.exe|すべて(*.*)|*.*";
constexpr char16_t kBrowserFile[] = u"IEXPLORE.EXE";

// Key-down shift state bits.
constexpr std::int16_t kShift = 1;
constexpr std::int16_t kCtrl = 2;
constexpr std::int16_t kAlt = 4;

struct Modifiers {
  bool shift, alt, ctrl;
};

// The modifiers a hotkey gets from those held: a digit or letter always has
// two, Ctrl or Alt alone stays only on the keypad, Shift alone never stays,
// and a function or keypad key may stand alone.
Modifiers hotKeyModifiers(std::int16_t held, bool mayStandAlone, bool keypad) {
  switch (held & (kShift | kCtrl | kAlt)) {
    case kShift | kCtrl:
      return {true, false, true};
    case kShift | kAlt:
      return {true, true, false};
    case kShift | kCtrl | kAlt:
      return {true, true, true};
    case 0:
      if (mayStandAlone) return {false, false, false};
      break;
    case kCtrl:
      if (keypad) return {false, false, true};
      break;
    case kAlt:
      if (keypad) return {false, true, false};
      break;
  }
  return {false, true, true};  // Ctrl + Alt
}

// A digit or letter key is named by its own character.
Text characterKeyName(std::int32_t keyCode) {
  bool character = (keyCode >= 48 && keyCode <= 57) || (keyCode >= 65 && keyCode <= 90);
  return character ? Text(1, static_cast<char16_t>(keyCode)) : Text();
}

ControlRef hotKeyBox(std::int16_t index) {
  return {kSettings, kHotKeyBox, index};
}

// The words of the modifiers held, in the order this window shows them:
// Ctrl first, then Alt, then "Sift"; Shift comes first only beside Alt alone.
Text modifierWords(bool shift, bool alt, bool ctrl) {
  std::vector<Text> words;
  if (ctrl) words.push_back(u"Ctrl");
  if (shift && alt && !ctrl) {
    words.push_back(u"Sift");
    words.push_back(u"Alt");
  } else {
    if (alt) words.push_back(u"Alt");
    if (shift) words.push_back(u"Sift");
  }
  Text joined;
  for (const Text& word : words) joined += word + u" + ";
  return joined;
}

// Whether the number at the start of a text, as the runtime's Val reads it,
// is 0; a text that starts with no number counts as 0.
bool numericValueIsZero(TextView text) {
  Text t = trimSpaces(text);
  std::size_t at = (!t.empty() && (t[0] == u'-' || t[0] == u'+')) ? 1 : 0;
  for (; at < t.size() && t[at] >= u'0' && t[at] <= u'9'; ++at)
    if (t[at] != u'0') return false;
  return true;
}

}  // namespace

basSetPgm::basSetPgm(Application& app) : app_(app), trap_(app.platform, formDeclaration(kSettings).caption) {}

// ---------------------------------------------------------------- capture

bool basSetPgm::mChk_YazirushiKey(std::int16_t keyCode) const {
  return keyCode >= 37 && keyCode <= 40;
}

Text basSetPgm::mChkType_FKey(std::int16_t keyCode) const {
  if (keyCode < 112 || keyCode > 127) return Text();
  return u"F" + decimal(keyCode - 111);
}

bool basSetPgm::mChk_FKey(std::int16_t keyCode) {
  if (keyCode < 112 || keyCode > 127) return false;
  mstrKeyName = mChkType_FKey(keyCode);
  return true;
}

Text basSetPgm::mChkType_NumKey(std::int16_t keyCode) const {
  if (keyCode >= 96 && keyCode <= 105) return u"Num " + decimal(keyCode - 96);
  switch (keyCode) {
    case 106:
      return u"*";
    case 107:
      return u"+";
    case 109:
      return u"-";
    case 110:
      return u".";
    case 111:
      return u"/";
    default:
      return Text();  // 108, the keypad separator, has no name
  }
}

bool basSetPgm::mChk_NKey(std::int16_t keyCode) {
  if (Text name = characterKeyName(keyCode); !name.empty()) {
    mstrKeyName = name;
    return true;
  }
  if (keyCode >= 96 && keyCode <= 111) {
    Text name = mChkType_NumKey(keyCode);
    if (name.empty()) return false;
    mstrKeyName = name;
    mblnNumKey = true;
    return true;
  }
  return false;
}

std::int16_t basSetPgm::pfrmSetPgm_txtHotKey_Def_KeyDown(std::int16_t& keyCode, std::int16_t& shift,
                                                         std::int16_t index) {
  trap_.run(u"pfrmSetPgm_txtHotKey_Def_KeyDown", [&] {
    if (index < 0 || index > 1) raiseError(ErrSubscriptOutOfRange);
    const auto box = static_cast<std::size_t>(index);
    mstrKeyName.clear();
    mblnFKey = false;
    mblnNumKey = false;
    auto swallow = [&] {
      keyCode = 0;
      shift = 0;
    };
    if (mChk_YazirushiKey(keyCode)) return swallow();
    if (mChk_FKey(keyCode)) {
      mblnFKey = true;
    } else if (!mChk_NKey(keyCode)) {
      return swallow();
    }
    mstrHotKey[box] = decimal(keyCode);
    const Modifiers with = hotKeyModifiers(shift, mblnFKey || mblnNumKey, mblnNumKey);
    mstrKeyName = modifierWords(with.shift, with.alt, with.ctrl) + mstrKeyName;
    mstrHotShift[box] = with.shift ? u"1" : u"0";
    mstrHotAlt[box] = with.alt ? u"1" : u"0";
    mstrHotCtrl[box] = with.ctrl ? u"1" : u"0";
    app_.platform.setControlText(hotKeyBox(index), mstrKeyName);
  });
  return kTrue;
}

std::int16_t basSetPgm::pfrmSetPgm_txtHotKey_Def_Change(std::int16_t index) {
  trap_.run(u"pfrmSetPgm_txtHotKey_Def_Change", [&] {
    // The platform raises no change for text the box already holds, so this
    // never sets itself off again.
    app_.platform.setControlText(hotKeyBox(index), mstrKeyName.empty() ? Text(kNone) : mstrKeyName);
  });
  return kTrue;
}

Text basSetPgm::pHotKeyName(const Text& ctrl, const Text& alt, const Text& shift,
                            std::int32_t keyCode) const {
  Text key = characterKeyName(keyCode);
  if (key.empty() && keyCode >= 96 && keyCode <= 127) {
    auto code = static_cast<std::int16_t>(keyCode);
    key = code >= 112 ? mChkType_FKey(code) : mChkType_NumKey(code);
  }
  if (key.empty()) key = u"キーコード" + decimal(keyCode);  // not a key the settings window takes
  return modifierWords(shift == u"1", alt == u"1", ctrl == u"1") + key;
}

// ---------------------------------------------------------------- the window

std::int16_t basSetPgm::pfrmSetPgm_Form_Load() {
  trap_.run(u"pfrmSetPgm_Form_Load", [&] {
    const ControlRef order[] = {hotKeyBox(0),
                                hotKeyBox(1),
                                {kSettings, "optType", 0},
                                {kSettings, "optType", 1},
                                {kSettings, "optTork", 0},
                                {kSettings, "optTork", 1},
                                {kSettings, "cmdOK"},
                                {kSettings, "cmdChancel"},
                                {kSettings, "cmdTeki"}};
    std::int16_t tabIndex = 0;
    for (const ControlRef& control : order) app_.platform.setTabIndex(control, tabIndex++);
    mSet_Data();
  });
  return kTrue;
}

void basSetPgm::mLoadHotKey(std::int16_t index, const Text& ctrl, const Text& alt, const Text& shift,
                            const Text& key) {
  // A box shows a key only when it is the key the box will save: the name of
  // an earlier capture (of either box, or of a cancelled opening) is
  // forgotten first, so that the text guard cannot put it back.
  mstrKeyName.clear();
  auto showNone = [&] { app_.platform.setControlText(hotKeyBox(index), kNone); };
  // A section without a key (no settings file yet) names no hotkey: the box
  // says so, and nothing is saved for it until the user presses one.
  if (trimSpaces(key).empty()) return showNone();
  std::int16_t held = 0;
  if (trimSpaces(ctrl) == u"1") held += kCtrl;
  if (trimSpaces(alt) == u"1") held += kAlt;
  if (trimSpaces(shift) == u"1") held += kShift;
  std::int16_t keyCode = 0;
  try {
    keyCode = static_cast<std::int16_t>(parseInteger(key, -32768, 32767));
  } catch (const RuntimeError& error) {
    // A stored key that is no key code (a file edited by hand) is reported,
    // and its box waits for a new key; the other settings still load, so
    // that saving does not overwrite them with the window's defaults.
    trap_.report(u"mSet_Data", error);
    return showNone();
  }
  pfrmSetPgm_txtHotKey_Def_KeyDown(keyCode, held, index);
  // A stored key the capture refuses (an arrow key) is not saved either.
  if (mstrHotKey[static_cast<std::size_t>(index)].empty()) showNone();
}

std::int16_t basSetPgm::mSet_Data() {
  trap_.run(u"mSet_Data", [&] {
    Platform& platform = app_.platform;
    for (auto* values : {&mstrHotShift, &mstrHotAlt, &mstrHotCtrl, &mstrHotKey}) values->fill(Text());
    mstrOldOpenType.clear();
    Text ctrl, alt, shift, key;
    app_.iniFile.pGet_Start_Atom(true, ctrl, alt, shift, key);
    mLoadHotKey(0, ctrl, alt, shift, key);
    app_.iniFile.pGet_Small_Atom(true, ctrl, alt, shift, key);
    mLoadHotKey(1, ctrl, alt, shift, key);

    const Text path = app_.com.settingsFilePath();
    Text openType;
    app_.iniFile.pGetIniFileItem(path, u"OPEN_TYPE", u"TYEP", Text(), openType);
    openType = trimSpaces(openType);
    platform.setOptionValue({kSettings, "optType", static_cast<std::int16_t>(openType == u"1" ? 1 : 0)},
                            true);
    if (!openType.empty()) mstrOldOpenType = openType;

    Text formClose;
    app_.iniFile.pGetIniFileItem(path, u"FORM", u"CLOSE", Text(), formClose);
    formClose = trimSpaces(formClose);
    bool keepsOpen = !formClose.empty() && formClose != u"0";
    platform.setOptionValue({kSettings, "optTork", static_cast<std::int16_t>(keepsOpen ? 1 : 0)}, true);
    if (!formClose.empty()) mstrOldFormClose = formClose;
  });
  return kTrue;
}

std::int16_t basSetPgm::mSelectedOption(std::string_view name) const {
  for (std::int16_t i = 0; i < 2; ++i)
    if (app_.platform.optionValue({kSettings, name, i})) return i;
  return -1;
}

std::int32_t basSetPgm::mAsk(const Text& question) {
  return app_.platform.messageBox(question, mb::OkCancel | mb::Exclamation,
                                  Text(formDeclaration(kSettings).caption));
}

std::int16_t basSetPgm::mData_IniSet() {
  // A save is several writes. When one fails (the user is told), the save
  // stops and the file goes back to what it was before it, so a hotkey never
  // ends up half old and half new.
  bool saved = true;
  bool wrote = false;
  std::optional<Bytes> before;
  const Text openTypeBefore = mstrOldOpenType, formCloseBefore = mstrOldFormClose;
  const Text path = app_.com.settingsFilePath();
  const std::int16_t finished = trap_.run(u"mData_IniSet", [&] {
    Platform& platform = app_.platform;
    basIniFIle& ini = app_.iniFile;
    before = app_.com.readIfPresent(path);
    auto write = [&](const char16_t* section, const char16_t* key, const Text& value) {
      saved = ini.pSetIniFileItem(path, section, key, value) == kTrue;
      wrote = wrote || saved;
      return saved;
    };
    const char16_t* sections[] = {u"Start", u"Small"};
    for (std::size_t box = 0; box < 2; ++box) {
      if (trimSpaces(mstrHotKey[box]).empty()) continue;
      if (!write(sections[box], u"Ctrl", mstrHotCtrl[box]) ||
          !write(sections[box], u"Alt", mstrHotAlt[box]) ||
          !write(sections[box], u"shift", mstrHotShift[box]) ||
          !write(sections[box], u"Key", mstrHotKey[box]))
        return;
    }

    if (std::int16_t type = mSelectedOption("optType"); type >= 0 && decimal(type) != mstrOldOpenType) {
      if (!write(u"OPEN_TYPE", u"TYEP", decimal(type))) return;
      mstrOldOpenType = decimal(type);
    }
    if (numericValueIsZero(mstrOldOpenType)) {
      // Folders open in the browser program: it must be known.
      Text browser;
      ini.pGetIniFileItem(path, u"OPEN_TYPE", u"IE_EXE", Text(), browser);
      if (trimSpaces(browser).empty()) {
        if (mAsk(kAskBrowser) != mb::ResultOk) return;
        Text chosen = platform.fileOpenDialog({kSettings, "cmdSet"}, {kBrowserFilter, 1, fd::FileMustExist});
        if (trimSpaces(chosen).empty()) return;
        // File names on Windows ignore case: "iexplore.exe" is the same file.
        if (!contains(platform.toUpper(chosen), kBrowserFile)) {
          mAsk(kAskBrowser);
          return;
        }
        if (!write(u"OPEN_TYPE", u"IE_EXE", chosen)) return;
      }
    }

    if (std::int16_t close = mSelectedOption("optTork"); close >= 0 && decimal(close) != mstrOldFormClose) {
      if (!write(u"FORM", u"CLOSE", decimal(close))) return;
      mstrOldFormClose = decimal(close);
    }
    mSet_Data();
  });
  if (finished != kTrue) saved = false;
  if (!saved && wrote) {
    // What the window remembers as stored goes back too, so that saving
    // again writes every choice.
    mstrOldOpenType = openTypeBefore;
    mstrOldFormClose = formCloseBefore;
    trap_.run(u"mData_IniSet", [&] {
      if (before)
        app_.platform.replaceFile(path, *before);
      else
        app_.platform.deleteFile(path);
    });
  }
  return saved ? kTrue : kFalse;
}

std::int16_t basSetPgm::pfrmSetPgm_cmdTeki_Click() {
  trap_.run(u"pfrmSetPgm_cmdTeki_Click", [&] {
    if (mAsk(kAskUpdate) != mb::ResultOk) return;
    mData_IniSet();
    mSet_Data();
  });
  return kTrue;
}

std::int16_t basSetPgm::pfrmSetPgm_cmdOK_Click() {
  trap_.run(u"pfrmSetPgm_cmdOK_Click", [&] {
    // After a failed save the window stays, with what the user chose in it.
    if (mData_IniSet() == kTrue) app_.platform.unloadForm(kSettings);
  });
  return kTrue;
}

std::int16_t basSetPgm::pfrmSetPgm_cmdChancel_Click() {
  trap_.run(u"pfrmSetPgm_cmdChancel_Click", [&] { app_.platform.unloadForm(kSettings); });
  return kTrue;
}

}  // namespace pyx
