// Stand-in favourite for the end-to-end tests and the Wine benchmark: adds
// "program<TAB>command line<TAB>current folder" in UTF-8 to the file named by
// PYX_TARGET_LOG, and exits. Built for the GUI subsystem so that no console
// window appears.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::string utf8(const std::wstring& text) {
  std::string result(text.size() * 3, '\0');  // up to three bytes a UTF-16 unit
  result.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                                    static_cast<int>(result.size()), nullptr, nullptr));
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // "--hold-hotkey MODIFIERS KEY" or "--hold-file PATH": stands for another
  // program that holds a global hotkey, or a file open without sharing it. It
  // records its start only once it holds it, then waits until it is ended.
  const wchar_t* hold = wcsstr(GetCommandLineW(), L"--hold-hotkey ");
  wchar_t* end = nullptr;
  UINT modifiers = hold ? wcstoul(hold + 14, &end, 10) : 0;
  if (hold && !RegisterHotKey(nullptr, 1, modifiers, wcstoul(end, nullptr, 10))) return 4;
  const wchar_t* held = wcsstr(GetCommandLineW(), L"--hold-file ");
  HANDLE heldFile =
      held ? CreateFileW(held + 12, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)
           : nullptr;
  if (heldFile == INVALID_HANDLE_VALUE) return 5;
  wchar_t program[MAX_PATH] = {}, folder[MAX_PATH] = {}, log[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, folder);
  if (!GetEnvironmentVariableW(L"PYX_TARGET_LOG", log, MAX_PATH)) return 2;
  std::string line = utf8(program) + "\t" + utf8(GetCommandLineW()) + "\t" + utf8(folder) + "\n";
  // FILE_APPEND_DATA makes the single write land whole at the end, so a test
  // that polls the file never sees half a line.
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != line.size()) return 3;
  MSG message;
  while ((hold || held) && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
