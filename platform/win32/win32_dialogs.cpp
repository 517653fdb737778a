// Message boxes and the file-open dialog, owned by the program's windows.
#include <windows.h>

// after windows.h, which they build on
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace pyx {

using win32::fromWide;
using win32::wide;

HWND Win32Platform::dialogOwner() const {
  HWND active = GetActiveWindow();
  if (formOfWindow(active)) return active;
  if (Form* launcher = find(FormId::frmPyxtern)) return launcher->hwnd;
  for (const auto& form : forms_)
    if (form) return form->hwnd;
  return nullptr;
}

namespace {

// Counts our own message boxes and file dialogs while they are open.
class TransientScope {
 public:
  explicit TransientScope(int& depth) : depth_(depth) { ++depth_; }
  ~TransientScope() { --depth_; }
  TransientScope(const TransientScope&) = delete;
  TransientScope& operator=(const TransientScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

std::int32_t Win32Platform::messageBox(const Text& prompt, std::int32_t buttonsAndIcon, const Text& title) {
  HWND owner = dialogOwner();
  // The box may belong to a launcher that waits hidden in the tray; it must
  // still come to the front.
  UINT flags = static_cast<UINT>(buttonsAndIcon) | MB_SETFOREGROUND;
  TransientScope scope(transientDepth_);
  return MessageBoxW(owner, wide(prompt), wide(title), flags);
}

Text Win32Platform::fileOpenDialog(ControlRef dialog, const FileDialogRequest& request) {
  Form* form = find(dialog.form);
  HWND owner = form ? form->hwnd : dialogOwner();
  // "description|pattern|..." becomes the NUL-separated pairs the dialog
  // takes, ended by an empty string.
  Text filter = request.filter;
  std::replace(filter.begin(), filter.end(), u'|', u'\0');
  filter.push_back(u'\0');
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = wide(filter);
  ofn.nFilterIndex = static_cast<DWORD>(std::max<std::int16_t>(request.filterIndex, 0));
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (request.flags & fd::FileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  TransientScope scope(transientDepth_);
  if (!GetOpenFileNameW(&ofn)) return Text();
  return fromWide(file.data());
}

}  // namespace pyx
