// A simulated desktop with real state and no display: the program's windows
// exist as control states built from their declarations, files are real files
// in a temporary application directory, and every call the program makes is
// recorded in order. Tests drive it as a user would (type, click, press keys,
// answer dialogs, act inside modal windows) and assert on what was recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "platform/codepage_iconv.h"
#include "platform/placement.h"
#include "platform/platform.h"

namespace pyx {

struct SimCall {
  std::string name;
  std::vector<std::string> args;  // UTF-8
  std::string str() const;        // name(arg, arg, ...)
};

// A recorded call's argument as text.
inline std::string callArg(const Text& text) {
  return toUtf8(text);
}
inline std::string callArg(std::int64_t value) {
  return std::to_string(value);
}

struct SimMessageBox {
  Text prompt;
  std::int32_t flags;
  Text title;
};

class SimDesktop : public Platform {
 public:
  SimDesktop();
  ~SimDesktop() override;

  // ---- Set-up of the machine the program starts on
  void setCommandLine(const Text& arguments) { commandLine_ = arguments; }
  void setPreviousInstance(bool running) { previousInstance_ = running; }
  // 2: NT family, 1: 95/98/Me; std::nullopt: the version query fails.
  void setPlatformId(std::optional<std::int32_t> id) { platformId_ = id; }
  void setExecutableName(const Text& name) { executableName_ = name; }
  // Where Windows is installed; by default where the platform kind puts it.
  void setWindowsDirectory(const Text& directory) { windowsDirectory_ = directory; }
  void setEnvironmentVariable(const Text& name, const Text& value) { environment_[toUpper(name)] = value; }
  // By default one 1280 x 1024 monitor, its task bar 40 pixels high at the bottom.
  void setMonitors(std::vector<Monitor> monitors) { monitors_ = std::move(monitors); }

  // ---- Files of the application directory, by file name
  const std::filesystem::path& directory() const { return directory_; }
  void putFile(const std::string& name, const Bytes& content, std::uint32_t attributes = attr::Archive);
  std::optional<Bytes> fileContent(const std::string& name) const;
  std::uint32_t attributesOf(const std::string& name) const;
  // The next replaceFile fails after writing `bytes` bytes (disk full, 61).
  void failWritesAfter(std::size_t bytes) { diskFullAfter_ = bytes; }
  // Every access to the file fails with error 70 (permission denied).
  void denyAccess(const std::string& name) { denied_.insert(name); }
  // The next call the program makes to the platform function `name` (as
  // recorded) raises run-time error `error`, before it changes anything.
  void failNextCall(std::string name, std::int32_t error) { failNextCall_.emplace(std::move(name), error); }
  // Runs `script` each time the program calls the platform function `name`
  // (as recorded), before the call does anything: another writer changing a
  // file as it is read, a message arriving in the middle of an action.
  void whenCalled(std::string name, std::function<void()> script) {
    callScripts_[std::move(name)] = std::move(script);
  }
  // The program cannot be started (error 53).
  void makeProgramMissing(const Text& program) { missingPrograms_.insert(program); }
  // Another program holds this hotkey combination.
  void takeHotKey(std::uint32_t modifiers, std::uint32_t virtualKey) {
    foreignHotKeys_.insert({modifiers, virtualKey});
  }

  // ---- The user
  void type(ControlRef control, const Text& text);
  void pickListItem(ControlRef control, std::int32_t index);
  void click(ControlRef control);
  void pressKey(std::int16_t virtualKey, std::int16_t shift = 0);
  void closeWindow(FormId form);  // the close box
  void minimize(FormId form);
  void maximize(FormId form);
  void resizeTo(FormId form, std::int32_t widthTwips, std::int32_t heightTwips);
  void switchAway();                           // another program takes the focus
  void activate(FormId form);                  // the user returns to the window
  void rightClick(FormId form);                // on the window's surface
  void trayMouse(std::uint32_t mouseMessage);  // 0x203 double-click, 0x204 right press, ...
  void movePointer(std::int32_t x, std::int32_t y) { pointer_ = {x, y}; }
  // Another copy of the program started on this desktop, with these
  // arguments, handing them to this one as it ends.
  void startOtherCopy(const Text& commandLine);
  void dropFile(FormId form, const Text& path);  // from Explorer onto the form
  // What the launcher's window procedure returned for the hotkey's message.
  std::intptr_t pressHotKey(std::uint32_t modifiers, std::uint32_t virtualKey);
  void chooseMenuItem(std::string_view item);  // while a popup menu is open

  // Answers, queued in order; unanswered message boxes get OK, unanswered
  // file dialogs are cancelled, an unscripted modal window is closed by its
  // close box, an unscripted popup menu is dismissed.
  void answerMessageBox(std::int32_t result) { messageBoxAnswers_.push_back(result); }
  void answerFileDialog(const Text& path) { fileDialogAnswers_.push_back(path); }
  void whenModal(FormId form, std::function<void()> script) {
    modalScripts_[form].push_back(std::move(script));
  }
  void whenPopupMenu(std::function<void()> script) { popupScripts_.push_back(std::move(script)); }

  // ---- What the user sees and what happened
  const std::vector<SimCall>& calls() const { return calls_; }
  std::vector<SimCall> callsTo(std::string_view name) const;
  void clearCalls() { calls_.clear(); }
  // Off for benchmarks, so that they measure the program, not the record.
  void setRecording(bool on) { recording_ = on; }
  const std::vector<SimMessageBox>& messageBoxes() const { return messageBoxes_; }
  std::vector<Text> listItems(ControlRef control) const;
  bool isEnabled(ControlRef control) const;
  std::string focusedControl() const;  // "form.control", or empty
  std::optional<FormId> activeForm() const { return active_; }
  bool trayIconShown() const { return !trayIcons_.empty(); }
  PixelRect formRect(FormId form) const;  // pixels
  bool atomExists(const Text& name) const { return atoms_.count(name) > 0; }
  std::size_t registeredHotKeyCount() const { return hotKeys_.size(); }
  bool programEnded() const;

  // ---- Platform
  void setEventSink(EventSink* sink) override { sink_ = sink; }
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
  std::int32_t twipsPerPixelX() const override { return 15; }
  void bringFormToFront(FormId form) override;
  void moveFormToPointerMonitor(FormId form) override;
  void popupMenu(FormId form, std::string_view menu) override;

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

  std::int32_t messageBox(const Text& prompt, std::int32_t buttonsAndIcon, const Text& title) override;
  Text fileOpenDialog(ControlRef dialog, const FileDialogRequest& request) override;

  Text applicationDirectory() const override;
  Text executableName() const override { return executableName_; }
  Text applicationTitle() const override { return executableName_; }
  Text commandLine() const override;
  bool previousInstance() const override;
  bool handOverToRunningCopy(const Text& commandLine) override;
  std::int32_t platformId() const override;
  Text windowsDirectory() const override;
  Text systemDirectory() const override;
  Text toUpper(const Text& text) const override;
  Text expandEnvironment(const Text& text) const override;

  Bytes toAnsi(const Text& text) const override { return codePage_.toAnsi(text); }
  Text fromAnsi(const Bytes& bytes) const override { return codePage_.fromAnsi(bytes); }

  bool findNormalFile(const Text& path) override;
  std::uint32_t fileAttributes(const Text& path) override;
  void setFileAttributes(const Text& path, std::uint32_t attributes) override;
  Bytes readFile(const Text& path) override;
  void replaceFile(const Text& path, const Bytes& content) override;
  void deleteFile(const Text& path) override;

  std::uint32_t getPrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& defaultValue,
                                        char* buffer, std::uint32_t size, const Text& file) override;
  void writePrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& value,
                                 const Text& file) override;

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

  std::intptr_t shellExecute(std::intptr_t hwnd, const Text& operation, const Text& file,
                             const Text& parameters, const Text& directory,
                             std::int32_t showCommand) override;
  void startProcess(const Text& program, const Text& arguments, const Text& directory,
                    std::int16_t windowStyle) override;

 private:
  struct Control {
    ControlKind kind = ControlKind::Label;
    Text text;
    std::vector<Text> items;
    std::int32_t listIndex = -1;
    bool enabled = true;
    bool visible = true;
    bool value = false;
    std::int16_t tabIndex = -1;
    std::int16_t maxLength = 0;
  };
  struct Form {
    bool loaded = false;
    bool visible = false;
    bool everShown = false;
    bool hiddenWithOwner = false;  // while its owner is minimised
    WindowState state = WindowState::Normal;
    std::int32_t width = 0, height = 0;       // twips
    std::int32_t left = 100, top = 100;       // pixels
    std::map<std::string, Control> controls;  // by "name" or "name(index)"
    std::string defaultButton;
    std::string focus;
  };

  void record(std::string name, std::vector<std::string> args = {});
  void raise(FormId form, std::string_view control, EventKind kind, EventArgs& args);
  void raise(FormId form, std::string_view control, EventKind kind);
  Form& form(FormId id);
  const Form& form(FormId id) const;
  Control& control(ControlRef ref);
  const Control& control(ControlRef ref) const;
  void makeActive(FormId id);
  void deactivate(FormId id);
  void changeState(FormId id, WindowState state);
  std::optional<FormId> formOfHandle(std::intptr_t hwnd) const;
  std::filesystem::path resolve(const Text& path) const;
  std::string nameOf(const std::filesystem::path& file) const;
  void checkAccess(const std::filesystem::path& file) const;
  std::intptr_t deliverMessage(std::intptr_t hwnd, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam);

  IconvCodePage codePage_;
  std::filesystem::path directory_;
  EventSink* sink_ = nullptr;
  Text commandLine_;
  bool previousInstance_ = false;
  std::optional<std::int32_t> platformId_ = 2;
  Text executableName_ = u"pyxtern";
  std::optional<Text> windowsDirectory_;
  std::map<Text, Text> environment_;  // by upper-case name
  std::vector<Monitor> monitors_{{{0, 0, 1280, 1024}, {0, 0, 1280, 984}, 96}};
  struct {
    std::int32_t x = 640, y = 512;
  } pointer_;

  std::map<FormId, Form> forms_;
  std::optional<FormId> active_;
  std::vector<FormId> activationHistory_;
  std::vector<FormId> modalStack_;
  std::optional<FormId> popupOpenOn_;

  std::map<std::string, std::uint32_t> attributes_;
  std::set<std::string> denied_;
  std::optional<std::size_t> diskFullAfter_;
  std::optional<std::pair<std::string, std::int32_t>> failNextCall_;
  std::map<std::string, std::function<void()>, std::less<>> callScripts_;
  bool inCallScript_ = false;
  std::set<Text> missingPrograms_;

  std::map<Text, std::pair<std::uint16_t, int>> atoms_;  // name -> atom, reference count
  std::uint16_t nextAtom_ = 0xC001;
  struct HotKey {
    std::intptr_t hwnd;
    std::int32_t id;
    std::uint32_t modifiers, virtualKey;
  };
  std::vector<HotKey> hotKeys_;
  std::set<std::pair<std::uint32_t, std::uint32_t>> foreignHotKeys_;
  // Window procedures: per window the current procedure; token 0 stands for
  // the window's own procedure.
  std::map<std::intptr_t, std::intptr_t> currentProc_;
  std::map<std::intptr_t, WindowProcHook> hooks_;
  std::intptr_t nextHookToken_ = 0x1000;
  std::map<std::pair<std::intptr_t, std::uint32_t>, TrayRecord> trayIcons_;

  bool recording_ = true;
  std::vector<SimCall> calls_;
  std::vector<SimMessageBox> messageBoxes_;
  std::deque<std::int32_t> messageBoxAnswers_;
  std::deque<Text> fileDialogAnswers_;
  std::map<FormId, std::deque<std::function<void()>>> modalScripts_;
  std::deque<std::function<void()>> popupScripts_;
};

}  // namespace pyx
