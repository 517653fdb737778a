// What reaches the running program from outside: the command line of another
// copy started on the same desktop (Explorer's Send To, a file dropped on
// pyxtern.exe), handed over with WM_COPYDATA, and files dropped on a window.
#include <windows.h>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace pyx {

namespace {

// Marks a handover as ours: WM_COPYDATA can come from any program.
constexpr ULONG_PTR kHandoverMarker = 0x70797868;
// No command line is longer; what is, is no command line of ours.
constexpr DWORD kLongestCommandLine = 32767;

}  // namespace

bool Win32Platform::handOverToRunningCopy(const Text& commandLine) {
  if (commandLine.size() > kLongestCommandLine) return false;
  COPYDATASTRUCT data{kHandoverMarker, static_cast<DWORD>(commandLine.size() * sizeof(char16_t)),
                      const_cast<char16_t*>(commandLine.data())};
  // Only the launcher of another process, and only on this desktop: the
  // search does not go beyond it, so no other session is reached.
  const DWORD self = GetCurrentProcessId();
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, kFormClass, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == self) continue;
    // The user started this copy: the running one may come to the front.
    AllowSetForegroundWindow(owner);
    DWORD_PTR taken = FALSE;
    if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                            &taken) &&
        taken == TRUE)
      return true;
  }
  return false;
}

LRESULT Win32Platform::onCopyData(Form& form, const COPYDATASTRUCT* data) {
  if (form.id != FormId::frmPyxtern || !data || data->dwData != kHandoverMarker ||
      data->cbData % sizeof(char16_t) != 0 || data->cbData / sizeof(char16_t) > kLongestCommandLine ||
      (data->cbData && !data->lpData))
    return FALSE;
  handovers_.push_back(
      win32::fromWide(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(char16_t)));
  // Acted on once the sender has its answer: the registration window it may
  // open waits for the user, and the other copy must end at once.
  PostMessageW(form.hwnd, kHandoverMessage, 0, 0);
  return TRUE;
}

void Win32Platform::raiseHandovers(Form& form) {
  std::vector<Text> waiting;
  waiting.swap(handovers_);
  for (Text& commandLine : waiting) {
    EventArgs args;
    args.text = std::move(commandLine);
    raise(form.id, {}, EventKind::OtherCopyStarted, args);
  }
}

void Win32Platform::onDropFiles(Form& form, HDROP drop) {
  // Of several files, the first: one favourite is registered at a time.
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length, L'\0');
  const bool got = length > 0 && DragQueryFileW(drop, 0, path.data(), length + 1) == length;
  DragFinish(drop);
  if (!got) return;
  EventArgs args;
  args.text = win32::fromWide(path.data(), path.size());
  raise(form.id, {}, EventKind::FileDropped, args);
}

}  // namespace pyx
