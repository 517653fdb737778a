// Checks of the Windows backend against Windows itself, or Wine with the ANSI
// code page 932: LANG=ja_JP.UTF-8 wine build/win32/pyxtern_win32_test.exe
// Prints one line per failed check and a summary; exits 1 when any failed.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "forms/forms.h"
#include "platform/win32/win32_command_line.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_text.h"

namespace {

using namespace pyx;

int checks = 0, failures = 0;

void check(bool ok, const std::string& what) {
  ++checks;
  if (ok) return;
  ++failures;
  std::printf("FAIL %s\n", what.c_str());
}

// `body` raises runtime error `expected` (0: none).
void checkError(int expected, const std::string& what, const auto& body) {
  int got = 0;
  try {
    body();
  } catch (const RuntimeError& error) {
    got = error.number();
  }
  check(got == expected, what + ": error " + std::to_string(got) + ", expected " + std::to_string(expected));
}

// Records every event as "form.control.Kind" (control empty for the form),
// and the arguments of the last; KeyDown's key is swallowed on demand.
struct Recorder : EventSink {
  std::vector<std::string> events;
  EventArgs last;
  bool swallowKeys = false;

  void raiseEvent(FormId form, std::string_view control, EventKind kind, EventArgs& args) override {
    static const char* const kinds[] = {"Load",        "Activate", "MouseMove",   "MouseDown",
                                        "QueryUnload", "Resize",   "Unload",      "Click",
                                        "KeyDown",     "Change",   "FileDropped", "OtherCopyStarted"};
    events.push_back(std::string(formDeclaration(form).name) + "." + std::string(control) + "." +
                     kinds[static_cast<int>(kind)]);
    if (swallowKeys && kind == EventKind::KeyDown) args.keyCode = 0;
    last = args;
  }
  int count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
};

void pumpFor(DWORD milliseconds) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(10)) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

Text windowText(HWND window) {
  wchar_t buffer[256] = {};
  return win32::fromWide(buffer, static_cast<std::size_t>(std::max(0, GetWindowTextW(window, buffer, 256))));
}

// A DLL beside the program (searched before the current folder) loads by its bare
// name until the search is restricted; a system DLL not loaded yet (msctf) still does.
void testDllSearch() {
  const auto loads = [](const wchar_t* name) { return FreeLibrary(LoadLibraryW(name)) != 0; };
  check(loads(L"pyxtern_planted.dll"), "a planted DLL loads by its bare name by default");
  win32::restrictDllSearch();
  check(!loads(L"pyxtern_planted.dll"), "a planted DLL is not loaded once the search is restricted");
  check(loads(L"msctf.dll"), "a system DLL still loads");
}

void testSystem(Win32Platform& platform) {
  const std::pair<Text, Text> commandLines[] = {{u"\"C:\\Program Files\\p\\pyxtern.exe\"  1", u"1"},
                                                {u"pyxtern.exe C:\\a b.txt", u"C:\\a b.txt"},
                                                {u"pyxtern.exe", u""}};
  for (const auto& [line, arguments] : commandLines)
    check(win32::argumentsOf(line) == arguments, "the arguments of " + toUtf8(line));
  check(platform.toUpper(u"calc") == u"CALC", "toUpper");
  for (const Text& folder : {platform.windowsDirectory(), platform.applicationDirectory()})
    check(!folder.empty() && folder.back() != u'\\', "a folder without a trailing \\: " + toUtf8(folder));
  check(platform.executableName() == u"pyxtern_win32_test", "executable name");
  check(platform.platformId() == 2, "the NT family");
  check(platform.expandEnvironment(u"%windir%\\a %NO_SUCH_NAME% 100%") ==
            platform.windowsDirectory() + u"\\a %NO_SUCH_NAME% 100%",
        "variables expanded, an undefined one kept");
  checkError(53, "starting a missing program",
             [&] { platform.startProcess(u"C:\\none\\nothing.exe", u"", u"C:\\none", 1); });
  const std::pair<Text, Bytes> conversions[] = {{u"メモ帳", "\x83\x81\x83\x82\x92\xa0"}, {u"", ""}};
  for (const auto& [text, bytes] : conversions)
    check(platform.toAnsi(text) == bytes && platform.fromAnsi(bytes) == text,
          "\"" + toUtf8(text) + "\" in the ANSI code page (" + std::to_string(GetACP()) + ", must be 932)");

  // pyxtern.exe beside the checks asks for a random base anywhere, no code run from
  // data, and on a Remote Desktop host the real Windows folder, not a per-user one.
  constexpr WORD wanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA |
                          IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE;
  Bytes image(4096, '\0');  // zeros after the file, for headers it lacks
  checkError(0, "pyxtern.exe beside the checks",
             [&] { image.insert(0, platform.readFile(platform.applicationDirectory() + u"\\pyxtern.exe")); });
  const LONG at = std::clamp<LONG>(reinterpret_cast<IMAGE_DOS_HEADER*>(image.data())->e_lfanew, 0, 2048);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(&image[at]);
  check((nt->OptionalHeader.DllCharacteristics & wanted) == wanted,
        "pyxtern.exe: random base, no code run from data, aware of Remote Desktop");
}

void testFiles(Win32Platform& platform) {
  const auto folder =
      std::filesystem::temp_directory_path() /
      ("pyx-selftest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()));
  std::filesystem::create_directory(folder);
  const Text file = (folder / "pyxtern.txt").u16string();
  const Text nowhere = (folder / "no such folder\\pyxtern.txt").u16string();
  // The file holds `content`, with nothing beside it: no temporary file.
  const auto holds = [&](const Bytes& content) {
    return platform.readFile(file) == content &&
           std::distance(std::filesystem::directory_iterator(folder), {}) == 1;
  };

  checkError(53, "reading a missing file", [&] { platform.readFile(file); });
  checkError(76, "reading in a missing folder", [&] { platform.readFile(nowhere); });
  checkError(76, "writing in a missing folder", [&] { platform.replaceFile(nowhere, "x"); });
  checkError(76, "a profile string in a missing folder",
             [&] { platform.writePrivateProfileString("Start", "Key", "1", nowhere); });
  checkError(53, "deleting a missing file", [&] { platform.deleteFile(file); });
  checkError(53, "attributes of a missing file", [&] { platform.fileAttributes(file); });
  check(!platform.findNormalFile(file), "a missing file is not found");

  for (const Bytes content : {"first", "second"}) {
    platform.replaceFile(file, content + "\r\n");
    check(holds(content + "\r\n"), "the file holds what was written " + content + ", alone");
  }
  // What a write killed half-way leaves, even marked read-only, is reused.
  platform.replaceFile(file + u".tmp", "leftover of an interrupted write");
  platform.setFileAttributes(file + u".tmp", attr::ReadOnly);
  platform.replaceFile(file, "second\r\n");
  check(holds("second\r\n"), "a leftover temporary file is reused");
  check(platform.findNormalFile(file), "a normal file is found");

  // Wine reports every file as archived; only the other attributes tell.
  const auto attributes = [&] { return platform.fileAttributes(file) & ~attr::Archive; };
  platform.setFileAttributes(file, attr::Hidden);
  check(!platform.findNormalFile(file), "a hidden file is not found");
  platform.setFileAttributes(file, attr::ReadOnly);
  check(attributes() == attr::ReadOnly, "read-only attribute");
  checkError(75, "deleting a read-only file", [&] { platform.deleteFile(file); });
  checkError(75, "replacing a read-only file", [&] { platform.replaceFile(file, "third\r\n"); });
  check(holds("second\r\n"), "a failed replace leaves the file unchanged, alone");
  // As the program makes its files writable at start.
  platform.setFileAttributes(file, attr::Normal);
  platform.replaceFile(file, "third\r\n");
  check(attributes() == 0 && holds("third\r\n"), "normal attributes: writable again");
  check(!platform.findNormalFile(folder.u16string()), "a folder is not found as a file");

  HANDLE locked =
      CreateFileW(win32::wide(file), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  checkError(70, "reading a file another program holds locked", [&] { platform.readFile(file); });
  char value[8] = {};
  check(platform.getPrivateProfileString("s", "k", "dflt", value, sizeof value, file) == 4,
        "a settings file another program holds locked reads as missing");
  CloseHandle(locked);

  // The settings file in a folder whose name the code page cannot hold.
  std::filesystem::create_directory(folder / L"café");
  const Text ini = (folder / L"café" / "Tesmora.ini").u16string();
  platform.writePrivateProfileString("Start", "Key", "80", ini);
  check(platform.getPrivateProfileString("Start", "Key", "", value, sizeof value, ini) == 2 &&
            value == Bytes("80"),
        "profile string written and read back");
  platform.deleteFile(ini);
  platform.deleteFile(file);
  check(std::filesystem::remove_all(folder) == 2, "files deleted, café and its folder left");
}

void testLauncher(Win32Platform& platform, Recorder& events) {
  const FormId launcher = FormId::frmPyxtern;
  platform.loadForm(launcher);
  check(events.events == std::vector<std::string>{"frmPyxtern..Load"}, "Load is the first event");
  HWND hwnd = reinterpret_cast<HWND>(platform.formHandle(launcher));
  check(hwnd && !IsWindowVisible(hwnd) && windowText(hwnd) == u"ぴくせるん", "loaded hidden, its caption");
  check(platform.formWidth(launcher) == 5940 && platform.formHeight(launcher) == 2040, "outer size");
  RECT client{};
  GetClientRect(hwnd, &client);
  const int dpi = static_cast<int>(win32::windowDpi(hwnd));
  check(client.right == MulDiv(5820, dpi, 1440) && client.bottom == MulDiv(1635, dpi, 1440), "client area");
  check(platform.twipsPerPixelX() == 1440 / dpi, "twips per pixel");

  platform.setFormWidth(launcher, 9000);
  check(platform.formWidth(launcher) <= 5940, "the launcher does not grow beyond its layout");
  platform.setFormWidth(launcher, 4000);
  check(std::abs(platform.formWidth(launcher) - 4000) < 30, "narrower");
  platform.setFormWidth(launcher, 5940);
  check(platform.formWidth(launcher) == 5940, "back to the declared width");

  // The declared default button and tab order, then others set.
  HWND combo = FindWindowExW(hwnd, nullptr, L"ComboBox", nullptr);
  const auto firstTabStop = [&] { return GetNextDlgTabItem(hwnd, nullptr, FALSE); };
  const auto defaultButton = [&] {
    const LRESULT id = SendMessageW(hwnd, DM_GETDEFID, 0, 0);
    return HIWORD(id) == DC_HASDEFID ? windowText(GetDlgItem(hwnd, LOWORD(id))) : Text(u"(none)");
  };
  check(defaultButton() == u"ＯＫ" && firstTabStop() == combo, "default button ＯＫ, the name field first");
  platform.setTabIndex({launcher, "cmdTork"}, 0);
  check(windowText(firstTabStop()) == u"登録", "a new tab index moves it to the front");
  platform.setTabIndex({launcher, "cmdTork"}, 4);
  check(firstTabStop() == combo, "and back");
  platform.setDefaultButton({launcher, "cmdTork"});
  check(defaultButton() == u"登録", "a new default button");
  platform.setDefaultButton({launcher, "cmdOK"});

  // The name list. Each item is marked as it is read: a fill anew drops the
  // marks, an update by difference keeps those of the items it leaves alone.
  ControlRef names{launcher, "cmbFileName"};
  int marked = 0;
  const auto itemsMarking = [&] {
    std::vector<Text> all;
    marked = 0;
    for (WPARAM i = 0, n = SendMessageW(combo, CB_GETCOUNT, 0, 0); i < n; ++i) {
      wchar_t item[64] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      marked += SendMessageW(combo, CB_GETITEMDATA, i, 0) == 1;
      SendMessageW(combo, CB_SETITEMDATA, i, 1);
      all.push_back(win32::fromWide(item));
    }
    return all;
  };
  const std::tuple<std::vector<TextView>, int, const char*> updates[] = {
      {{u"abc", u"メモ帳", u"xyz"}, 0, "a first list"},
      {{u"abc", u"メモ帳", u"xyz"}, 3, "the same list, left alone"},
      {{u"xyz", u"abc", u"メモ帳"}, 2, "an item moved to the top"},
      {{u"xyz", u"abd", u"メモ帳"}, 0, "one item changed: filled anew"},
      {{u"メモ帳", u"xyz", u"abd"}, 2, "the last item moved to the top"},
      {{u"abd", u"メモ帳", u"xyz"}, 2, "and the next launch's"},
      {{u"abd", u"xyz", u"メモ帳"}, 0, "two items swapped below the top: filled anew"},
      {{u"q", u"abc"}, 0, "a shorter list filled anew"},
      {{}, 0, "an empty list"},
  };
  for (const auto& [items, kept, what] : updates) {
    platform.setControlText(names, u"メモ");
    const bool typed = platform.controlText(names) == u"メモ" && platform.listIndex(names) == -1;
    platform.setListItems(names, items);
    check(typed && itemsMarking() == std::vector<Text>(items.begin(), items.end()) && marked == kept &&
              platform.controlText(names).empty() && platform.listIndex(names) == -1,
          std::string(what) + ": the text typed in, then emptied, nothing selected");
  }

  checkError(5, "focus on a hidden form", [&] { platform.setFocus(names); });
  events.events.clear();
  platform.showForm(launcher, false);
  pumpFor(500);
  // The name field has the focus before the program sets any: a start that
  // fails to read the favourites never does.
  const auto focusInNames = [&] { return GetFocus() == combo || IsChild(combo, GetFocus()); };
  check(IsWindowVisible(hwnd) && focusInNames() && events.count("frmPyxtern..Activate") == 1 &&
            events.count("frmPyxtern..Resize") >= 1,
        "shown, the focus in the name field, with one Activate and a Resize");
  checkError(0, "focus on the name field", [&] { platform.setFocus(names); });

  // A DPI change no screen can have, posted by anyone, is not believed.
  PostMessageW(hwnd, WM_DPICHANGED, 0, 0);
  pumpFor(100);
  check(IsWindow(hwnd) && platform.twipsPerPixelX() == 1440 / dpi, "a DPI change to 0 is ignored");

  // A message box closing hands the activation back: not an Activate.
  events.events.clear();
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND box = FindWindowW(L"#32770", L"selftest")) PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  check(platform.messageBox(u"closes itself", mb::OkOnly, u"selftest") == mb::ResultOk, "message box answer");
  pumpFor(500);
  check(events.count("frmPyxtern..Activate") == 0 && focusInNames(),
        "closing a message box is not an activation; the focus is back in the name field");

  // The tray's clicks come as mouse moves, the pointer passing over it as none.
  events.events.clear();
  SendMessageW(hwnd, WM_APP + 1, 1, WM_MOUSEMOVE);
  check(events.events.empty(), "a mouse move over the tray icon raises nothing");

  // Another copy's command line, marked as ours, is raised once its sender has gone on.
  const wchar_t handed[] = L"\"C:\\a b.txt\"";
  for (ULONG_PTR marker : {ULONG_PTR{0x1234}, ULONG_PTR{0x70797868}}) {
    COPYDATASTRUCT data{marker, sizeof handed - sizeof(wchar_t), const_cast<wchar_t*>(handed)};
    check(SendMessageW(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == (marker == 0x70797868),
          "a handover is taken only with its marker");
  }
  check(events.count("frmPyxtern..OtherCopyStarted") == 0, "raised only after the sender has its answer");
  pumpFor(100);
  check(events.count("frmPyxtern..OtherCopyStarted") == 1 && events.last.text == u"\"C:\\a b.txt\"",
        "a handed-over command line");

  // The window hook sees messages first and passes them on.
  int seen = 0;
  const std::intptr_t previous =
      platform.hookWindowProc(platform.formHandle(launcher), [&](auto h, auto m, auto w, auto l) {
        seen += m == WM_APP + 9;
        return platform.callWindowProc(previous, h, m, w, l);
      });
  SendMessageW(hwnd, WM_APP + 9, 0, 0);
  check(seen == 1 && SendMessageW(hwnd, WM_GETFONT, 0, 0), "the hook sees a message and passes others on");
  platform.restoreWindowProc(platform.formHandle(launcher), previous);
  SendMessageW(hwnd, WM_APP + 9, 0, 0);
  check(seen == 1, "no hook after restoring the procedure");

  // A modal window: the launcher, disabled meanwhile, is activated again after.
  events.events.clear();
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND tork = FindWindowW(nullptr, L"登録")) PostMessageW(tork, WM_CLOSE, 0, 0);
  });
  platform.showForm(FormId::frmTork, true);
  pumpFor(500);
  check(!platform.isFormLoaded(FormId::frmTork), "the modal form closed");
  check(IsWindowEnabled(hwnd) && events.count("frmPyxtern..Activate") == 1,
        "the launcher enabled again, coming back from a modal window an activation");
}

void testSettings(Win32Platform& platform, Recorder& events) {
  const FormId settings = FormId::frmSetPgm;
  platform.loadForm(settings);
  HWND hwnd = reinterpret_cast<HWND>(platform.formHandle(settings));
  ControlRef ie{settings, "optType", 0}, explorer{settings, "optType", 1};
  platform.setOptionValue(explorer, true);
  check(!platform.optionValue(ie) && platform.optionValue(explorer), "one option chosen");
  platform.setOptionValue(ie, true);
  check(platform.optionValue(ie) && !platform.optionValue(explorer), "the other option chosen");

  // A key the handler swallows types nothing; a hotkey box takes no character at all.
  HWND hotkey = GetNextDlgTabItem(hwnd, nullptr, FALSE);  // the first hotkey box
  events.events.clear();
  SendMessageW(hotkey, WM_KEYDOWN, 'A', 0);
  check(events.count("frmSetPgm.txtHotKey_Def.KeyDown") == 1 && events.last.index == 0 &&
            events.last.keyCode == 'A',
        "KeyDown with the key code and the array index");
  platform.loadForm(FormId::frmTork);
  HWND plain =
      FindWindowExW(reinterpret_cast<HWND>(platform.formHandle(FormId::frmTork)), nullptr, L"EDIT", nullptr);
  events.swallowKeys = true;
  for (HWND box : {plain, hotkey}) {
    SetWindowTextW(box, L"");
    PostMessageW(box, WM_CHAR, 'a', 0);  // as TranslateMessage queues it before the key-down
    SendMessageW(box, WM_KEYDOWN, 'A', 0);
    pumpFor(100);
    check(plain && windowText(box).empty(),
          box == plain ? "a swallowed key types nothing" : "a hotkey box takes no character");
  }
  platform.unloadForm(FormId::frmTork);

  events.events.clear();
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  check(events.events == std::vector<std::string>{"frmSetPgm..QueryUnload", "frmSetPgm..Unload"},
        "the close box unloads the form");
  check(!platform.isFormLoaded(settings), "unloaded");
}

}  // namespace

int wmain() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // each failure shown even if a later check crashes
  testDllSearch();  // first, as the program restricts the search before anything else
  Recorder events;
  Win32Platform platform(GetModuleHandleW(nullptr));
  platform.setEventSink(&events);
  testSystem(platform);
  testFiles(platform);
  testLauncher(platform, events);
  testSettings(platform, events);
  platform.unloadForm(FormId::frmPyxtern);
  MSG quit;
  check(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), "the last unload ends the message loop");
  std::printf("%d of %d checks passed\n", checks - failures, checks);
  return failures ? 1 : 0;
}
