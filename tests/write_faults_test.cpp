// Every way the program writes a file, failed at every byte count of the new
// file, by permission denied and by a read-only file: the file stays exactly
// as it was, no temporary file is left beside it, nothing starts after a
// failed launch, and the user is told the error's number.
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr char kFavourites[] = "pyxtern.txt";
constexpr char kSettings[] = "Tesmora.ini";
constexpr char kThreeFavourites[] = "a;C:\\a.txt\r\nb;C:\\b.txt\r\nc;C:\\c.txt\r\n";
constexpr char kNoHotKeys[] = "[OPEN_TYPE]\r\nTYEP=0\r\n[FORM]\r\nCLOSE=1\r\n";

// A fresh program on a fresh desktop for each fault.
struct World {
  SimDesktop sim;
  std::unique_ptr<Application> app;
  std::function<void()> fault;  // injected just before the step's last action

  void arm() {
    if (fault) fault();
  }

  void put(const char* name, const std::string& utf8) { sim.putFile(name, sim.toAnsi(fromUtf8(utf8))); }
  void start() {
    app = std::make_unique<Application>(sim);
    app->run();
  }
  void launch(const char16_t* typed) {
    sim.type(kNameBox, typed);
    arm();
    sim.pressKey(13);
  }
  void inWindow(FormId form, std::function<void()> steps) {
    sim.whenModal(form, std::move(steps));
    if (form == FormId::frmTork) {
      sim.click({FormId::frmPyxtern, "cmdTork"});
    } else {
      sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuSet"); });
      sim.rightClick(FormId::frmPyxtern);
    }
  }
  void inRegistration(std::function<void()> steps) { inWindow(FormId::frmTork, std::move(steps)); }
  void inSettings(std::function<void()> steps) { inWindow(FormId::frmSetPgm, std::move(steps)); }
  std::set<std::string> files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(sim.directory()))
      names.insert(entry.path().filename().string());
    return names;
  }
};

struct WriteCase {
  const char* what;
  std::string favourites, settings;  // UTF-8; empty: no such file
  const char* written;               // the file the step writes
  std::function<void(World&)> step;
  bool starts = false;   // the step starts a favourite when the write succeeds
  bool removes = false;  // the step deletes the file: there are no bytes to fail after
};

// Deletes the favourite at `index` in the registration window.
std::function<void(World&)> deleting(std::int32_t index) {
  return [index](World& w) {
    w.inRegistration([&] {
      w.sim.pickListItem({FormId::frmTork, "lstFileName"}, index);
      w.arm();
      w.sim.click({FormId::frmTork, "cmdDelete"});
    });
  };
}

const WriteCase kCases[] = {
    {"register", kThreeFavourites, "", kFavourites,
     [](World& w) {
       w.inRegistration([&] {
         w.sim.type({FormId::frmTork, "txtOkini"}, u"メモ");
         w.sim.type({FormId::frmTork, "txtPath"}, u"C:\\メモ.txt");
         w.arm();
         w.sim.click({FormId::frmTork, "cmdTork"});
       });
     }},
    {"correct", kThreeFavourites, "", kFavourites,
     [](World& w) {
       w.inRegistration([&] {
         w.sim.pickListItem({FormId::frmTork, "lstFileName"}, 1);
         w.sim.type({FormId::frmTork, "txtPath"}, u"D:\\b.txt");
         w.arm();
         w.sim.click({FormId::frmTork, "cmdTeis"});
       });
     }},
    {"delete", kThreeFavourites, "", kFavourites, deleting(1)},
    {"delete the only favourite, keeping what follows the list", "a;C:\\a.txt\r\n\r\nnotes\r\n", "",
     kFavourites, deleting(0)},
    {"delete the only favourite and the file", "a;C:\\a.txt\r\n", "", kFavourites, deleting(0), false, true},
    {"launch", kThreeFavourites, "", kFavourites, [](World& w) { w.launch(u"c"); }, true},
    {"built-in launch", kThreeFavourites, "", kFavourites, [](World& w) { w.launch(u"calc"); }, true},
    {"save the hotkeys", "", "[Start]\r\nCtrl=1\r\nKey=112\r\n", kSettings,
     [](World& w) {
       w.inSettings([&] {
         w.arm();
         w.sim.click({FormId::frmSetPgm, "cmdOK"});
         if (w.fault) {
           EXPECT_TRUE(w.sim.isFormLoaded(FormId::frmSetPgm)) << "a failed save keeps the window";
         }
       });
     }},
    {"apply the folder type", "", "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n", kSettings,
     [](World& w) {
       w.inSettings([&] {
         w.sim.click({FormId::frmSetPgm, "optType", 1});
         w.arm();
         w.sim.click({FormId::frmSetPgm, "cmdTeki"});
       });
     }},
    {"save the browser", "", kNoHotKeys, kSettings,
     [](World& w) {
       w.sim.answerFileDialog(u"C:\\IE\\IEXPLORE.EXE");
       w.inSettings([&] {
         w.arm();
         w.sim.click({FormId::frmSetPgm, "cmdOK"});
       });
     }},
    {"save the close setting", "", "[OPEN_TYPE]\r\nTYEP=1\r\n[FORM]\r\nCLOSE=1\r\n", kSettings,
     [](World& w) {
       w.inSettings([&] {
         w.sim.click({FormId::frmSetPgm, "optTork", 0});
         w.arm();
         w.sim.click({FormId::frmSetPgm, "cmdOK"});
       });
     }},
};

struct Fault {
  std::string what;
  std::function<void(World&, const char* file)> inject;
  const char* number;  // the error the user is told
};

TEST(WriteFaults, LeaveTheOldFileAndTellTheUser) {
  std::size_t injected = 0;
  for (const WriteCase& c : kCases) {
    auto arrange = [&](World& w) {
      if (!c.favourites.empty()) w.put(kFavourites, c.favourites);
      if (!c.settings.empty()) w.put(kSettings, c.settings);
      w.start();
    };
    // Without a fault the step writes: that is what the faults must undo.
    World clean;
    arrange(clean);
    const Bytes before = clean.sim.fileContent(c.written).value_or("");
    const std::set<std::string> files = clean.files();
    c.step(clean);
    const std::optional<Bytes> after = clean.sim.fileContent(c.written);
    ASSERT_NE(after, std::optional<Bytes>(before)) << c.what << ": the step writes nothing";
    ASSERT_TRUE(clean.sim.messageBoxes().empty() || c.written == std::string(kSettings)) << c.what;

    std::vector<Fault> faults = {
        {"permission denied", [](World& w, const char* file) { w.sim.denyAccess(file); }, "70"},
        {"read-only file",
         [](World& w, const char* file) { w.sim.putFile(file, *w.sim.fileContent(file), attr::ReadOnly); },
         "75"},
    };
    if (!c.removes) {
      for (std::size_t bytes = 0; bytes < after->size(); ++bytes)
        faults.push_back({"disk full after " + std::to_string(bytes) + " bytes",
                          [bytes](World& w, const char*) { w.sim.failWritesAfter(bytes); }, "61"});
    }
    for (const Fault& fault : faults) {
      SCOPED_TRACE(std::string(c.what) + ", " + fault.what);
      World w;
      arrange(w);
      w.fault = [&] { fault.inject(w, c.written); };
      c.step(w);
      ++injected;
      EXPECT_EQ(w.sim.fileContent(c.written), std::optional<Bytes>(before));
      EXPECT_EQ(w.files(), files) << "a temporary file stayed behind";
      bool told = false;
      for (const SimMessageBox& box : w.sim.messageBoxes())
        told = told || toUtf8(box.prompt).starts_with(std::string(fault.number) + "\r\n");
      EXPECT_TRUE(told) << "no message with error " << fault.number;
      if (c.starts) {
        EXPECT_TRUE(w.sim.callsTo("startProcess").empty() && w.sim.callsTo("shellExecute").empty())
            << "something started after the write failed";
      }
      if (::testing::Test::HasFailure()) return;  // one failing fault tells enough
    }
  }
  std::printf("%zu write faults injected\n", injected);
}

}  // namespace
}  // namespace pyx::testing
