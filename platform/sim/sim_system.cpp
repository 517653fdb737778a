// The simulated desktop's machine: real files in the application directory,
// profile strings through our INI engine, system facts, atoms, hotkeys,
// window procedures, the tray and process starts, each call recorded.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "forms/forms.h"
#include "platform/ini/ini_engine.h"
#include "platform/sim/sim_desktop.h"

namespace pyx {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kMouseMove = 0x200;

// Window procedures are tokens; this one stands for the window's own.
std::intptr_t ownProcedureToken(std::intptr_t hwnd) {
  return 0x70000 + hwnd;
}

Bytes readWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  Bytes content;
  content.resize_and_overwrite(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)),
                               [&](char* out, std::size_t size) {
                                 in.seekg(0);
                                 in.read(out, static_cast<std::streamsize>(size));
                                 return static_cast<std::size_t>(in.gcount());
                               });
  return content;
}

}  // namespace

// ------------------------------------------------------------------ files

void SimDesktop::putFile(const std::string& name, const Bytes& content, std::uint32_t attributes) {
  fs::path file = directory_ / name;
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
  attributes_[file.string()] = attributes;
}

std::optional<Bytes> SimDesktop::fileContent(const std::string& name) const {
  fs::path file = directory_ / name;
  if (!fs::is_regular_file(file)) return std::nullopt;
  return readWhole(file);
}

std::uint32_t SimDesktop::attributesOf(const std::string& name) const {
  auto it = attributes_.find((directory_ / name).string());
  return it == attributes_.end() ? attr::Archive : it->second;
}

fs::path SimDesktop::resolve(const Text& path) const {
  std::string p = toUtf8(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  return fs::path(p).lexically_normal();
}

void SimDesktop::checkAccess(const fs::path& file) const {
  if (denied_.count(file.filename().string()) && file.parent_path() == directory_)
    raiseError(ErrPermissionDenied);
}

bool SimDesktop::findNormalFile(const Text& path) {
  record("findNormalFile", {callArg(path)});
  fs::path file = resolve(path);
  if (!fs::is_regular_file(file)) return false;
  return (fileAttributes(path) & (attr::Hidden | attr::System)) == 0;
}

std::uint32_t SimDesktop::fileAttributes(const Text& path) {
  fs::path file = resolve(path);
  if (!fs::exists(file)) raiseError(ErrFileNotFound);
  if (fs::is_directory(file)) return attr::Directory;
  auto it = attributes_.find(file.string());
  return it == attributes_.end() ? attr::Archive : it->second;
}

void SimDesktop::setFileAttributes(const Text& path, std::uint32_t attributes) {
  record("setFileAttributes", {callArg(path), callArg(attributes)});
  fs::path file = resolve(path);
  if (!fs::exists(file)) raiseError(ErrFileNotFound);
  attributes_[file.string()] = attributes;
}

Bytes SimDesktop::readFile(const Text& path) {
  record("readFile", {callArg(path)});
  fs::path file = resolve(path);
  checkAccess(file);
  if (!fs::exists(file)) raiseError(ErrFileNotFound);
  if (!fs::is_regular_file(file)) raiseError(ErrPathFileAccess);
  return readWhole(file);
}

// Writes a temporary file beside the target and renames it over the target,
// so the target is either the old file or the new one, never a mixture.
static void writeAtomically(const fs::path& file, const Bytes& content,
                            std::optional<std::size_t>& diskFullAfter,
                            std::map<std::string, std::uint32_t>& attributes) {
  if (!fs::is_directory(file.parent_path())) raiseError(ErrPathNotFound);
  auto existing = attributes.find(file.string());
  if (fs::exists(file) && existing != attributes.end() && (existing->second & attr::ReadOnly)) {
    raiseError(ErrPathFileAccess);
  }
  const fs::path temporary = fs::path(toUtf8(temporaryFileFor(fromUtf8(file.string()))));
  std::size_t writable = diskFullAfter ? std::min(*diskFullAfter, content.size()) : content.size();
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(writable));
  }
  if (writable < content.size()) {
    diskFullAfter.reset();
    fs::remove(temporary);
    raiseError(ErrDiskFull);
  }
  fs::rename(temporary, file);
  attributes[file.string()] = attr::Archive;
}

void SimDesktop::replaceFile(const Text& path, const Bytes& content) {
  record("replaceFile", {callArg(path), callArg(static_cast<std::int64_t>(content.size()))});
  fs::path file = resolve(path);
  checkAccess(file);
  writeAtomically(file, content, diskFullAfter_, attributes_);
}

void SimDesktop::deleteFile(const Text& path) {
  record("deleteFile", {callArg(path)});
  fs::path file = resolve(path);
  checkAccess(file);
  if (!fs::is_regular_file(file)) raiseError(ErrFileNotFound);
  auto it = attributes_.find(file.string());
  if (it != attributes_.end() && (it->second & attr::ReadOnly)) raiseError(ErrPathFileAccess);
  fs::remove(file);
  attributes_.erase(file.string());
}

std::uint32_t SimDesktop::getPrivateProfileString(const Bytes& section, const Bytes& key,
                                                  const Bytes& defaultValue, char* buffer, std::uint32_t size,
                                                  const Text& file) {
  record("getPrivateProfileString", {callArg(fromAnsi(section)), callArg(fromAnsi(key)),
                                     callArg(fromAnsi(defaultValue)), callArg(size), callArg(file)});
  fs::path path = resolve(file);
  std::optional<Bytes> content;
  if (fs::is_regular_file(path) && !denied_.count(path.filename().string())) {
    content = readWhole(path);
  }
  return ini::getProfileString(content, section, key, defaultValue, buffer, size, ini::isCp932LeadByte);
}

void SimDesktop::writePrivateProfileString(const Bytes& section, const Bytes& key, const Bytes& value,
                                           const Text& file) {
  record("writePrivateProfileString",
         {callArg(fromAnsi(section)), callArg(fromAnsi(key)), callArg(fromAnsi(value)), callArg(file)});
  fs::path path = resolve(file);
  checkAccess(path);
  std::optional<Bytes> content;
  if (fs::is_regular_file(path)) {
    content = readWhole(path);
  }
  writeAtomically(path, ini::writeProfileString(content, section, key, value, ini::isCp932LeadByte),
                  diskFullAfter_, attributes_);
}

// ------------------------------------------------------------------ system

Text SimDesktop::applicationDirectory() const {
  return fromUtf8(directory_.string());
}

Text SimDesktop::commandLine() const {
  const_cast<SimDesktop*>(this)->record("commandLine");
  return commandLine_;
}

bool SimDesktop::previousInstance() const {
  const_cast<SimDesktop*>(this)->record("previousInstance");
  return previousInstance_;
}

bool SimDesktop::handOverToRunningCopy(const Text& commandLine) {
  record("handOverToRunningCopy", {callArg(commandLine)});
  return previousInstance_;
}

Text SimDesktop::expandEnvironment(const Text& text) const {
  // As the system does: names ignore case, an undefined one and a lone "%"
  // stay as written.
  Text expanded;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t open = text.find(u'%', at),
                      close = open == Text::npos ? open : text.find(u'%', open + 1);
    if (close == Text::npos) {
      expanded.append(text, at);
      break;
    }
    expanded.append(text, at, open - at);
    auto value = environment_.find(toUpper(text.substr(open + 1, close - open - 1)));
    if (value == environment_.end()) {
      expanded.append(text, open, close - open);
      at = close;  // that "%" may open a name
    } else {
      expanded += value->second;
      at = close + 1;
    }
  }
  return expanded;
}

std::int32_t SimDesktop::platformId() const {
  const_cast<SimDesktop*>(this)->record("platformId");
  if (!platformId_) raiseError(ErrInvalidProcedureCall);
  return *platformId_;
}

Text SimDesktop::windowsDirectory() const {
  if (windowsDirectory_) return *windowsDirectory_;
  return platformId_ == 2 ? u"C:\\WINNT" : u"C:\\WINDOWS";
}

Text SimDesktop::systemDirectory() const {
  if (windowsDirectory_) return *windowsDirectory_ + (platformId_ == 2 ? u"\\system32" : u"\\SYSTEM");
  return platformId_ == 2 ? u"C:\\WINNT\\system32" : u"C:\\WINDOWS\\SYSTEM";
}

Text SimDesktop::toUpper(const Text& text) const {
  Text upper = text;
  for (char16_t& c : upper) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
      c = static_cast<char16_t>(c - 0x20);
    } else if (c >= 0xFF41 && c <= 0xFF5A) {  // full-width Latin
      c = static_cast<char16_t>(c - 0x20);
    } else if (c >= 0x450 && c <= 0x45F) {
      c = static_cast<char16_t>(c - 0x50);
    }
  }
  return upper;
}

// ------------------------------------------------------------------ atoms, hotkeys, hook, tray

std::uint16_t SimDesktop::globalAddAtom(const Text& name) {
  record("globalAddAtom", {callArg(name)});
  auto [it, added] = atoms_.try_emplace(name, nextAtom_, 0);
  if (added) ++nextAtom_;
  ++it->second.second;
  return it->second.first;
}

void SimDesktop::globalDeleteAtom(std::uint16_t atom) {
  record("globalDeleteAtom", {callArg(atom)});
  for (auto it = atoms_.begin(); it != atoms_.end(); ++it) {
    if (it->second.first == atom) {
      if (--it->second.second == 0) atoms_.erase(it);
      return;
    }
  }
}

bool SimDesktop::registerHotKey(std::intptr_t hwnd, std::int32_t id, std::uint32_t modifiers,
                                std::uint32_t virtualKey) {
  record("registerHotKey", {callArg(hwnd), callArg(id), callArg(modifiers), callArg(virtualKey)});
  if (foreignHotKeys_.count({modifiers, virtualKey})) return false;
  for (const HotKey& h : hotKeys_) {
    if ((h.modifiers == modifiers && h.virtualKey == virtualKey) || (h.hwnd == hwnd && h.id == id))
      return false;
  }
  hotKeys_.push_back({hwnd, id, modifiers, virtualKey});
  return true;
}

bool SimDesktop::unregisterHotKey(std::intptr_t hwnd, std::int32_t id) {
  record("unregisterHotKey", {callArg(hwnd), callArg(id)});
  auto removed = std::erase_if(hotKeys_, [&](const HotKey& h) { return h.hwnd == hwnd && h.id == id; });
  return removed > 0;
}

std::intptr_t SimDesktop::hookWindowProc(std::intptr_t hwnd, WindowProcHook hook) {
  record("hookWindowProc", {callArg(hwnd)});
  auto current = currentProc_.try_emplace(hwnd, ownProcedureToken(hwnd)).first;
  std::intptr_t previous = current->second;
  std::intptr_t token = nextHookToken_++;
  hooks_[token] = std::move(hook);
  current->second = token;
  return previous;
}

void SimDesktop::restoreWindowProc(std::intptr_t hwnd, std::intptr_t previous) {
  record("restoreWindowProc", {callArg(hwnd), callArg(previous)});
  currentProc_[hwnd] = previous;
}

std::intptr_t SimDesktop::callWindowProc(std::intptr_t previous, std::intptr_t hwnd, std::uint32_t message,
                                         std::uintptr_t wParam, std::intptr_t lParam) {
  record("callWindowProc",
         {callArg(previous), callArg(hwnd), callArg(message), callArg(static_cast<std::int64_t>(wParam))});
  auto hook = hooks_.find(previous);
  if (hook != hooks_.end()) return hook->second(hwnd, message, wParam, lParam);
  // The window's own procedure: a mouse move becomes the form's MouseMove
  // event with the position in twips; everything else needs no reaction.
  std::optional<FormId> id = formOfHandle(hwnd);
  if (id && message == kMouseMove) {
    EventArgs args;
    args.x = static_cast<float>((lParam & 0xFFFF) * twipsPerPixelX());
    args.y = static_cast<float>(((lParam >> 16) & 0xFFFF) * twipsPerPixelX());
    raise(*id, "", EventKind::MouseMove, args);
  }
  return 0;
}

std::intptr_t SimDesktop::deliverMessage(std::intptr_t hwnd, std::uint32_t message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  auto current = currentProc_.find(hwnd);
  std::intptr_t procedure = current == currentProc_.end() ? ownProcedureToken(hwnd) : current->second;
  auto hook = hooks_.find(procedure);
  if (hook != hooks_.end()) return hook->second(hwnd, message, wParam, lParam);
  return callWindowProc(procedure, hwnd, message, wParam, lParam);
}

bool SimDesktop::shellNotifyIcon(std::uint32_t operation, const TrayRecord& r) {
  record("shellNotifyIcon",
         {callArg(operation), callArg(r.cbSize), callArg(r.hWnd), callArg(r.uID), callArg(r.uFlags),
          callArg(r.uCallbackMessage), callArg(r.hIcon), callArg(r.szTip)});
  auto id = std::make_pair(r.hWnd, r.uID);
  switch (operation) {
    case tray::Add:
      return trayIcons_.emplace(id, r).second;
    case tray::Modify:
      if (!trayIcons_.count(id)) return false;
      trayIcons_[id] = r;
      return true;
    case tray::Delete:
      return trayIcons_.erase(id) > 0;
    default:
      return false;
  }
}

// ------------------------------------------------------------------ starting things

std::intptr_t SimDesktop::shellExecute(std::intptr_t hwnd, const Text& operation, const Text& file,
                                       const Text& parameters, const Text& directory,
                                       std::int32_t showCommand) {
  record("shellExecute", {callArg(hwnd), callArg(operation), callArg(file), callArg(parameters),
                          callArg(directory), callArg(showCommand)});
  return 42;
}

void SimDesktop::startProcess(const Text& program, const Text& arguments, const Text& directory,
                              std::int16_t windowStyle) {
  record("startProcess", {callArg(program), callArg(arguments), callArg(directory), callArg(windowStyle)});
  if (missingPrograms_.count(program)) raiseError(ErrFileNotFound);
}

}  // namespace pyx
