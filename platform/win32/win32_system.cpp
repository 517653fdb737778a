// The DLL search, files, profile strings, the code page, facts about the
// system, atoms, hotkeys, the window hook, the tray and starting programs.
#include <windows.h>

// after windows.h, which it builds on
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <vector>

#include "platform/ini/ini_engine.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace pyx {

using win32::fromWide;
using win32::wide;
using win32::wideOrNull;

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;  // as the form procedure expects it
constexpr wchar_t kHookProperty[] = L"pyxtern.hook";

// The runtime error a failed file operation raises, as the user knows it.
std::int32_t fileErrorNumber(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return ErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
      return ErrPathNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrPermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ErrDiskFull;
    default:
      return ErrPathFileAccess;
  }
}

[[noreturn]] void throwFileError(DWORD error) {
  throw RuntimeError(fileErrorNumber(error));
}

[[noreturn]] void throwLastFileError() {
  throwFileError(GetLastError());
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() { close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    if (!valid()) return true;
    bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The part of a path before its last "\", or "." for a bare file name.
Text directoryOf(const Text& path) {
  std::size_t slash = path.find_last_of(u"\\/");
  if (slash == Text::npos) return u".";
  if (slash == 0 || (slash == 2 && path[1] == u':'))
    return path.substr(0, slash + 1);  // a root keeps its "\"
  return path.substr(0, slash);
}

Text withoutTrailingBackslash(Text path) {
  if (path.size() > 1 && path.back() == u'\\') path.pop_back();
  return path;
}

Text modulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return Text();
    if (length < buffer.size()) return fromWide(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

template <class Getter>
Text systemPath(Getter getter) {
  wchar_t buffer[MAX_PATH + 1];
  UINT length = getter(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return Text();
  return withoutTrailingBackslash(fromWide(buffer, length));
}

// What hookWindowProc put in front of a window's procedure.
struct HookRecord {
  WindowProcHook hook;
  WNDPROC previous;
};

LRESULT CALLBACK hookThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = static_cast<HookRecord*>(GetPropW(hwnd, kHookProperty));
  if (!record) return DefWindowProcW(hwnd, message, wParam, lParam);
  // A copy: the hook may restore the old procedure, which frees the record.
  WindowProcHook hook = record->hook;
  WNDPROC previous = record->previous;
  LRESULT result;
  try {
    result = hook(reinterpret_cast<std::intptr_t>(hwnd), message, static_cast<std::uintptr_t>(wParam),
                  static_cast<std::intptr_t>(lParam));
  } catch (...) {
    // Nothing may unwind through the system; the window carries on as if
    // it had no hook.
    result = CallWindowProcW(previous, hwnd, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    if (auto* left = static_cast<HookRecord*>(RemovePropW(hwnd, kHookProperty))) delete left;
  }
  return result;
}

// The settings file's double-byte characters, as the system's code page has them.
bool isAnsiLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != FALSE;
}

// A length for the conversion functions, which count in int.
int checkedLength(std::size_t length) {
  if (length > static_cast<std::size_t>(INT_MAX)) raiseError(ErrOutOfMemory);
  return static_cast<int>(length);
}

}  // namespace

// ---------------------------------------------------------------- program and system

void win32::restrictDllSearch() {
  // SetDefaultDllDirectories exists since Windows 8 and on Windows 7 with its
  // 2011 loader update. Where it is missing, an empty DLL directory at least
  // takes the current folder out of the search; only there, because the
  // programs the launcher starts inherit that setting.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefaultDllDirectories || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryW(L"");
}

Text Win32Platform::applicationDirectory() const {
  Text path = modulePath();
  std::size_t slash = path.find_last_of(u'\\');
  return slash == Text::npos ? Text() : path.substr(0, slash);
}

Text Win32Platform::executableName() const {
  Text path = modulePath();
  std::size_t slash = path.find_last_of(u'\\');
  Text name = slash == Text::npos ? path : path.substr(slash + 1);
  std::size_t dot = name.find_last_of(u'.');
  if (dot != Text::npos && dot > 0) name.resize(dot);
  return name;
}

Text Win32Platform::applicationTitle() const {
  return executableName();
}

Text Win32Platform::commandLine() const {
  return win32::argumentsOf(fromWide(GetCommandLineW()));
}

std::int32_t Win32Platform::platformId() const {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // only the platform identifier is read, which never changes
#endif
  if (!GetVersionExW(&version)) raiseError(ErrInvalidProcedureCall);
  return static_cast<std::int32_t>(version.dwPlatformId);
}

Text Win32Platform::windowsDirectory() const {
  return systemPath(GetWindowsDirectoryW);
}

Text Win32Platform::systemDirectory() const {
  return systemPath(GetSystemDirectoryW);
}

Text Win32Platform::toUpper(const Text& text) const {
  Text upper = text;
  if (!upper.empty()) CharUpperBuffW(win32::wideBuffer(upper), static_cast<DWORD>(upper.size()));
  return upper;
}

// ---------------------------------------------------------------- code page

// Each conversion runs once, into room for the longest result that the
// system's code page can give: a favourites file can be large, and asking for
// the size first would convert it twice.
Bytes Win32Platform::toAnsi(const Text& text) const {
  if (text.empty()) return Bytes();
  CPINFO info{};
  const std::size_t bytesPerUnit = GetCPInfo(CP_ACP, &info) ? info.MaxCharSize : 4;
  const int length = checkedLength(text.size()), room = checkedLength(text.size() * bytesPerUnit);
  Bytes bytes;
  bytes.resize_and_overwrite(static_cast<std::size_t>(room), [&](char* out, std::size_t) {
    int size = WideCharToMultiByte(CP_ACP, 0, wide(text), length, out, room, nullptr, nullptr);
    return static_cast<std::size_t>(std::max(size, 0));
  });
  return bytes;
}

Text Win32Platform::fromAnsi(const Bytes& bytes) const {
  if (bytes.empty()) return Text();
  // No byte makes more than one UTF-16 unit.
  const int length = checkedLength(bytes.size());
  Text text;
  text.resize_and_overwrite(bytes.size(), [&](char16_t* out, std::size_t) {
    int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(out), length);
    return static_cast<std::size_t>(std::max(size, 0));
  });
  return text;
}

// ---------------------------------------------------------------- files

bool Win32Platform::findNormalFile(const Text& path) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(wide(path), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::uint32_t Win32Platform::fileAttributes(const Text& path) {
  DWORD attributes = GetFileAttributesW(wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) throwLastFileError();
  return attributes & (attr::ReadOnly | attr::Hidden | attr::System | attr::Directory | attr::Archive);
}

void Win32Platform::setFileAttributes(const Text& path, std::uint32_t attributes) {
  DWORD value = attributes & (attr::ReadOnly | attr::Hidden | attr::System | attr::Archive);
  if (!SetFileAttributesW(wide(path), value ? value : FILE_ATTRIBUTE_NORMAL)) throwLastFileError();
}

Bytes Win32Platform::readFile(const Text& path) {
  // Others may hold the file open, an editor for one; reading it is still fine.
  FileHandle file(CreateFileW(wide(path), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.valid()) throwLastFileError();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) throwLastFileError();
  if (size.QuadPart > 0x7FFFFFFF) raiseError(ErrOutOfMemory);  // more than the program can hold
  Bytes content;
  DWORD failure = ERROR_SUCCESS;
  // Read straight into the buffer, which is not cleared first: a favourites
  // file can be large. The reading must not throw from inside the string.
  content.resize_and_overwrite(static_cast<std::size_t>(size.QuadPart), [&](char* out, std::size_t room) {
    std::size_t done = 0;
    while (done < room && failure == ERROR_SUCCESS) {
      DWORD read = 0;
      if (!ReadFile(file.get(), out + done, static_cast<DWORD>(room - done), &read, nullptr))
        failure = GetLastError();
      if (read == 0) break;  // the file got shorter while we read it, or the read failed
      done += read;
    }
    return done;
  });
  if (failure != ERROR_SUCCESS) throwFileError(failure);
  return content;
}

void Win32Platform::replaceFile(const Text& path, const Bytes& content) {
  // The new content goes to a file of its own beside the target, reaches the
  // disk, and only then takes the target's name in one step: a failure at
  // any point leaves the previous file as it was.
  const Text directory = directoryOf(path);
  DWORD directoryAttributes = GetFileAttributesW(wide(directory));
  if (directoryAttributes == INVALID_FILE_ATTRIBUTES || !(directoryAttributes & FILE_ATTRIBUTE_DIRECTORY))
    throwFileError(ERROR_PATH_NOT_FOUND);
  // Windows refuses to replace a read-only file; Wine's file system would
  // let the rename through. Refuse it here, so both agree.
  DWORD targetAttributes = GetFileAttributesW(wide(path));
  if (targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_READONLY))
    throwFileError(ERROR_ACCESS_DENIED);
  // Always the same temporary name: a write cut short (the program killed
  // half-way) leaves at most one such file, and the next write reuses it.
  // An attribute it may have picked up would make the overwrite fail.
  const Text temporaryPath = temporaryFileFor(path);
  const wchar_t* temporary = wide(temporaryPath);
  SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
  DWORD error = ERROR_SUCCESS;
  {
    FileHandle file(
        CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) error = GetLastError();
    std::size_t done = 0;
    while (error == ERROR_SUCCESS && done < content.size()) {
      DWORD written = 0;
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
      if (!WriteFile(file.get(), content.data() + done, chunk, &written, nullptr))
        error = GetLastError();
      else if (written == 0)
        error = ERROR_DISK_FULL;
      done += written;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
    if (!file.close() && error == ERROR_SUCCESS) error = GetLastError();
  }
  if (error == ERROR_SUCCESS &&
      !MoveFileExW(temporary, wide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteFileW(temporary);
    throwFileError(error);
  }
}

void Win32Platform::deleteFile(const Text& path) {
  if (!DeleteFileW(wide(path))) throwLastFileError();
}

// ---------------------------------------------------------------- profile strings

// The system's ANSI profile functions would take the file's path in the code
// page too, where a folder named with a character the code page lacks turns
// into another folder (é into e, ¥ into "\"). Our engine, which behaves as
// they do, reads and edits the bytes of the file opened by its real path.

std::uint32_t Win32Platform::getPrivateProfileString(const Bytes& section, const Bytes& key,
                                                     const Bytes& defaultValue, char* buffer,
                                                     std::uint32_t size, const Text& file) {
  std::optional<Bytes> content;
  try {
    content = readFile(file);
  } catch (const RuntimeError&) {
    // Missing, a folder, or held locked: no settings, as the system's function sees it.
  }
  return ini::getProfileString(content, section, key, defaultValue, buffer, size, isAnsiLeadByte);
}

void Win32Platform::writePrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& value,
                                              const Text& file) {
  // The system's function rewrites the file in place, so a full disk
  // part-way through leaves the user's settings cut short; the bytes of our
  // engine replace it in one step.
  std::optional<Bytes> content;
  DWORD attributes = GetFileAttributesW(wide(file));
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    content = readFile(file);
  replaceFile(file, ini::writeProfileString(content, section, key, value, isAnsiLeadByte));
}

// ---------------------------------------------------------------- atoms and hotkeys

std::uint16_t Win32Platform::globalAddAtom(const Text& name) {
  return GlobalAddAtomW(wide(name));
}

void Win32Platform::globalDeleteAtom(std::uint16_t atom) {
  GlobalDeleteAtom(atom);
}

bool Win32Platform::registerHotKey(std::intptr_t hwnd, std::int32_t id, std::uint32_t modifiers,
                                   std::uint32_t virtualKey) {
  return RegisterHotKey(reinterpret_cast<HWND>(hwnd), id, modifiers, virtualKey) != 0;
}

bool Win32Platform::unregisterHotKey(std::intptr_t hwnd, std::int32_t id) {
  return UnregisterHotKey(reinterpret_cast<HWND>(hwnd), id) != 0;
}

// ---------------------------------------------------------------- the window hook

std::intptr_t Win32Platform::hookWindowProc(std::intptr_t hwnd, WindowProcHook hook) {
  HWND window = reinterpret_cast<HWND>(hwnd);
  if (!IsWindow(window)) raiseError(ErrInvalidProcedureCall);
  // Hooked twice without a restore: the new hook replaces the old one in
  // front of the same procedure, rather than calling itself for ever.
  if (auto* record = static_cast<HookRecord*>(GetPropW(window, kHookProperty))) {
    record->hook = std::move(hook);
    return reinterpret_cast<std::intptr_t>(record->previous);
  }
  auto* record = new HookRecord{std::move(hook), nullptr};
  if (!SetPropW(window, kHookProperty, record)) {
    delete record;
    raiseError(ErrInvalidProcedureCall);
  }
  record->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hookThunk)));
  return reinterpret_cast<std::intptr_t>(record->previous);
}

void Win32Platform::restoreWindowProc(std::intptr_t hwnd, std::intptr_t previous) {
  HWND window = reinterpret_cast<HWND>(hwnd);
  if (!IsWindow(window) || !previous) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, static_cast<LONG_PTR>(previous));
  if (auto* record = static_cast<HookRecord*>(RemovePropW(window, kHookProperty))) delete record;
}

std::intptr_t Win32Platform::callWindowProc(std::intptr_t previous, std::intptr_t hwnd, std::uint32_t message,
                                            std::uintptr_t wParam, std::intptr_t lParam) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(previous), reinterpret_cast<HWND>(hwnd), message,
                         static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

// ---------------------------------------------------------------- the tray

bool Win32Platform::shellNotifyIcon(std::uint32_t operation, const TrayRecord& record) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = reinterpret_cast<HWND>(record.hWnd);
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  // The record asks for mouse moves; ours is a message of its own, so that
  // the icon's clicks never mix with the window's real mouse moves.
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = reinterpret_cast<HICON>(record.hIcon);
  Text tip = record.szTip.substr(0, std::size(data.szTip) - 1);
  std::copy(tip.begin(), tip.end(), data.szTip);

  switch (operation) {
    case tray::Add:
      tray_ = data;
      trayShown_ = Shell_NotifyIconW(NIM_ADD, &data) != 0;
      return trayShown_;
    case tray::Modify:
      tray_ = data;
      return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
    case tray::Delete:
      trayShown_ = false;
      return Shell_NotifyIconW(NIM_DELETE, &data) != 0;
    default:
      return false;
  }
}

bool Win32Platform::addTrayIcon() {
  return Shell_NotifyIconW(NIM_ADD, &tray_) != 0;
}

// ---------------------------------------------------------------- starting things

Text Win32Platform::expandEnvironment(const Text& text) const {
  const DWORD size = ExpandEnvironmentStringsW(wide(text), nullptr, 0);
  if (size == 0) return text;
  Text expanded(size, u'\0');
  const DWORD written = ExpandEnvironmentStringsW(wide(text), win32::wideBuffer(expanded), size);
  if (written == 0 || written > size) return text;
  expanded.resize(written - 1);  // without the NUL
  return expanded;
}

std::intptr_t Win32Platform::shellExecute(std::intptr_t hwnd, const Text& operation, const Text& file,
                                          const Text& parameters, const Text& directory,
                                          std::int32_t showCommand) {
  HINSTANCE result = ShellExecuteW(reinterpret_cast<HWND>(hwnd), wideOrNull(operation), wide(file),
                                   wideOrNull(parameters), wideOrNull(directory), showCommand);
  return reinterpret_cast<std::intptr_t>(result);
}

void Win32Platform::startProcess(const Text& program, const Text& arguments, const Text& directory,
                                 std::int16_t windowStyle) {
  // The program is always quoted: unquoted, Windows would try
  // "C:\Program.exe" for "C:\Program Files\Ed\ed.exe".
  Text command = u"\"" + program + u"\"";
  if (!arguments.empty()) command += u" " + arguments;
  std::vector<wchar_t> buffer(command.begin(), command.end());  // CreateProcessW may write to it
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION process{};
  auto start = [&](const wchar_t* folder) {
    return CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                          &process) != 0;
  };
  // A folder that is gone does not keep the program from starting.
  if (!start(wideOrNull(directory)) && (GetLastError() != ERROR_DIRECTORY || !start(nullptr)))
    raiseError(ErrFileNotFound);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace pyx
