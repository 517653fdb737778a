#include "core/basFuncTork.h"

#include <algorithm>

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

constexpr FormId kTork = FormId::frmTork;
constexpr ControlRef kNameBox{kTork, "txtOkini"};
constexpr ControlRef kPathBox{kTork, "txtPath"};
constexpr ControlRef kList{kTork, "lstFileName"};

constexpr char16_t kMsgEnterName[] = u"お気に入りを入力してください";
constexpr char16_t kMsgEnterPath[] = u"パス名を入力してください";
constexpr char16_t kMsgNoSemicolon[] = u"「;」以外の文字を入力してください";
constexpr char16_t kMsgControlInName[] = u"お気に入りに改行やタブなどの制御文字は使えません";
constexpr char16_t kMsgControlInPath[] = u"パス名に改行やタブなどの制御文字は使えません";
constexpr char16_t kMsgNameTooLong[] = u"お気に入りは40文字以内で入力してください";
constexpr char16_t kMsgReservedName[] = u"この名前では登録できません";
constexpr char16_t kMsgAlreadyRegistered[] = u"登録されているファイル名です。";
constexpr char16_t kMsgChooseFromList[] = u"一覧からファイル名を指定してください";
constexpr char16_t kMsgListChanged[] =
    u"お気に入りファイルがほかで変更されていたため、一覧を読み込み直しました。一覧から選び直してください。";

Text cannotStoreMessage(const Text& character) {
  return u"「" + character + u"」はファイルに保存できない文字です。";
}

}  // namespace

basFuncTork::basFuncTork(Application& app)
    : app_(app), trap_(app.platform, formDeclaration(FormId::frmPyxtern).caption) {}

bool basFuncTork::mFillList() {
  Platform& platform = app_.platform;
  const bool haveFavourites = app_.com.gblnOkiniFile;
  platform.setDefaultButton({kTork, "cmdTork"});
  // Without a favourite there is nothing to select, correct or delete.
  platform.setEnabled(kList, haveFavourites);
  platform.setEnabled({kTork, "cmdTeis"}, haveFavourites);
  platform.setEnabled({kTork, "cmdDelete"}, haveFavourites);
  return app_.com.pReadOkiniFile(kList, kTork);
}

std::int16_t basFuncTork::pfrmTork_Form_Load() {
  trap_.run(u"pfrmTork_Form_Load", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    if (!mFillList()) return;
    const char* tabOrder[] = {"txtOkini", "cmdSanshou", "txtPath", "lstFileName",
                              "cmdTork",  "cmdDelete",  "cmdRturn"};
    for (std::int16_t i = 0; i < 7; ++i) platform.setTabIndex({kTork, tabOrder[i]}, i);
    platform.setTabIndex({kTork, "cmdTeis"}, 7);
    platform.setControlText(kPathBox, com.gstrTorkPath);
    com.gstrCommand.clear();
  });
  return kTrue;
}

std::int16_t basFuncTork::mRefresh() {
  return trap_.run(u"mRefresh", [&] {
    if (!mFillList()) return;
    app_.platform.setControlText(kNameBox, Text());
    app_.platform.setControlText(kPathBox, Text());
  });
}

std::int16_t basFuncTork::pfrmTork_lstFileName_Click() {
  return trap_.run(u"pfrmTork_lstFileName_Click", [&] {
    Platform& platform = app_.platform;
    std::int32_t i = platform.listIndex(kList);
    if (i < 0) return;
    platform.setControlText(kNameBox, Text(app_.com.okini(i).FileName));
    platform.setControlText(kPathBox, trimSpaces(app_.com.okiniPath(i)));
  });
}

std::int16_t basFuncTork::mChk_Tork(std::int16_t intChkMode) {
  bool valid = false;
  std::int16_t status = trap_.run(u"mChk_Tork", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    const Text name = trimSpaces(platform.controlText(kNameBox));
    const Text path = trimSpaces(platform.controlText(kPathBox));
    if (name.empty()) return mTell(kMsgEnterName, kNameBox);
    if (path.empty()) return mTell(kMsgEnterPath, kPathBox);
    if (contains(name, u";")) return mTell(kMsgNoSemicolon, kNameBox);
    if (contains(path, u";")) return mTell(kMsgNoSemicolon, kPathBox);
    // A line break would split the favourite's line in the file, and the
    // next start would stop at the broken line; a pasted or handed-over text
    // can hold one.
    auto hasControl = [](const Text& text) {
      return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < u' '; });
    };
    if (hasControl(name)) return mTell(kMsgControlInName, kNameBox);
    if (hasControl(path)) return mTell(kMsgControlInPath, kPathBox);
    // The file is text in the system's code page: what it cannot hold would
    // be stored as another character, and the favourite would name another
    // file or no longer match what the user types.
    if (Text bad = com.firstCharacterTheFileCannotHold(name); !bad.empty())
      return mTell(cannotStoreMessage(bad), kNameBox);
    if (Text bad = com.firstCharacterTheFileCannotHold(path); !bad.empty())
      return mTell(cannotStoreMessage(bad), kPathBox);
    // Names are kept at 40 characters: a longer one would be cut at the next
    // rewrite and then no longer match what the user registered.
    if (name.size() > kNameLength) return mTell(kMsgNameTooLong, kNameBox);
    const Text upper = platform.toUpper(name);
    if (upper == u"EXPLORER" || upper == u"CALC" || upper == u"NOTEPAD") {
      platform.messageBox(kMsgReservedName, mb::OkOnly | mb::Critical, Text(formDeclaration(kTork).caption));
      return;
    }
    // A file without a single favourite leaves no table to compare with.
    if (intChkMode == 0 && com.gblnOkiniFile && com.hasOkiniTable()) {
      for (std::int32_t i = 0; i <= com.gintOkiniMax; ++i) {
        if (contains(com.okini(i).FileName, name)) return mTell(kMsgAlreadyRegistered, kNameBox);
      }
    }
    valid = true;
  });
  return status == kTrue && valid ? kTrue : kFalse;
}

std::int32_t basFuncTork::mSelectedIndex() {
  Platform& platform = app_.platform;
  std::int32_t i = platform.listIndex(kList);
  if (i < 0) mTell(kMsgChooseFromList, kList);
  return i;
}

void basFuncTork::mTell(const Text& message, ControlRef focus) {
  Platform& platform = app_.platform;
  platform.messageBox(message, mb::OkOnly, platform.applicationTitle());  // no caption of its own
  platform.setFocus(focus);
}

void basFuncTork::mListChanged() {
  // Another writer changed the file since this list was read, and writing
  // now would undo that: the list is read again, the boxes keep what the
  // user typed, and the user chooses again.
  app_.com.pRecheckOkiniFile();
  if (!mFillList()) return;
  mTell(kMsgListChanged, app_.com.gblnOkiniFile ? kList : kNameBox);
}

void basFuncTork::mAfterChange() {
  Platform& platform = app_.platform;
  if (app_.com.gstrFormClose == u"0") {
    platform.unloadForm(kTork);
    return;
  }
  // The name box is ready for the next favourite.
  if (mRefresh() == kTrue && platform.isFormVisible(kTork)) platform.setFocus(kNameBox);
}

std::int16_t basFuncTork::pfrmTork_cmdTork_Click() {
  return trap_.run(u"pfrmTork_cmdTork_Click", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    if (mChk_Tork(0) == kFalse) return;
    const Text name = trimSpaces(platform.controlText(kNameBox));
    const Text path = trimSpaces(platform.controlText(kPathBox));
    // Refuse the favourite that would overflow the table's index before it
    // is written: a file with one line too many could no longer be read.
    if (com.gblnOkiniFile && com.gintOkiniMax + 1 >= kLastOkiniIndex) raiseError(ErrOverflow);
    com.pAppendOkiniFile(name, path);
    if (com.gblnOkiniFile) {
      ++com.gintOkiniMax;
    } else {
      com.gblnOkiniFile = true;
    }
    com.gtypOkini.resize(static_cast<std::size_t>(com.gintOkiniMax) + 1);
    com.gtypOkini.set(com.gintOkiniMax, name, platform.toAnsi(path));
    mAfterChange();
  });
}

std::int16_t basFuncTork::pfrmTork_cmdTeis_Click() {
  return trap_.run(u"pfrmTork_cmdTeis_Click", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    std::int32_t i = mSelectedIndex();
    if (i < 0 || mChk_Tork(1) == kFalse) return;
    // Stored trimmed: surrounding spaces would push a 40-character name past
    // what the table keeps.
    com.gtypOkini.set(i, trimSpaces(platform.controlText(kNameBox)),
                      platform.toAnsi(trimSpaces(platform.controlText(kPathBox))));
    if (!com.pWriteOkiniFileCompact()) return mListChanged();
    mAfterChange();
  });
}

std::int16_t basFuncTork::pfrmTork_cmdDelete_Click() {
  return trap_.run(u"pfrmTork_cmdDelete_Click", [&] {
    basCom& com = app_.com;
    std::int32_t i = mSelectedIndex();
    if (i < 0) return;
    com.gtypOkini.set(i, TextView(), std::string_view());
    if (com.gintOkiniMax != 0) {
      if (!com.pWriteOkiniFileCompact()) return mListChanged();
      --com.gintOkiniMax;
    } else if (!com.pRemoveOkiniFile()) {
      return mListChanged();
    }
    mAfterChange();
  });
}

}  // namespace pyx
