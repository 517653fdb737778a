// Every write the program makes, then the same write failed (a full disk
// part-way, access denied, a read-only file): the file stays exactly as it
// was, no temporary file is left, nothing starts after a failed launch, and
// the user is told. Start-up clears away the temporary files of killed writes.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr FormId kTork = FormId::frmTork;
constexpr FormId kSetPgm = FormId::frmSetPgm;
constexpr char kFavourites[] = "pyxtern.txt";
constexpr char kSettings[] = "Tesmora.ini";
// Spaces around a name and a path, a name over the 40 characters kept, and lines below the list.
const std::string kList = "メモ ; C:\\a.txt\r\n" + std::string(45, 'n') + ";C:\\b.txt\r\nc;C:\\c.txt\r\n";
const std::string kBelow = "\r\nnotes\r\n";
const std::string kPaddedList =
    padded("メモ", " C:\\a.txt") + padded(std::string(40, 'n'), "C:\\b.txt") + padded("c", "C:\\c.txt");

// A fresh program on a fresh desktop for each fault.
struct World : SimWorld {
  std::function<void()> fault;  // injected just before the step's last action

  void arm() {
    if (fault) fault();
  }
  void launch(const char16_t* typed) {
    sim.type(kNameBox, typed);
    arm();
    sim.pressKey(13);
  }
  // In the registration window: picks favourite `index`, types `name` and `path` if given, clicks `button`.
  void inRegistration(std::int32_t index, const char16_t* name, const char16_t* path, const char* button) {
    inRegistrationWindow([=, this] {
      if (index >= 0) sim.pickListItem({kTork, "lstFileName"}, index);
      if (*name) sim.type({kTork, "txtOkini"}, name);
      if (*path) sim.type({kTork, "txtPath"}, path);
      arm();
      sim.click({kTork, button});
    });
  }
  // In the settings window: clicks option `index` (none: -1), then `button`; any browser asked for is chosen.
  void inSettings(const char* option, std::int16_t index, const char* button) {
    sim.answerFileDialog(u"C:\\IE\\IEXPLORE.EXE");
    inSettingsWindow([=, this] {
      if (index >= 0) sim.click({kSetPgm, option, index});
      arm();
      sim.click({kSetPgm, button});
      if (fault) {
        EXPECT_TRUE(sim.isFormLoaded(kSetPgm)) << "a failed save keeps the window";
      }
    });
  }
  std::set<std::string> files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sim.directory()))
      names.insert(entry.path().filename().string());
    return names;
  }
};

struct WriteCase {
  const char* what;
  const char* written;    // the file the step writes
  std::string before;     // UTF-8
  std::string after;      // "<missing>": deleted
  const char* procedure;  // that reports a failed write; "": the settings', reported where they fail
  std::function<void(World&)> step;
};

const auto registering = [](World& w) { w.inRegistration(-1, u" z ", u" C:\\z.txt ", "cmdTork"); };

const WriteCase kCases[] = {
    {"register", kFavourites, kList + kBelow, kList + "z;C:\\z.txt\r\n" + kBelow, "pfrmTork_cmdTork_Click",
     registering},
    {"register after a last line without its end", kFavourites, "a;1", "a;1\r\nz;C:\\z.txt\r\n",
     "pfrmTork_cmdTork_Click", registering},
    {"register after a last line ended by a carriage return", kFavourites, "a;1\r", "a;1\rz;C:\\z.txt\r\n",
     "pfrmTork_cmdTork_Click", registering},
    {"correct", kFavourites, kList + kBelow,
     "メモ;C:\\a.txt\r\n" + std::string(40, 'n') + ";C:\\b.txt\r\nbee;D:\\c.txt\r\n" + kBelow,
     "pfrmTork_cmdTeis_Click", [](World& w) { w.inRegistration(2, u"  bee ", u"D:\\c.txt ", "cmdTeis"); }},
    {"delete", kFavourites, kList + kBelow, "メモ;C:\\a.txt\r\nc;C:\\c.txt\r\n" + kBelow,
     "pfrmTork_cmdDelete_Click", [](World& w) { w.inRegistration(1, u"", u"", "cmdDelete"); }},
    {"delete the only favourite, keeping what follows the list", kFavourites, "a;C:\\a.txt\r\n" + kBelow,
     kBelow, "pfrmTork_cmdDelete_Click", [](World& w) { w.inRegistration(0, u"", u"", "cmdDelete"); }},
    {"delete the only favourite and the file", kFavourites, "a;C:\\a.txt\r\n", "<missing>",
     "pfrmTork_cmdDelete_Click", [](World& w) { w.inRegistration(0, u"", u"", "cmdDelete"); }},
    {"launch the middle favourite", kFavourites, kList + kBelow,
     padded(std::string(40, 'n'), "C:\\b.txt") + padded("メモ", " C:\\a.txt") + padded("c", "C:\\c.txt") +
         kBelow,
     "pfrmPyxtern_cmdOK_Click", [](World& w) { w.launch(u"n"); }},
    {"built-in launch", kFavourites, kList + kBelow, kPaddedList + kBelow, "pfrmPyxtern_cmdOK_Click",
     [](World& w) { w.launch(u"calc"); }},
    {"save the hotkeys", kSettings, "[Start]\r\nCtrl=1\r\nKey=112\r\n[OPEN_TYPE]\r\nTYEP=1\r\n",
     "[Start]\r\nCtrl=1\r\nKey=112\r\nAlt=1\r\nshift=0\r\n[OPEN_TYPE]\r\nTYEP=1\r\n\r\n[FORM]\r\nCLOSE=0\r\n",
     "", [](World& w) { w.inSettings("", -1, "cmdOK"); }},
    {"apply the folder type", kSettings, "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n",
     "[OPEN_TYPE]\r\nTYEP=1\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n\r\n[FORM]\r\nCLOSE=0\r\n", "",
     [](World& w) { w.inSettings("optType", 1, "cmdTeki"); }},
    {"save the browser", kSettings, "[OPEN_TYPE]\r\nTYEP=0\r\n[FORM]\r\nCLOSE=1\r\n",
     "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n[FORM]\r\nCLOSE=1\r\n", "",
     [](World& w) { w.inSettings("", -1, "cmdOK"); }},
    {"save the close setting", kSettings, "[OPEN_TYPE]\r\nTYEP=1\r\n[FORM]\r\nCLOSE=1\r\n",
     "[OPEN_TYPE]\r\nTYEP=1\r\n[FORM]\r\nCLOSE=0\r\n", "",
     [](World& w) { w.inSettings("optTork", 0, "cmdOK"); }},
};

struct Fault {
  std::string what;
  std::function<void(World&, const char* file)> inject;
  const char* number;
  const char* description;
};

TEST(WriteFaults, LeaveTheOldFileAndTellTheUser) {
  for (const WriteCase& c : kCases) {
    SCOPED_TRACE(c.what);
    auto arrange = [&](World& w) {
      w.sim.putFile(c.written, w.sim.toAnsi(fromUtf8(c.before)));
      for (const char* leftover : {"pyxtern.txt.tmp", "Tesmora.ini.tmp"}) w.sim.putFile(leftover, "x");
      w.startProgram();
    };
    // Without a fault the step writes: that is what the faults must undo.
    World clean;
    arrange(clean);
    const std::optional<Bytes> before = clean.sim.fileContent(c.written);
    const std::set<std::string> files = clean.files();
    EXPECT_EQ(files, std::set<std::string>{c.written}) << "start-up clears away what killed writes left";
    c.step(clean);
    const std::optional<Bytes> after = clean.sim.fileContent(c.written);
    EXPECT_EQ(after ? toUtf8(clean.sim.fromAnsi(*after)) : "<missing>", c.after);

    std::vector<Fault> faults = {
        {"permission denied", [](World& w, const char* file) { w.sim.denyAccess(file); }, "70",
         "書き込みできません。"},
        {"read-only file",
         [](World& w, const char* file) { w.sim.putFile(file, *w.sim.fileContent(file), attr::ReadOnly); },
         "75", "パス名が無効です。"},
    };
    // A write cut short at any byte leaves no trace of it: the first, one in
    // the middle and the last show it. A deletion writes no bytes.
    if (after) {
      for (std::size_t bytes : {std::size_t{0}, after->size() / 2, after->size() - 1})
        faults.push_back({"disk full after " + std::to_string(bytes) + " bytes",
                          [bytes](World& w, const char*) { w.sim.failWritesAfter(bytes); }, "61",
                          "ディスクの空き容量が不足しています。"});
    }
    for (const Fault& fault : faults) {
      SCOPED_TRACE(fault.what);
      World w;
      arrange(w);
      w.fault = [&] { fault.inject(w, c.written); };
      c.step(w);
      EXPECT_EQ(w.sim.fileContent(c.written), before);
      EXPECT_EQ(w.files(), files) << "a temporary file stayed behind";
      const std::string told = std::string(fault.number) + "\r\n" + c.procedure;
      EXPECT_TRUE(std::ranges::any_of(w.messages(),
                                      [&](const std::string& text) {
                                        return text.starts_with(told) && text.ends_with(fault.description);
                                      }))
          << told << "..." << fault.description;
      EXPECT_EQ(w.sim.callsTo("startProcess").size() + w.sim.callsTo("shellExecute").size(), 0u)
          << "something started after the write failed";
      if (::testing::Test::HasFailure()) break;  // one failing fault tells enough
    }
  }
}

}  // namespace
}  // namespace pyx::testing
