#include "core/basFuncStart.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

constexpr ControlRef kNameBox{FormId::frmPyxtern, "cmbFileName"};
constexpr FormId kLauncher = FormId::frmPyxtern;

constexpr char16_t kMsgEnterName[] = u"ファイル名を入力してください";
constexpr char16_t kMsgNotRegistered[] = u"登録されていないファイル名を指定しています。";
constexpr char16_t kMsgNoBrowser[] = u"アプリケーションが指定されていません。設定画面で設定を行って下さい";
constexpr char16_t kMsgTrayRestoreFailed[] = u"タスクトレイから復活できませんでした";

constexpr char16_t kFileDialogFilter[] = u"ﾃｷｽﾄ(*.txt)|*.txt|すべて(*.*)|*.*";
constexpr char16_t kHelpFileName[] = u"TESMORA_HELP.HLP";
constexpr char16_t kHelpPageName[] = u"TESMORA_HELP.html";

constexpr std::int32_t kPlatformWin9x = 1;
constexpr std::int32_t kPlatformNT = 2;

constexpr std::int16_t kShiftKey = 1;  // shift state bits of a key or click
constexpr std::int16_t kCtrlKey = 2;

constexpr std::int32_t kMaxWidthTwips = 5940;
constexpr std::int32_t kMaxHeightTwips = 2040;

// Where the program part of a path ends: after the first ".exe" that ends
// the path or is followed by a space or a quote. Elsewhere ".exe" is part of
// a name ("plan.executive.docx", "https://www.executive.example/"), and
// cutting there would start a program nobody chose. npos: not a program.
std::size_t programEnd(TextView path) {
  constexpr TextView kExe = u".exe";
  for (std::size_t at = path.find(kExe); at != TextView::npos; at = path.find(kExe, at + 1)) {
    const std::size_t end = at + kExe.size();
    if (end == path.size() || path[end] == u' ' || path[end] == u'"') return end;
  }
  return TextView::npos;
}

// The path a command line offers for registering. A path with spaces arrives
// quoted (a file dropped on the program, or sent to it from Explorer, is
// passed that way); the path box shows the path itself.
Text offeredPath(const Text& commandLine) {
  const Text command = trimSpaces(commandLine);
  bool quoted = command.size() >= 2 && command.front() == u'"' && command.back() == u'"' &&
                command.find(u'"', 1) == command.size() - 1;
  return quoted ? command.substr(1, command.size() - 2) : commandLine;
}

Text removeAll(TextView text, char16_t c) {
  Text result;
  for (char16_t ch : text)
    if (ch != c) result += ch;
  return result;
}

}  // namespace

basFuncStart::basFuncStart(Application& app)
    : app_(app), trap_(app.platform, formDeclaration(kLauncher).caption) {}

void basFuncStart::showMessage(const Text& text, std::int32_t icon) {
  app_.platform.messageBox(text, icon, Text(formDeclaration(kLauncher).caption));
}

// ---------------------------------------------------------------- start-up

std::int16_t basFuncStart::pfrmPyxtern_Form_Load() {
  return trap_.run(u"pfrmPyxtern_Form_Load", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    if (platform.previousInstance()) {
      // The copy that runs does what this start asks: register a path sent
      // from Explorer or dropped on the program, or come on screen.
      platform.handOverToRunningCopy(platform.commandLine());
      platform.unloadForm(kLauncher);
      return;
    }
    com.gintOkiniMax = 0;
    com.pCheckOkiniFile();
    platform.setDefaultButton({kLauncher, "cmdOK"});

    com.gtypTray.cbSize = 88;
    com.gtypTray.hIcon = platform.formIconHandle(kLauncher);
    com.gtypTray.hWnd = platform.formHandle(kLauncher);
    com.gtypTray.szTip = platform.executableName();
    com.gtypTray.uCallbackMessage = msg::MouseMove;
    com.gtypTray.uFlags = 7;
    com.gtypTray.uID = 1;
    platform.shellNotifyIcon(tray::Add, com.gtypTray);

    com.gintHotKey1Atom = static_cast<std::int16_t>(platform.globalAddAtom(u"HOTKEY1"));
    com.gintHotKey2Atom = static_cast<std::int16_t>(platform.globalAddAtom(u"HOTKEY2"));
    mSetti_Get();
    com.gstrCommand = platform.commandLine();

    const char* tabOrder[] = {"cmbFileName", "cmdOK", "cmdCancel", "cmdSanshou", "cmdTork"};
    for (std::int16_t i = 0; i < 5; ++i) platform.setTabIndex({kLauncher, tabOrder[i]}, i);
    platform.setMenuVisible({kLauncher, "mnuPopup"}, false);
    com.glngOSType = mGet_OSType();
  });
}

std::int32_t basFuncStart::mGet_OSType() {
  try {
    std::int32_t id = app_.platform.platformId();
    if (id == kPlatformWin9x) return 1;
    if (id == kPlatformNT) return 2;
    return 0;
  } catch (const RuntimeError&) {
    return 1;
  }
}

std::int16_t basFuncStart::pfrmPyxtern_Form_QueryUnload(bool windowClosing) {
  return trap_.run(u"pfrmPyxtern_Form_QueryUnload", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    std::intptr_t hwnd = platform.formHandle(kLauncher);
    platform.unregisterHotKey(hwnd, com.gintHotKey1Atom);
    platform.unregisterHotKey(hwnd, com.gintHotKey2Atom);
    if (windowClosing) {
      platform.globalDeleteAtom(static_cast<std::uint16_t>(com.gintHotKey1Atom));
      platform.globalDeleteAtom(static_cast<std::uint16_t>(com.gintHotKey2Atom));
    }
    pfrmPyxtern_UnHook(hwnd);
  });
}

std::int16_t basFuncStart::pfrmPyxtern_Form_Unload() {
  return trap_.run(u"pfrmPyxtern_Form_Unload",
                   [&] { app_.platform.shellNotifyIcon(tray::Delete, app_.com.gtypTray); });
}

// ---------------------------------------------------------------- settings load

std::int16_t basFuncStart::mSetti_Get() {
  std::int16_t status = trap_.run(u"mSetti_Get", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    Text path = com.settingsFilePath();
    if (!platform.findNormalFile(path)) return;
    platform.setFileAttributes(path, attr::Normal);
    Text ctrl, alt, shift, key;
    app_.iniFile.pGet_Start_Atom(false, ctrl, alt, shift, key);
    app_.iniFile.pGet_Small_Atom(false, ctrl, alt, shift, key);
    pfrmPyxtern_Hook(platform.formHandle(kLauncher));
    app_.iniFile.pGetIniFileItem(path, u"OPEN_TYPE", u"TYEP", Text(com.gstrOpenType), com.gstrOpenType);
    app_.iniFile.pGetIniFileItem(path, u"OPEN_TYPE", u"IE_EXE", Text(com.gstrIeExe), com.gstrIeExe);
    app_.iniFile.pGetIniFileItem(path, u"FORM", u"CLOSE", Text(com.gstrFormClose), com.gstrFormClose);
  });
  if (Text refused = app_.iniFile.takeRefusedHotKeys(); !refused.empty())
    showMessage(refused, mb::Exclamation);
  return status;
}

// ---------------------------------------------------------------- lookup and launch

std::int16_t basFuncStart::pfrmPyxtern_Form_Activate() {
  return trap_.run(u"pfrmPyxtern_Form_Activate", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    if (!com.pReadOkiniFile(kNameBox, kLauncher)) return;
    Text command = trimSpaces(com.gstrCommand);
    if (command == u"1") {
      platform.setFormWindowState(kLauncher, WindowState::Minimized);
      com.gstrCommand.clear();
    } else if (!command.empty()) {
      com.gstrTorkPath = offeredPath(com.gstrCommand);
      pfrmPyxtern_cmdTork_Click();
    } else {
      platform.setFocus(kNameBox);
    }
  });
}

std::optional<Text> basFuncStart::builtInPath(const Text& upperName) const {
  if (upperName != u"CALC" && upperName != u"NOTEPAD" && upperName != u"EXPLORER") return std::nullopt;
  // The system keeps these programs in its own directories; ask for them
  // rather than assume where Windows is installed.
  const Platform& platform = app_.platform;
  bool inSystemDirectory = app_.com.glngOSType == kPlatformNT && upperName != u"EXPLORER";
  Text directory = inSystemDirectory ? platform.systemDirectory() : platform.windowsDirectory();
  return joinPath(directory, upperName + u".EXE");
}

std::int16_t basFuncStart::pfrmPyxtern_cmdOK_Click(std::int16_t shift) {
  return trap_.run(u"pfrmPyxtern_cmdOK_Click", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    const Text typed = platform.controlText(kNameBox);
    const Text name = trimSpaces(typed);
    if (name.empty()) {
      showMessage(kMsgEnterName, mb::Critical);
      platform.setFocus(kNameBox);
      return;
    }
    const std::optional<Text> builtIn = builtInPath(platform.toUpper(name));
    Text path;
    // Another writer (an editor, a copy of the program in another session)
    // may have changed the file since the list was read: the rewrite then
    // writes nothing, and the name is looked up again in what the file holds
    // now. Rarely more than once; a file that never stays still is an error.
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
      std::int16_t found = 0;
      if (builtIn) {
        path = *builtIn;
      } else {
        Text index;
        if (com.gblnOkiniFile) mKenskHit(index);
        if (trimSpaces(index).empty()) {
          showMessage(kMsgNotRegistered, mb::Critical);
          platform.setFocus(kNameBox);
          return;
        }
        found = static_cast<std::int16_t>(parseInteger(index, -32768, 32767));
        // %NAME% lets a favourite move between machines and accounts; the
        // file keeps it as written.
        path = platform.expandEnvironment(trimSpaces(com.okiniPath(found)));
      }
      // A built-in name may come before any favourite exists: then there is
      // no list to reorder and no file to write.
      if (!com.hasOkiniTable() || !com.gblnOkiniFile) break;
      com.gtypOkini.moveToTop(found);
      if (com.pWriteOkiniFilePadded()) break;
      if (attempt == kAttempts) raiseError(ErrPathFileAccess);
      com.pRecheckOkiniFile();
      if (!com.pReadOkiniFile(kNameBox, kLauncher)) return;
      platform.setControlText(kNameBox, typed);  // the reload emptied the box the lookup reads
    }
    pfrmPyxtern_Form_Activate();
    // Ctrl+Shift with Enter (or a click on OK) runs a program as
    // administrator, as the Start menu does.
    mStrat_Files(path, (shift & (kShiftKey | kCtrlKey)) == (kShiftKey | kCtrlKey));
  });
}

bool basFuncStart::mKenskHit(Text& index) {
  bool hit = false;
  trap_.run(u"mKenskHit", [&] {
    basCom& com = app_.com;
    index.clear();
    Text typed = trimSpaces(app_.platform.controlText(kNameBox));
    // A favourites file without a single entry leaves no table to search:
    // nothing is found.
    if (!com.hasOkiniTable()) return;
    com.okini(com.gintOkiniMax);  // raises error 9 for a count outside the table
    auto pass = [&](auto matches) {
      for (std::int32_t i = 0; i <= com.gintOkiniMax; ++i) {
        if (matches(com.gtypOkini.name(static_cast<std::size_t>(i)))) {
          index = decimal(i);
          return;
        }
      }
    };
    const TextView wanted = typed;
    pass([&](TextView name) { return name == wanted; });
    if (index.empty()) pass([&](TextView name) { return name.starts_with(wanted); });
    if (index.empty()) pass([&](TextView name) { return name.find(wanted) != TextView::npos; });
    hit = !index.empty();
  });
  if (!hit) index.clear();
  return hit;
}

std::int16_t basFuncStart::mStrat_Files(Text& path, bool asAdministrator) {
  return trap_.run(u"mStrat_Files", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    constexpr std::int16_t kNormalFocus = 1;
    if (const std::size_t end = programEnd(path); end != TextView::npos) {
      Text program = path.substr(0, end);
      TextView arguments = TextView(path).substr(end);
      // Quotes only group the program's path; the arguments reach the
      // program as they were stored, quotes and all, for the program to
      // read. The quote that closes a quoted program path is the program's.
      if (std::count(program.begin(), program.end(), u'"') % 2 == 1 && arguments.starts_with(u'"'))
        arguments.remove_prefix(1);
      const Text programPath = trimSpaces(removeAll(program, u'"'));
      if (asAdministrator) {
        platform.shellExecute(platform.formHandle(kLauncher), u"runas", programPath, trimSpaces(arguments),
                              mProgramFolder(programPath), kNormalFocus);
      } else {
        platform.startProcess(programPath, trimSpaces(arguments), mProgramFolder(programPath), kNormalFocus);
      }
    } else if (contains(path, u".")) {
      platform.shellExecute(platform.formHandle(kLauncher), u"open", path, Text(),
                            platform.applicationDirectory(), kNormalFocus);
    } else {
      Text program, arguments;
      if (com.gstrOpenType != u"0") {
        program = joinPath(platform.windowsDirectory(), u"EXPLORER.EXE");
        arguments = u"/n,/e," + path;
      } else if (com.gstrIeExe.empty()) {
        showMessage(kMsgNoBrowser, mb::Exclamation);
        return;
      } else {
        program = platform.expandEnvironment(com.gstrIeExe);
        arguments = path;
      }
      path = program + u" " + arguments;
      platform.startProcess(program, arguments, mProgramFolder(program), kNormalFocus);
    }
  });
}

Text basFuncStart::mProgramFolder(const Text& program) const {
  // A program finds the files beside it when it starts in its own folder, as
  // when the user opens it in Explorer. A bare name is found on the system's
  // search path; it starts where the launcher lives.
  const std::size_t slash = program.find_last_of(u"\\/");
  if (slash == Text::npos) return app_.platform.applicationDirectory();
  if (slash == 2 && program[1] == u':') return program.substr(0, 3);  // a drive's root: "C:\"
  return program.substr(0, slash);
}

// ---------------------------------------------------------------- window commands

std::int16_t basFuncStart::pfrmPyxtern_Form_Resize() {
  return trap_.run(u"pfrmPyxtern_Form_Resize", [&] {
    Platform& platform = app_.platform;
    WindowState state = platform.formWindowState(kLauncher);
    if (state == WindowState::Minimized) {
      platform.setFormVisible(kLauncher, false);
      platform.shellNotifyIcon(tray::Delete, app_.com.gtypTray);
      platform.shellNotifyIcon(tray::Add, app_.com.gtypTray);
    }
    if (state == WindowState::Maximized) platform.setFormWindowState(kLauncher, WindowState::Normal);
    if (platform.formWidth(kLauncher) > kMaxWidthTwips) platform.setFormWidth(kLauncher, kMaxWidthTwips);
    if (platform.formHeight(kLauncher) > kMaxHeightTwips) platform.setFormHeight(kLauncher, kMaxHeightTwips);
  });
}

Text basFuncStart::showFileDialog(ControlRef dialog) {
  return app_.platform.fileOpenDialog(dialog, {kFileDialogFilter, 1, fd::FileMustExist});
}

std::int16_t basFuncStart::pfrmPyxtern_cmdSanshou_Click() {
  return trap_.run(u"pfrmPyxtern_cmdSanshou_Click", [&] {
    Text chosen = showFileDialog({kLauncher, "CommonDialog1"});
    if (trimSpaces(chosen).empty()) return;
    mStrat_Files(chosen);
  });
}

std::int16_t basFuncStart::pfrmPyxtern_cmdTork_Click() {
  return trap_.run(u"pfrmPyxtern_cmdTork_Click", [&] {
    Platform& platform = app_.platform;
    platform.loadForm(FormId::frmTork);
    // A registration window that closed itself while loading (unreadable
    // favourites file) has already told the user why.
    if (!platform.isFormLoaded(FormId::frmTork)) return;
    platform.showForm(FormId::frmTork, true);
  });
}

std::int16_t basFuncStart::pfrmPyxtern_mnuSet_Click() {
  return trap_.run(u"pfrmPyxtern_mnuSet_Click", [&] {
    app_.platform.showForm(FormId::frmSetPgm, true);
    pfrmPyxtern_Form_QueryUnload(false);
    mSetti_Get();
    if (std::optional<Text> path = std::exchange(pathAwaitingSettings_, std::nullopt))
      mOfferForRegistering(*path);
  });
}

std::int16_t basFuncStart::pfrmPyxtern_mnuHelp_Click() {
  return trap_.run(u"pfrmPyxtern_mnuHelp_Click", [&] {
    Platform& platform = app_.platform;
    Text path = joinPath(platform.applicationDirectory(), kHelpFileName);
    // Current Windows has no viewer for the classic help format; the program
    // ships its help as a page that any browser shows.
    if (Text page = joinPath(platform.applicationDirectory(), kHelpPageName);
        !platform.findNormalFile(path) && platform.findNormalFile(page))
      path = page;
    mStrat_Files(path);
  });
}

std::int16_t basFuncStart::pfrmTork_cmdSanshou_Click() {
  return trap_.run(u"pfrmTork_cmdSanshou_Click", [&] {
    Text chosen = showFileDialog({FormId::frmTork, "comTork"});
    if (trimSpaces(chosen).empty()) return;
    app_.platform.setControlText({FormId::frmTork, "txtPath"}, chosen);
  });
}

// ---------------------------------------------------------------- paths from outside

std::int16_t basFuncStart::pfrmPyxtern_OtherCopyStarted(const Text& commandLine) {
  return trap_.run(u"pfrmPyxtern_OtherCopyStarted", [&] {
    const Text command = trimSpaces(commandLine);
    if (command == u"1") return;  // a start into the tray: this copy is already running
    if (command.empty()) return mShowLauncher();
    mOfferForRegistering(offeredPath(commandLine));
  });
}

std::int16_t basFuncStart::pfrmPyxtern_FileDropped(const Text& path) {
  return trap_.run(u"pfrmPyxtern_FileDropped", [&] { mOfferForRegistering(path); });
}

void basFuncStart::mOfferForRegistering(const Text& path) {
  Platform& platform = app_.platform;
  // As a start with a path on its command line: the registration window shows
  // it, now and at its later openings. Nothing is stored until the user
  // presses 登録.
  app_.com.gstrTorkPath = path;
  if (platform.isFormLoaded(FormId::frmSetPgm)) {
    pathAwaitingSettings_ = path;  // offered once the settings window has closed
  } else if (platform.isFormLoaded(FormId::frmTork)) {
    platform.setControlText({FormId::frmTork, "txtPath"}, path);
  }
  mShowLauncher();
  if (!mOpenModalForm()) pfrmPyxtern_cmdTork_Click();
}

// ---------------------------------------------------------------- tray icon

std::int16_t basFuncStart::pfrmPyxtern_Form_MouseMove(std::int16_t, std::int16_t, float rstrX, float) {
  try {
    Platform& platform = app_.platform;
    // The tray reports its mouse action as a mouse move whose x, in pixels,
    // is the action's message number.
    std::int32_t code = static_cast<std::int32_t>(std::lrint(rstrX)) / platform.twipsPerPixelX();
    if (code == static_cast<std::int32_t>(msg::LButtonDblClk)) {
      platform.shellNotifyIcon(tray::Modify, app_.com.gtypTray);
      mShowLauncher();
    } else if (code == static_cast<std::int32_t>(msg::RButtonDown)) {
      // While the registration or settings window is open, the launcher
      // waits for it: the icon leads the user to that window rather than to
      // a menu that would open a second one or end the program behind it.
      if (mOpenModalForm())
        mShowLauncher();
      else
        platform.popupMenu(kLauncher, "mnuPopup");
    }
    return kTrue;
  } catch (const RuntimeError& error) {
    trap_.report(kMsgTrayRestoreFailed, error);
    return kFalse;
  }
}

std::optional<FormId> basFuncStart::mOpenModalForm() const {
  for (FormId modal : {FormId::frmSetPgm, FormId::frmTork})
    if (app_.platform.isFormLoaded(modal)) return modal;
  return std::nullopt;
}

void basFuncStart::mShowLauncher() {
  Platform& platform = app_.platform;
  platform.setFormVisible(kLauncher, true);
  platform.setFormWindowState(kLauncher, WindowState::Normal);
  platform.moveFormToPointerMonitor(kLauncher);
  // A window open over the launcher comes to the front instead. The minimise
  // hotkey may have sent the launcher to the tray under it; Windows hides
  // the windows a minimised window owns and shows them again only when it
  // is restored, so the launcher is restored first, whatever its state.
  if (std::optional<FormId> modal = mOpenModalForm())
    platform.bringFormToFront(*modal);
  else
    platform.showForm(kLauncher, false);
}

void basFuncStart::pfrmPyxtern_Form_MouseDown(std::int16_t button) {
  if (button == 2) app_.platform.popupMenu(kLauncher, "mnuPopup");
}

// ---------------------------------------------------------------- hotkey hook

std::int16_t basFuncStart::pfrmPyxtern_Hook(std::intptr_t hwnd) {
  return trap_.run(u"pfrmPyxtern_Hook", [&] {
    app_.com.glngPrevWndProc =
        app_.platform.hookWindowProc(hwnd, [this](std::intptr_t h, std::uint32_t m, std::uintptr_t w,
                                                  std::intptr_t l) { return mWndProc(h, m, w, l); });
  });
}

std::int16_t basFuncStart::pfrmPyxtern_UnHook(std::intptr_t hwnd) {
  return trap_.run(u"pfrmPyxtern_UnHook", [&] {
    if (app_.com.glngPrevWndProc != 0) app_.platform.restoreWindowProc(hwnd, app_.com.glngPrevWndProc);
  });
}

std::intptr_t basFuncStart::mWndProc(std::intptr_t hwnd, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
  Platform& platform = app_.platform;
  basCom& com = app_.com;
  try {
    if (!blnInProc_) {
      blnInProc_ = true;
      if (message == msg::HotKey) {
        std::int32_t id = static_cast<std::int32_t>(wParam);
        if (id == com.gintHotKey1Atom) {
          mShowLauncher();
        } else if (id == com.gintHotKey2Atom) {
          // Already in the tray: showing the window again would leave it
          // minimised on the task bar, since no resize follows.
          if (platform.formWindowState(kLauncher) != WindowState::Minimized) {
            platform.setFormVisible(kLauncher, true);
            platform.setFormWindowState(kLauncher, WindowState::Minimized);
          }
          platform.unloadForm(FormId::frmTork);
        }
      }
      blnInProc_ = false;
    }
    return platform.callWindowProc(com.glngPrevWndProc, hwnd, message, wParam, lParam);
  } catch (const RuntimeError& error) {
    blnInProc_ = false;
    trap_.report(u"mWndProc", error);
    return -1;
  }
}

}  // namespace pyx
