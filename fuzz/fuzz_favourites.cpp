// Arbitrary bytes as the favourites file, then what a user does with it on
// the simulated desktop: start, launch a favourite, register one, correct or
// delete one. After each step the file must hold exactly what a reading of the
// old bytes, made here on its own, says: the listed entries in their new form,
// every name the user did not set and every path byte for byte, and,
// byte for byte, everything below the list.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/application.h"
#include "fuzz/fuzz_check.h"
#include "platform/sim/sim_desktop.h"

namespace pyx {
namespace {

using fuzz::require;

constexpr ControlRef kNameBox{FormId::frmPyxtern, "cmbFileName"};
constexpr ControlRef kRegister{FormId::frmPyxtern, "cmdTork"};
constexpr ControlRef kTorkName{FormId::frmTork, "txtOkini"};
constexpr ControlRef kTorkPath{FormId::frmTork, "txtPath"};
constexpr ControlRef kTorkList{FormId::frmTork, "lstFileName"};
constexpr std::size_t kMostEntries = 32767;

struct Entry {
  Text name;        // the text before ";", as read
  Bytes nameBytes;  // its bytes, as read: written back as they were, unless the name was cut to 40
  Bytes path;       // the bytes after it, as read: they are written back as they were
};

// What the readers make of the file: lines end at CR LF or a lone CR; a line
// is trimmed of spaces and parted at its first ";" byte; the list ends at the
// first empty line (kept, with all below it, as the rest); a line without ";"
// is malformed.
struct Reading {
  std::vector<Entry> entries;
  bool malformed = false;
  bool tooMany = false;
  Bytes list, rest;
  bool listEndsLine = true;  // the last listed line has its line end
};

Reading readFavourites(const Bytes& bytes, const Platform& platform) {
  Reading r;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    std::size_t end = bytes.find('\r', start);
    if (end == Bytes::npos) end = bytes.size();
    pos = end;
    if (pos < bytes.size()) pos += bytes.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
    std::string_view line(bytes.data() + start, end - start);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (line.find(';') == std::string_view::npos) {
      if (!line.empty()) r.malformed = true;
      r.rest = bytes.substr(start);
      break;
    }
    if (r.entries.size() == kMostEntries) {
      r.tooMany = true;
      break;
    }
    const std::size_t semicolon = line.find(';');
    std::string_view name = line.substr(0, semicolon);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    r.entries.push_back({platform.fromAnsi(Bytes(name)), Bytes(name), Bytes(line.substr(semicolon + 1))});
    r.listEndsLine = end < bytes.size();
  }
  r.list = bytes.substr(0, bytes.size() - r.rest.size());
  return r;
}

Text trimmed(TextView text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return Text(text);
}
// A name as the table holds it: 40 characters, cut or padded with spaces.
Text padded(const Text& name) {
  Text full = name.substr(0, 40);
  full.resize(40, u' ');
  return full;
}
Text shown(const Text& name) {
  return trimmed(padded(name));
}
bool isBuiltIn(const Text& name) {
  Text upper = name;
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return upper == u"CALC" || upper == u"NOTEPAD" || upper == u"EXPLORER";
}

std::vector<Text> shownNames(const std::vector<Entry>& entries) {
  std::vector<Text> names;
  for (const Entry& e : entries) names.push_back(shown(e.name));
  return names;
}

struct Scenario {
  SimDesktop sim;
  std::vector<Entry> entries;  // what the file lists now
  Bytes list, rest;
  bool listEndsLine = true;
  std::size_t messages = 0;  // message boxes the user has been shown, as expected

  // The file must be `expected`; what the model knows of it then follows it.
  void expectFile(const Bytes& expected, const char* after) {
    require(sim.fileContent("pyxtern.txt") == expected, after);
    const Reading reading = readFavourites(expected, sim);
    entries = reading.entries;
    list = reading.list;
    listEndsLine = reading.listEndsLine;
  }
  // A name's bytes in a rewrite: as read, or the name as the table holds it,
  // encoded, when the table cut it to 40 characters.
  Bytes rewritten(const Entry& e) const {
    return e.name.size() <= 40 && e.nameBytes.size() <= 255 ? e.nameBytes : sim.toAnsi(shown(e.name));
  }
  void expectMessages(std::size_t more, const char* after) {
    messages += more;
    require(sim.messageBoxes().size() == messages, after);
  }

  // The launch of entry `k` by its shown name.
  void launch(std::size_t k) {
    const Text typed = shown(entries[k].name);
    sim.type(kNameBox, typed);
    sim.pressKey(13);
    if (typed.empty()) {
      expectMessages(1, "launching an empty name asks for one");
      return expectFile(list + rest, "launching an empty name writes nothing");
    }
    std::size_t found = 0;
    if (!isBuiltIn(typed)) {
      while (shown(entries[found].name) != typed) ++found;
    }
    std::rotate(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(found),
                entries.begin() + static_cast<std::ptrdiff_t>(found) + 1);
    Bytes written;
    for (const Entry& e : entries)
      written += rewritten(e) + Bytes(40 - shown(e.name).size(), ' ') + ";" + e.path + "\r\n";
    expectFile(written + rest, "a launch writes the padded list above the rest, each name as it was read");
    expectMessages(0, "a launch shows no message");
    require(sim.listItems(kNameBox) == shownNames(entries), "the launcher lists the new order");
  }

  // In the registration window: register a new name.
  void registerOne() {
    require(sim.listItems(kTorkList) == shownNames(entries), "the registration window lists the file");
    Text name;
    for (int i = 0; name.empty(); ++i) {
      name = u"追加" + decimal(i);
      for (const Entry& e : entries)
        if (shown(e.name).find(name) != Text::npos) name.clear();
    }
    const Text path = u"C:\\新規\\app.exe /x";
    sim.type(kTorkName, name);
    sim.type(kTorkPath, path);
    sim.click({FormId::frmTork, "cmdTork"});
    if (entries.size() >= kMostEntries) {
      expectMessages(1, "a favourite beyond the last index is refused");
      return expectFile(list + rest, "a refused favourite writes nothing");
    }
    Bytes line = sim.toAnsi(name + u";" + path + u"\r\n");
    expectFile(list + (listEndsLine ? "" : "\r\n") + line + rest,
               "a registration adds one line at the list's end");
    expectMessages(0, "a registration shows no message");
    require(sim.listItems(kTorkList) == shownNames(entries), "the registration window lists the new name");
  }

  // In the registration window: correct entry `k`'s path, or delete it.
  void correctOrDelete(std::size_t k, bool correct) {
    sim.pickListItem(kTorkList, static_cast<std::int32_t>(k));
    const Text name = shown(entries[k].name);
    if (correct && !name.empty()) {
      sim.type(kTorkPath, u"D:\\訂正");
      sim.click({FormId::frmTork, "cmdTeis"});
      const bool control = std::any_of(name.begin(), name.end(), [](char16_t c) { return c < u' '; });
      if (isBuiltIn(name) || control || sim.fromAnsi(sim.toAnsi(name)) != name) {
        expectMessages(1, "a correction to a name that cannot be kept is refused");
        return expectFile(list + rest, "a refused correction writes nothing");
      }
      entries[k] = {name, sim.toAnsi(name), sim.toAnsi(u"D:\\訂正")};
    } else {
      sim.click({FormId::frmTork, "cmdDelete"});
      if (entries.size() == 1) {
        expectMessages(0, "deleting the only favourite shows no message");
        require(sim.fileContent("pyxtern.txt") == (rest.empty() ? std::nullopt : std::optional(rest)),
                "deleting the only favourite removes the file, or keeps the rest alone");
        entries.clear();
        require(sim.listItems(kTorkList).empty(), "no favourite is listed after the last one went");
        return;
      }
      entries[k].name.clear();
    }
    Bytes written;
    for (const Entry& e : entries) {
      if (shown(e.name).empty()) continue;
      std::string_view path = e.path;
      while (!path.empty() && path.front() == ' ') path.remove_prefix(1);
      while (!path.empty() && path.back() == ' ') path.remove_suffix(1);
      written += rewritten(e) + ";" + Bytes(path) + "\r\n";
    }
    expectFile(written + rest, "a correction or deletion writes the compact list above the rest");
    expectMessages(0, "a correction or deletion shows no message");
    require(sim.listItems(kTorkList) == shownNames(entries), "the registration window lists what is left");
  }
};

}  // namespace
}  // namespace pyx

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pyx;
  const Bytes bytes(reinterpret_cast<const char*>(data), size);
  std::uint32_t choice = 0;
  for (std::uint8_t byte : bytes) choice = choice * 31 + byte;

  Scenario s;
  s.sim.setRecording(false);
  s.sim.putFile("pyxtern.txt", bytes);
  const Reading old = readFavourites(bytes, s.sim);
  s.entries = old.entries;
  s.list = old.list;
  s.rest = old.rest;
  s.listEndsLine = old.listEndsLine;

  Application app(s.sim);
  app.run();
  if (old.malformed || old.tooMany) {
    // The user is told; the launcher closes on a malformed line.
    s.expectMessages(1, "a malformed or overlong file is reported");
    require(!old.malformed || s.sim.programEnded(), "a malformed file ends the program");
    require(s.sim.fileContent("pyxtern.txt") == bytes, "a file that cannot be read stays as it was");
    return 0;
  }
  s.expectMessages(0, "a readable file starts without a message");
  require(s.sim.listItems(kNameBox) == shownNames(s.entries), "the launcher lists the file's names");
  s.expectFile(bytes, "starting changes nothing");

  if (!s.entries.empty()) s.launch(choice % s.entries.size());
  s.sim.whenModal(FormId::frmTork, [&] {
    s.registerOne();
    if (!s.entries.empty()) s.correctOrDelete((choice / 7) % s.entries.size(), (choice >> 8) % 2 == 0);
    s.sim.closeWindow(FormId::frmTork);
  });
  s.sim.click(kRegister);
  require(s.sim.listItems(kNameBox) == shownNames(s.entries), "the launcher lists the file after the change");
  s.expectMessages(0, "closing the registration window shows no message");
  return 0;
}
