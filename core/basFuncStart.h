// The launcher window's logic: start-up and shutdown, the list reload on
// activation, lookup and launch, the window's commands, the tray icon's mouse
// actions and the hotkey hook.
#pragma once

#include <cstdint>
#include <optional>

#include "core/error_trap.h"
#include "core/text.h"
#include "platform/platform.h"

namespace pyx {

class Application;

// Notification-icon and hotkey numbers the launcher uses.
namespace msg {
inline constexpr std::uint32_t MouseMove = 0x200;
inline constexpr std::uint32_t LButtonDblClk = 0x203;
inline constexpr std::uint32_t RButtonDown = 0x204;
inline constexpr std::uint32_t HotKey = 0x312;
}  // namespace msg

class basFuncStart {
 public:
  explicit basFuncStart(Application& app);

  // Start-up and shutdown
  std::int16_t pfrmPyxtern_Form_Load();
  // The hotkey release. The atoms, whose numbers identify the hotkeys, are
  // deleted only when the window closes: after the settings window the same
  // numbers identify the hotkeys again.
  std::int16_t pfrmPyxtern_Form_QueryUnload(bool windowClosing = true);
  std::int16_t pfrmPyxtern_Form_Unload();

  // Lookup and launch
  std::int16_t pfrmPyxtern_Form_Activate();
  // shift: the keys held (1 Shift, 2 Ctrl, 4 Alt); Ctrl+Shift runs a program
  // as administrator.
  std::int16_t pfrmPyxtern_cmdOK_Click(std::int16_t shift = 0);

  // Window commands
  std::int16_t pfrmPyxtern_Form_Resize();
  std::int16_t pfrmPyxtern_cmdSanshou_Click();
  std::int16_t pfrmPyxtern_cmdTork_Click();
  std::int16_t pfrmPyxtern_mnuSet_Click();
  std::int16_t pfrmPyxtern_mnuHelp_Click();
  std::int16_t pfrmTork_cmdSanshou_Click();

  // Paths from outside: another copy's command line (Send To, a file dropped
  // on the program), a file dropped on the launcher window.
  std::int16_t pfrmPyxtern_OtherCopyStarted(const Text& commandLine);
  std::int16_t pfrmPyxtern_FileDropped(const Text& path);

  // Tray icon
  std::int16_t pfrmPyxtern_Form_MouseMove(std::int16_t rintButton, std::int16_t rintShift, float rstrX,
                                          float rstrY);
  void pfrmPyxtern_Form_MouseDown(std::int16_t button);

  // Hotkey hook
  std::int16_t pfrmPyxtern_Hook(std::intptr_t hwnd);
  std::int16_t pfrmPyxtern_UnHook(std::intptr_t hwnd);

  // Starts a path by its kind: program (in its own folder; as administrator
  // when asked), document or folder. A folder launch replaces `path` with the
  // command line it built.
  std::int16_t mStrat_Files(Text& path, bool asAdministrator = false);

  // Settings load (start-up and after the settings window).
  std::int16_t mSetti_Get();

 private:
  friend struct LookupBenchmark;  // times the search alone

  std::int32_t mGet_OSType();
  bool mKenskHit(Text& index);
  // The registration or settings window, if one is open over the launcher.
  std::optional<FormId> mOpenModalForm() const;
  // Brings the launcher back from the tray or from behind other windows, and
  // a window open over it to the front.
  void mShowLauncher();
  // Opens the registration window with `path` in its path box, or puts it
  // there when the window is open.
  void mOfferForRegistering(const Text& path);
  std::intptr_t mWndProc(std::intptr_t hwnd, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam);

  // The path of a built-in name (upper case), if it is one.
  std::optional<Text> builtInPath(const Text& upperName) const;
  // The folder a program starts in.
  Text mProgramFolder(const Text& program) const;
  void showMessage(const Text& text, std::int32_t icon);
  Text showFileDialog(ControlRef dialog);

  Application& app_;
  ErrorTrap trap_;
  bool blnInProc_ = false;
  // A path handed over while the settings window was open.
  std::optional<Text> pathAwaitingSettings_;
};

}  // namespace pyx
