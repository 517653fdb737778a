// Stand-in favourite for the end-to-end tests and the Wine benchmark: adds
// "program<TAB>command line<TAB>current folder" in UTF-8 to the file named by
// PYX_TARGET_LOG, and exits. Built for the GUI subsystem so that no console
// window appears.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // "--hold-hotkey MODIFIERS KEY": stands for another program that holds a
  // global hotkey. It records its start only once it holds the key, then
  // waits until it is ended.
  const wchar_t* hold = wcsstr(GetCommandLineW(), L"--hold-hotkey ");
  wchar_t* end = nullptr;
  UINT modifiers = hold ? wcstoul(hold + 14, &end, 10) : 0;
  if (hold && !RegisterHotKey(nullptr, 1, modifiers, wcstoul(end, nullptr, 10))) return 4;
  wchar_t program[MAX_PATH] = {}, folder[MAX_PATH] = {}, log[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, folder);
  if (!GetEnvironmentVariableW(L"PYX_TARGET_LOG", log, MAX_PATH)) return 2;
  const std::wstring line = std::wstring(program) + L"\t" + GetCommandLineW() + L"\t" + folder + L"\n";
  std::string utf8(line.size() * 3, '\0');  // up to three bytes a UTF-16 unit
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(),
                                  static_cast<int>(utf8.size()), nullptr, nullptr));
  // FILE_APPEND_DATA makes the single write land whole at the end, so a test
  // that polls the file never sees half a line.
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != utf8.size()) return 3;
  MSG message;
  while (hold && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
