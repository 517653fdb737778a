// The floor for the Windows program under Wine: the least a window with an
// editable drop-down list does. It shows itself ("bare"), and Enter starts
// target.exe beside it, as a launch would.
#include <windows.h>

#include <string>

namespace {

std::wstring besideMe(const wchar_t* file) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path, length);
  return dir.substr(0, dir.find_last_of(L'\\') + 1) + file;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    std::wstring command = L"\"" + besideMe(L"target.exe") + L"\" /bare";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefDlgProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"bare";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(L"bare", L"bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 100, 100, 400, 120,
                              nullptr, nullptr, instance, nullptr);
  HWND combo = CreateWindowW(L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN, 10, 10, 360,
                             200, window, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOW);
  SetFocus(combo);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
