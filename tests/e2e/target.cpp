// Stand-in favourite for the end-to-end tests: records how it was started and
// exits. The launcher starts it either directly (a program favourite) or
// through a file association (a document favourite); the tests read the
// recorded command line to see which program got which arguments, and the
// folder it was started in.
//
// The line, "command line<TAB>current folder", goes to the file named by
// PYX_TARGET_LOG, or else to launched.txt beside this program, as UTF-8 with
// one "\n"-terminated line per start.
// Built for the GUI subsystem so that no console window appears.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring logPath() {
  wchar_t buffer[32768];
  DWORD length = GetEnvironmentVariableW(L"PYX_TARGET_LOG", buffer, 32768);
  if (length > 0 && length < 32768) return std::wstring(buffer, length);
  length = GetModuleFileNameW(nullptr, buffer, 32768);
  std::wstring path(buffer, length);
  std::size_t slash = path.find_last_of(L"\\/");
  path.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"launched.txt";
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                      nullptr);
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // "--hold-hotkey MODIFIERS KEY": stands for another program that holds a
  // global hotkey. It records its start only once it holds the hotkey, then
  // waits until it is ended.
  const wchar_t* hold = wcsstr(GetCommandLineW(), L"--hold-hotkey ");
  if (hold) {
    wchar_t* end = nullptr;
    UINT modifiers = wcstoul(hold + 14, &end, 10);
    UINT key = wcstoul(end, nullptr, 10);
    if (!RegisterHotKey(nullptr, 1, modifiers, key)) return 4;
  }
  // "--hold-file PATH": stands for another program that holds a file open
  // without sharing it. It records its start only once it holds the file,
  // then waits until it is ended.
  const wchar_t* held = wcsstr(GetCommandLineW(), L"--hold-file ");
  if (held) {
    HANDLE file = CreateFileW(held + 12, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 5;
  }
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  std::string line = utf8(GetCommandLineW()) + "\t" + utf8(folder) + "\n";
  // FILE_APPEND_DATA makes the single write land whole at the end, so a test
  // that polls the file never sees half a line.
  HANDLE file = CreateFileW(logPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != line.size()) return 3;
  MSG message;
  while ((hold || held) && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
