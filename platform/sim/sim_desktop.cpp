// The simulated desktop's windows: forms and controls built from their
// declarations, dialogs answered as the test scripted them, and the user's
// actions.
#include "platform/sim/sim_desktop.h"

#include <stdlib.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "forms/forms.h"

namespace pyx {

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kOuterExtraWidth = 120;  // frame of a classic sizeable window, twips
constexpr std::int32_t kOuterExtraHeight = 405;
constexpr std::int16_t kKeyTab = 9;
constexpr std::int16_t kKeyReturn = 13;
constexpr std::int16_t kKeyEscape = 27;

std::string key(std::string_view name, std::int16_t index) {
  std::string k(name);
  if (index >= 0) {
    k += '(';
    k += std::to_string(index);
    k += ')';
  }
  return k;
}

std::string formName(FormId form) {
  return std::string(formDeclaration(form).name);
}

}  // namespace

std::string SimCall::str() const {
  std::string s = name + "(";
  for (std::size_t i = 0; i < args.size(); ++i) s += (i ? ", " : "") + args[i];
  return s + ")";
}

SimDesktop::SimDesktop() : codePage_("CP932") {
  std::string pattern = (fs::temp_directory_path() / "pyxsim-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the application directory");
  directory_ = pattern;
}

SimDesktop::~SimDesktop() {
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void SimDesktop::record(std::string name, std::vector<std::string> args) {
  if (failNextCall_ && failNextCall_->first == name) {
    const std::int32_t error = failNextCall_->second;
    failNextCall_.reset();
    raiseError(error);
  }
  if (auto script = callScripts_.find(name); script != callScripts_.end() && !inCallScript_) {
    inCallScript_ = true;  // what the script does itself sets nothing off
    script->second();
    inCallScript_ = false;
  }
  if (recording_) calls_.push_back({std::move(name), std::move(args)});
}

std::vector<SimCall> SimDesktop::callsTo(std::string_view name) const {
  std::vector<SimCall> found;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(found),
               [&](const SimCall& call) { return call.name == name; });
  return found;
}

void SimDesktop::raise(FormId form, std::string_view control, EventKind kind, EventArgs& args) {
  if (sink_) sink_->raiseEvent(form, control, kind, args);
}

void SimDesktop::raise(FormId form, std::string_view control, EventKind kind) {
  EventArgs args;
  raise(form, control, kind, args);
}

SimDesktop::Form& SimDesktop::form(FormId id) {
  return forms_[id];
}

const SimDesktop::Form& SimDesktop::form(FormId id) const {
  static const Form kUnloaded;
  auto it = forms_.find(id);
  return it == forms_.end() ? kUnloaded : it->second;
}

SimDesktop::Control& SimDesktop::control(ControlRef ref) {
  Form& f = form(ref.form);
  auto it = f.controls.find(key(ref.name, ref.index));
  if (!f.loaded || it == f.controls.end()) {
    throw std::logic_error("no control " + formName(ref.form) + "." + key(ref.name, ref.index));
  }
  return it->second;
}

const SimDesktop::Control& SimDesktop::control(ControlRef ref) const {
  return const_cast<SimDesktop*>(this)->control(ref);
}

// ------------------------------------------------------------------ forms

void SimDesktop::loadForm(FormId id) {
  if (form(id).loaded) return;
  record("loadForm", {formName(id)});
  const FormDecl& decl = formDeclaration(id);
  Form& f = form(id);
  f = Form{};
  f.loaded = true;
  f.width = decl.clientWidth + kOuterExtraWidth;
  f.height = decl.clientHeight + kOuterExtraHeight;
  for (const ControlDecl& c : decl.controls) {
    Control state;
    state.kind = c.kind;
    state.text = Text(c.caption);
    state.tabIndex = c.tabIndex;
    state.maxLength = c.maxLength;
    f.controls[key(c.name, c.index)] = state;
    if (c.isDefault) f.defaultButton = key(c.name, c.index);
  }
  raise(id, "", EventKind::Load);
}

void SimDesktop::showForm(FormId id, bool modal) {
  if (!form(id).loaded) loadForm(id);
  if (!form(id).loaded) return;
  record("showForm", {formName(id), modal ? "modal" : "modeless"});
  Form& f = form(id);
  f.visible = true;
  if (!f.everShown) {
    f.everShown = true;
    raise(id, "", EventKind::Resize);
  }
  makeActive(id);
  if (!modal) return;
  modalStack_.push_back(id);
  auto& scripts = modalScripts_[id];
  if (form(id).loaded && !scripts.empty()) {
    std::function<void()> script = std::move(scripts.front());
    scripts.pop_front();
    script();
  }
  if (form(id).loaded) closeWindow(id);
  modalStack_.pop_back();
}

void SimDesktop::unloadForm(FormId id) {
  if (!form(id).loaded) return;
  record("unloadForm", {formName(id)});
  raise(id, "", EventKind::QueryUnload);
  raise(id, "", EventKind::Unload);
  Form& f = form(id);
  f = Form{};
  std::erase(activationHistory_, id);
  if (active_ == id) {
    active_.reset();
    // Windows hands the activation back to the window that had it before.
    for (auto it = activationHistory_.rbegin(); it != activationHistory_.rend(); ++it) {
      const Form& previous = form(*it);
      if (previous.loaded && previous.visible && previous.state != WindowState::Minimized) {
        makeActive(*it);
        break;
      }
    }
  }
}

void SimDesktop::makeActive(FormId id) {
  const Form& f = form(id);
  if (active_ == id || !f.loaded || !f.visible || f.state == WindowState::Minimized) return;
  active_ = id;
  std::erase(activationHistory_, id);
  activationHistory_.push_back(id);
  raise(id, "", EventKind::Activate);
}

void SimDesktop::deactivate(FormId id) {
  if (active_ == id) active_.reset();
}

bool SimDesktop::isFormLoaded(FormId id) const {
  return form(id).loaded;
}
bool SimDesktop::isFormVisible(FormId id) const {
  return form(id).visible;
}

bool SimDesktop::programEnded() const {
  return std::none_of(forms_.begin(), forms_.end(), [](const auto& f) { return f.second.loaded; });
}

void SimDesktop::setFormVisible(FormId id, bool visible) {
  record("setFormVisible", {formName(id), visible ? "true" : "false"});
  if (!form(id).loaded && visible) loadForm(id);
  form(id).visible = visible;
  form(id).hiddenWithOwner = false;
  if (!visible) deactivate(id);
}

WindowState SimDesktop::formWindowState(FormId id) const {
  return form(id).state;
}

void SimDesktop::setFormWindowState(FormId id, WindowState state) {
  record("setFormWindowState", {formName(id), callArg(static_cast<int>(state))});
  if (form(id).state != state) changeState(id, state);
}

void SimDesktop::changeState(FormId id, WindowState state) {
  Form& f = form(id);
  const bool wasMinimized = f.state == WindowState::Minimized;
  f.state = state;
  if (state == WindowState::Minimized) deactivate(id);
  // Windows hides the windows a window owns while it is minimised and shows
  // them again when it is restored; the launcher owns the other two.
  if (id == FormId::frmPyxtern && wasMinimized != (state == WindowState::Minimized)) {
    for (auto& [ownedId, owned] : forms_) {
      if (ownedId == id || !owned.loaded) continue;
      if (!wasMinimized && owned.visible) {
        owned.visible = false;
        owned.hiddenWithOwner = true;
        deactivate(ownedId);
      } else if (wasMinimized && owned.hiddenWithOwner) {
        owned.visible = true;
        owned.hiddenWithOwner = false;
      }
    }
  }
  raise(id, "", EventKind::Resize);
}

std::int32_t SimDesktop::formWidth(FormId id) const {
  return form(id).width;
}
std::int32_t SimDesktop::formHeight(FormId id) const {
  return form(id).height;
}

void SimDesktop::setFormWidth(FormId id, std::int32_t twips) {
  record("setFormWidth", {formName(id), callArg(twips)});
  if (std::exchange(form(id).width, twips) != twips) raise(id, "", EventKind::Resize);
}

void SimDesktop::setFormHeight(FormId id, std::int32_t twips) {
  record("setFormHeight", {formName(id), callArg(twips)});
  if (std::exchange(form(id).height, twips) != twips) raise(id, "", EventKind::Resize);
}

std::intptr_t SimDesktop::formHandle(FormId id) const {
  return form(id).loaded ? 0x100 + 0x10 * static_cast<std::intptr_t>(id) : 0;
}

std::intptr_t SimDesktop::formIconHandle(FormId id) const {
  return form(id).loaded ? 0x900 + static_cast<std::intptr_t>(id) : 0;
}

std::optional<FormId> SimDesktop::formOfHandle(std::intptr_t hwnd) const {
  for (FormId id : {FormId::frmPyxtern, FormId::frmTork, FormId::frmSetPgm}) {
    if (form(id).loaded && formHandle(id) == hwnd) return id;
  }
  return std::nullopt;
}

void SimDesktop::bringFormToFront(FormId id) {
  record("bringFormToFront", {formName(id)});
  Form& f = form(id);
  if (!f.loaded || !f.visible) return;
  if (f.state == WindowState::Minimized) changeState(id, WindowState::Normal);
  makeActive(id);
}

PixelRect SimDesktop::formRect(FormId id) const {
  const Form& f = form(id);
  return {f.left, f.top, f.left + f.width / twipsPerPixelX(), f.top + f.height / twipsPerPixelX()};
}

void SimDesktop::moveFormToPointerMonitor(FormId id) {
  record("moveFormToPointerMonitor", {formName(id)});
  const PixelRect placed = placeOnPointerMonitor(formRect(id), pointer_.x, pointer_.y, monitors_);
  form(id).left = placed.left;
  form(id).top = placed.top;
}

void SimDesktop::popupMenu(FormId id, std::string_view menu) {
  record("popupMenu", {formName(id), std::string(menu)});
  popupOpenOn_ = id;
  if (!popupScripts_.empty()) {
    std::function<void()> script = std::move(popupScripts_.front());
    popupScripts_.pop_front();
    script();
  }
  popupOpenOn_.reset();
}

// ------------------------------------------------------------------ controls

Text SimDesktop::controlText(ControlRef ref) const {
  return control(ref).text;
}

void SimDesktop::setControlText(ControlRef ref, const Text& text) {
  record("setControlText", {formName(ref.form) + "." + key(ref.name, ref.index), callArg(text)});
  Control& c = control(ref);
  if (c.text == text) return;
  c.text = text;
  EventArgs args;
  args.index = ref.index;
  raise(ref.form, ref.name, EventKind::Change, args);
}

void SimDesktop::setListItems(ControlRef ref, const std::vector<TextView>& items) {
  record("setListItems", {formName(ref.form) + "." + key(ref.name, ref.index),
                          callArg(static_cast<std::int64_t>(items.size()))});
  Control& c = control(ref);
  c.items.assign(items.begin(), items.end());
  c.listIndex = -1;
  if (c.kind == ControlKind::ComboBox) c.text.clear();
}

std::int32_t SimDesktop::listIndex(ControlRef ref) const {
  return control(ref).listIndex;
}

std::vector<Text> SimDesktop::listItems(ControlRef ref) const {
  return control(ref).items;
}

bool SimDesktop::isEnabled(ControlRef ref) const {
  return control(ref).enabled;
}

void SimDesktop::setFocus(ControlRef ref) {
  record("setFocus", {formName(ref.form) + "." + key(ref.name, ref.index)});
  Form& f = form(ref.form);
  Control& c = control(ref);
  if (!f.visible || f.state == WindowState::Minimized || !c.enabled || !c.visible) {
    raiseError(ErrInvalidProcedureCall);
  }
  f.focus = key(ref.name, ref.index);
}

std::string SimDesktop::focusedControl() const {
  if (!active_) return "";
  const Form& f = form(*active_);
  return f.focus.empty() ? "" : formName(*active_) + "." + f.focus;
}

void SimDesktop::setEnabled(ControlRef ref, bool enabled) {
  record("setEnabled", {formName(ref.form) + "." + key(ref.name, ref.index), enabled ? "true" : "false"});
  control(ref).enabled = enabled;
}

void SimDesktop::setDefaultButton(ControlRef ref) {
  record("setDefaultButton", {formName(ref.form) + "." + key(ref.name, ref.index)});
  control(ref);
  form(ref.form).defaultButton = key(ref.name, ref.index);
}

void SimDesktop::setTabIndex(ControlRef ref, std::int16_t tabIndex) {
  record("setTabIndex", {formName(ref.form) + "." + key(ref.name, ref.index), callArg(tabIndex)});
  control(ref).tabIndex = tabIndex;
}

void SimDesktop::setMenuVisible(ControlRef ref, bool visible) {
  record("setMenuVisible", {formName(ref.form) + "." + key(ref.name, ref.index), visible ? "true" : "false"});
  control(ref).visible = visible;
}

bool SimDesktop::optionValue(ControlRef ref) const {
  return control(ref).value;
}

void SimDesktop::setOptionValue(ControlRef ref, bool selected) {
  record("setOptionValue",
         {formName(ref.form) + "." + key(ref.name, ref.index), selected ? "true" : "false"});
  Control& c = control(ref);
  if (selected) {
    // Option buttons of one group (one control array) exclude each other.
    for (auto& [name, other] : form(ref.form).controls) {
      if (name.rfind(std::string(ref.name) + "(", 0) == 0) other.value = false;
    }
  }
  c.value = selected;
}

// ------------------------------------------------------------------ dialogs

std::int32_t SimDesktop::messageBox(const Text& prompt, std::int32_t buttonsAndIcon, const Text& title) {
  record("messageBox", {callArg(prompt), callArg(buttonsAndIcon), callArg(title)});
  messageBoxes_.push_back({prompt, buttonsAndIcon, title});
  if (messageBoxAnswers_.empty()) return mb::ResultOk;
  std::int32_t answer = messageBoxAnswers_.front();
  messageBoxAnswers_.pop_front();
  return answer;
}

Text SimDesktop::fileOpenDialog(ControlRef dialog, const FileDialogRequest& request) {
  record("fileOpenDialog", {formName(dialog.form) + "." + key(dialog.name, dialog.index),
                            callArg(request.filter), callArg(request.filterIndex), callArg(request.flags)});
  if (fileDialogAnswers_.empty()) return Text();
  Text answer = fileDialogAnswers_.front();
  fileDialogAnswers_.pop_front();
  return answer;
}

// ------------------------------------------------------------------ the user

void SimDesktop::type(ControlRef ref, const Text& text) {
  makeActive(ref.form);
  Control& c = control(ref);
  if (!c.enabled) throw std::logic_error("typing into a disabled control");
  form(ref.form).focus = key(ref.name, ref.index);
  if (c.kind == ControlKind::ComboBox) c.listIndex = -1;
  // A limited box takes no more characters than its limit.
  Text typed = c.maxLength > 0 ? text.substr(0, static_cast<std::size_t>(c.maxLength)) : text;
  if (c.text == typed) return;
  c.text = typed;
  EventArgs args;
  args.index = ref.index;
  raise(ref.form, ref.name, EventKind::Change, args);
}

void SimDesktop::pickListItem(ControlRef ref, std::int32_t index) {
  makeActive(ref.form);
  Control& c = control(ref);
  if (!c.enabled || index < 0 || static_cast<std::size_t>(index) >= c.items.size()) {
    throw std::logic_error("no such list item to pick");
  }
  c.listIndex = index;
  if (c.kind == ControlKind::ComboBox) c.text = c.items[static_cast<std::size_t>(index)];
  form(ref.form).focus = key(ref.name, ref.index);
  EventArgs args;
  args.index = ref.index;
  raise(ref.form, ref.name, EventKind::Click, args);
}

void SimDesktop::click(ControlRef ref) {
  if (!modalStack_.empty() && modalStack_.back() != ref.form)
    throw std::logic_error("window blocked by a modal one");
  makeActive(ref.form);
  Control& c = control(ref);
  if (!c.enabled || !c.visible) return;
  if (c.kind == ControlKind::OptionButton) setOptionValue(ref, true);
  if (c.kind == ControlKind::Button || c.kind == ControlKind::TextBox || c.kind == ControlKind::OptionButton)
    form(ref.form).focus = key(ref.name, ref.index);
  EventArgs args;
  args.index = ref.index;
  raise(ref.form, ref.name, EventKind::Click, args);
}

void SimDesktop::pressKey(std::int16_t virtualKey, std::int16_t shift) {
  if (!active_) return;
  FormId id = *active_;
  Form& f = form(id);
  auto focused = f.controls.find(f.focus);
  if (virtualKey == kKeyTab) {
    // Next (Shift: previous) control with a tab stop, in tab order.
    std::vector<std::pair<std::int16_t, std::string>> order;
    for (const auto& [name, c] : f.controls) {
      if (c.tabIndex >= 0 && c.enabled && c.visible) order.emplace_back(c.tabIndex, name);
    }
    if (order.empty()) return;
    std::sort(order.begin(), order.end());
    auto here = std::find_if(order.begin(), order.end(), [&](const auto& o) { return o.second == f.focus; });
    std::size_t at = here == order.end() ? order.size() - 1 : static_cast<std::size_t>(here - order.begin());
    at = (shift & 1) ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    f.focus = order[at].second;
    return;
  }
  if (virtualKey == kKeyEscape) return;  // no control answers Escape
  if (virtualKey == kKeyReturn) {
    std::string target;
    if (focused != f.controls.end() && focused->second.kind == ControlKind::Button) {
      target = f.focus;
    } else {
      target = f.defaultButton;
    }
    auto button = f.controls.find(target);
    EventArgs args;
    args.shift = shift;  // Ctrl+Shift+Enter is not Enter
    if (button != f.controls.end() && button->second.enabled) raise(id, target, EventKind::Click, args);
    if (!target.empty()) return;
  }
  if (focused == f.controls.end()) return;
  std::string name = focused->first;
  EventArgs args;
  args.keyCode = virtualKey;
  args.shift = shift;
  std::size_t paren = name.find('(');
  if (paren != std::string::npos) {
    args.index = static_cast<std::int16_t>(std::stoi(name.substr(paren + 1)));
    name.resize(paren);
  }
  raise(id, name, EventKind::KeyDown, args);
}

void SimDesktop::closeWindow(FormId id) {
  unloadForm(id);
}

void SimDesktop::minimize(FormId id) {
  if (form(id).state != WindowState::Minimized) changeState(id, WindowState::Minimized);
}

void SimDesktop::maximize(FormId id) {
  if (form(id).state != WindowState::Maximized) changeState(id, WindowState::Maximized);
}

void SimDesktop::resizeTo(FormId id, std::int32_t widthTwips, std::int32_t heightTwips) {
  Form& f = form(id);
  f.width = widthTwips;
  f.height = heightTwips;
  raise(id, "", EventKind::Resize);
}

void SimDesktop::switchAway() {
  active_.reset();
}

void SimDesktop::activate(FormId id) {
  makeActive(id);
}

void SimDesktop::rightClick(FormId id) {
  EventArgs args;
  args.button = 2;
  raise(id, "", EventKind::MouseDown, args);
}

void SimDesktop::trayMouse(std::uint32_t mouseMessage) {
  if (trayIcons_.empty()) throw std::logic_error("no tray icon to click");
  const TrayRecord& icon = trayIcons_.begin()->second;
  deliverMessage(icon.hWnd, icon.uCallbackMessage, icon.uID, static_cast<std::intptr_t>(mouseMessage));
}

std::intptr_t SimDesktop::pressHotKey(std::uint32_t modifiers, std::uint32_t virtualKey) {
  for (const HotKey& h : hotKeys_) {
    if (h.modifiers == modifiers && h.virtualKey == virtualKey) {
      return deliverMessage(h.hwnd, 0x312, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(h.id)),
                            static_cast<std::intptr_t>(modifiers | (virtualKey << 16)));
    }
  }
  return 0;
}

void SimDesktop::startOtherCopy(const Text& commandLine) {
  EventArgs args;
  args.text = commandLine;
  raise(FormId::frmPyxtern, "", EventKind::OtherCopyStarted, args);
}

void SimDesktop::dropFile(FormId id, const Text& path) {
  EventArgs args;
  args.text = path;
  raise(id, "", EventKind::FileDropped, args);
}

void SimDesktop::chooseMenuItem(std::string_view item) {
  if (!popupOpenOn_) throw std::logic_error("no popup menu is open");
  raise(*popupOpenOn_, item, EventKind::Click);
}

}  // namespace pyx
