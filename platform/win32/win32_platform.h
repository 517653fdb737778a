// The Windows desktop: real windows built from the form declarations, the
// dialog manager's keyboard handling, the file system, profile strings, the
// tray and process start, all through the Unicode API.
#pragma once

#include <windows.h>

// after windows.h, which it builds on
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "forms/forms.h"
#include "platform/platform.h"

namespace pyx {

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // Runs the message loop until the last form has been unloaded.
  void runMessageLoop();

  void setEventSink(EventSink* sink) override { sink_ = sink; }

  // --- Forms ---
  void loadForm(FormId form) override;
  void showForm(FormId form, bool modal) override;
  void unloadForm(FormId form) override;
  bool isFormLoaded(FormId form) const override;
  bool isFormVisible(FormId form) const override;
  void setFormVisible(FormId form, bool visible) override;
  WindowState formWindowState(FormId form) const override;
  void setFormWindowState(FormId form, WindowState state) override;
  std::int32_t formWidth(FormId form) const override;
  std::int32_t formHeight(FormId form) const override;
  void setFormWidth(FormId form, std::int32_t twips) override;
  void setFormHeight(FormId form, std::int32_t twips) override;
  std::intptr_t formHandle(FormId form) const override;
  std::intptr_t formIconHandle(FormId form) const override;
  std::int32_t twipsPerPixelX() const override;
  void bringFormToFront(FormId form) override;
  void moveFormToPointerMonitor(FormId form) override;
  void popupMenu(FormId form, std::string_view menu) override;

  // --- Controls ---
  Text controlText(ControlRef control) const override;
  void setControlText(ControlRef control, const Text& text) override;
  void setListItems(ControlRef control, const std::vector<TextView>& items) override;
  std::int32_t listIndex(ControlRef control) const override;
  void setFocus(ControlRef control) override;
  void setEnabled(ControlRef control, bool enabled) override;
  void setDefaultButton(ControlRef button) override;
  void setTabIndex(ControlRef control, std::int16_t tabIndex) override;
  void setMenuVisible(ControlRef menu, bool visible) override;
  bool optionValue(ControlRef option) const override;
  void setOptionValue(ControlRef option, bool selected) override;

  // --- Dialogs ---
  std::int32_t messageBox(const Text& prompt, std::int32_t buttonsAndIcon, const Text& title) override;
  Text fileOpenDialog(ControlRef dialog, const FileDialogRequest& request) override;

  // --- Program and system ---
  Text applicationDirectory() const override;
  Text executableName() const override;
  Text applicationTitle() const override;
  Text commandLine() const override;
  bool previousInstance() const override { return previousInstance_; }
  bool handOverToRunningCopy(const Text& commandLine) override;
  std::int32_t platformId() const override;
  Text windowsDirectory() const override;
  Text systemDirectory() const override;
  Text toUpper(const Text& text) const override;
  Text expandEnvironment(const Text& text) const override;

  // --- Code page ---
  Bytes toAnsi(const Text& text) const override;
  Text fromAnsi(const Bytes& bytes) const override;

  // --- Files ---
  bool findNormalFile(const Text& path) override;
  std::uint32_t fileAttributes(const Text& path) override;
  void setFileAttributes(const Text& path, std::uint32_t attributes) override;
  Bytes readFile(const Text& path) override;
  void replaceFile(const Text& path, const Bytes& content) override;
  void deleteFile(const Text& path) override;

  // --- Profile strings ---
  std::uint32_t getPrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& defaultValue,
                                        char* buffer, std::uint32_t size, const Text& file) override;
  void writePrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& value,
                                 const Text& file) override;

  // --- Atoms, hotkeys, the window hook, the tray ---
  std::uint16_t globalAddAtom(const Text& name) override;
  void globalDeleteAtom(std::uint16_t atom) override;
  bool registerHotKey(std::intptr_t hwnd, std::int32_t id, std::uint32_t modifiers,
                      std::uint32_t virtualKey) override;
  bool unregisterHotKey(std::intptr_t hwnd, std::int32_t id) override;
  std::intptr_t hookWindowProc(std::intptr_t hwnd, WindowProcHook hook) override;
  void restoreWindowProc(std::intptr_t hwnd, std::intptr_t previous) override;
  std::intptr_t callWindowProc(std::intptr_t previous, std::intptr_t hwnd, std::uint32_t message,
                               std::uintptr_t wParam, std::intptr_t lParam) override;
  bool shellNotifyIcon(std::uint32_t operation, const TrayRecord& record) override;

  // --- Starting things ---
  std::intptr_t shellExecute(std::intptr_t hwnd, const Text& operation, const Text& file,
                             const Text& parameters, const Text& directory,
                             std::int32_t showCommand) override;
  void startProcess(const Text& program, const Text& arguments, const Text& directory,
                    std::int16_t windowStyle) override;

 private:
  struct Control {
    const ControlDecl* decl;
    HWND hwnd = nullptr;   // none for menus and file dialogs
    UINT id = 0;           // command identifier; menu items are chosen by it too
    HMENU menu = nullptr;  // the popup of a menu that holds items
    // What a list shows, one hash per item; the text is the control's.
    mutable std::vector<std::uint64_t> itemHashes{};
  };

  struct Form {
    Win32Platform* platform;
    FormId id;
    const FormDecl* decl;
    HWND hwnd = nullptr;
    UINT dpi = 96;
    HFONT font = nullptr;
    std::vector<Control> controls;      // declaration order; control i has id kFirstControlId + i
    std::vector<std::size_t> tabOrder;  // indexes into controls, first stop first
    UINT defaultId = 0;
    bool loadRaised = false;
    bool shown = false;  // centred on its first show
    bool unloading = false;
    bool activatePending = false;
    bool minimized = false;
    unsigned resizeCount = 0;
  };

  // A modal show in progress: the forms it disabled, to be enabled again.
  struct ModalShow {
    FormId form;
    std::vector<HWND> disabled;
    HWND previousActive;
  };

  // --- forms (win32_forms.cpp) ---
  static LRESULT CALLBACK formProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK textBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data);
  LRESULT handleFormMessage(Form& form, UINT message, WPARAM wParam, LPARAM lParam);
  void registerFormClasses();
  void createControls(Form& form);
  void buildMenus(Form& form);
  void applyFont(Form& form);
  void layout(Form& form);
  SIZE frameSize(const Form& form) const;
  SIZE clientSize(const Form& form) const;
  void setClientSize(Form& form, int width, int height);
  void sizeToDeclaration(Form& form);
  void showWindow(Form& form, int command);
  void applyTabOrder(Form& form);
  void updateOptionTabStops(Form& form);
  void onCommand(Form& form, UINT id, UINT code);
  void queueActivate(Form& form);
  void raiseActivate(FormId id);
  void forgetForm(FormId id);
  void enableAfterModal(ModalShow& show);
  bool isTransient(HWND previous) const;
  void pump(MSG& message);
  HWND dialogOwner() const;
  // Raises an event; an error the handler did not trap is shown, not thrown
  // through the window procedure.
  void raise(FormId form, std::string_view control, EventKind kind, EventArgs& args);

  Form* find(FormId id) const { return forms_[static_cast<std::size_t>(id)].get(); }
  Form& loaded(FormId id) const;
  Form* formOfWindow(HWND hwnd) const;
  const Control* findControl(const Form& form, std::string_view name, std::int16_t index) const;
  const Control& control(ControlRef ref) const;
  const Control& window(ControlRef ref) const;  // a control that has a window

  // --- what reaches the program from outside (win32_handover.cpp) ---
  LRESULT onCopyData(Form& form, const COPYDATASTRUCT* data);
  void raiseHandovers(Form& form);
  void onDropFiles(Form& form, HDROP drop);

  // --- the tray (win32_system.cpp) ---
  bool addTrayIcon();

  static constexpr wchar_t kFormClass[] = L"pyxtern.Form";  // the launcher's
  static constexpr wchar_t kDialogClass[] = L"pyxtern.Dialog";
  static constexpr UINT kHandoverMessage = WM_APP + 4;

  HINSTANCE instance_;
  EventSink* sink_ = nullptr;
  std::array<std::unique_ptr<Form>, 3> forms_;
  std::vector<ModalShow> modal_;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HANDLE instanceMutex_ = nullptr;
  bool previousInstance_ = false;
  std::vector<Text> handovers_;  // command lines of other copies, raised once their senders have gone on

  // Our own message boxes and file dialogs: closing one gives activation back
  // to a form, which is not an activation of the user's.
  int transientDepth_ = 0;
  std::vector<HWND> transientWindows_;

  UINT taskbarCreated_ = 0;
  NOTIFYICONDATAW tray_{};
  bool trayShown_ = false;
};

namespace win32 {

// Keeps the DLLs the system loads on the program's behalf (the file dialog,
// the shell, the input method, themes) to the system folder: the program is
// unpacked wherever the user likes, and a DLL of a system name waiting in its
// folder or the current one must never be loaded. Called first thing.
void restrictDllSearch();

}  // namespace win32

}  // namespace pyx
