// The launcher window's size and tray behaviour, its browse command, the
// hotkeys arriving through the window hook, and the pointer's monitor.
#include <ostream>
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx {
std::ostream& operator<<(std::ostream& out, const PixelRect& r) {
  return out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}
}  // namespace pyx

namespace pyx::testing {
namespace {

constexpr FormId kLauncher = FormId::frmPyxtern;
constexpr FormId kSettings = FormId::frmSetPgm;

// Two 1920 x 1080 monitors side by side, their task bars 40 pixels high.
const Monitor kLeft{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96};
const Monitor kRight{{1920, 0, 3840, 1080}, {1920, 0, 3840, 1040}, 96};

class Window : public SimTest {
 protected:
  void SetUp() override {
    writeFavourites("a;C:\\a.txt\r\n");
    sim.putFile("Tesmora.ini", "[Start]\r\nCtrl=1\r\nKey=112\r\n[Small]\r\nCtrl=1\r\nKey=113\r\n");
    startProgram();
    sim.clearCalls();
  }
  void expectShown(FormId active = kLauncher) {
    EXPECT_TRUE(sim.isFormVisible(kLauncher));
    EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Normal);
    EXPECT_EQ(sim.activeForm(), active);
  }
};

TEST_F(Window, TrayAndHotkeysHideTheWindowAndBringItBackOnThePointersMonitor) {
  sim.setMonitors({kLeft, kRight});
  const PixelRect before = sim.formRect(kLauncher);
  sim.shellNotifyIcon(tray::Delete, app->com.gtypTray);  // the icon was lost, say by a shell restart
  sim.minimize(kLauncher);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  auto tray = sim.callsTo("shellNotifyIcon");
  ASSERT_EQ(tray.size(), 3u);
  EXPECT_EQ(tray[1].args[0] + tray[2].args[0], "20") << "minimising removes the icon and adds it again";
  EXPECT_TRUE(sim.trayIconShown());

  for (std::uint32_t ignored : {0x200u, 0x201u, 0x202u, 0x205u}) sim.trayMouse(ignored);
  sim.pressHotKey(2, 113);  // the minimise hotkey in the tray leaves it there
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Minimized);
  EXPECT_TRUE(sim.callsTo("popupMenu").empty());

  sim.movePointer(2500, 500);
  sim.pressHotKey(2, 112);
  expectShown();
  EXPECT_EQ(sim.formRect(kLauncher),
            (PixelRect{before.left + 1920, before.top, before.right + 1920, before.bottom}));
  sim.pressHotKey(2, 113);
  sim.movePointer(10, 10);
  sim.trayMouse(0x203);
  expectShown();
  EXPECT_EQ(sim.formRect(kLauncher), before);
  EXPECT_EQ(sim.callsTo("shellNotifyIcon").back().args[0], "1") << "the icon stays, modified";
  EXPECT_TRUE(sim.trayIconShown());
}

TEST_F(Window, MaximiseIsTurnedBackAndTheSizeIsCapped) {
  sim.maximize(kLauncher);
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Normal);
  sim.resizeTo(kLauncher, 9000, 3000);
  EXPECT_EQ(sim.formWidth(kLauncher), 5940);
  EXPECT_EQ(sim.formHeight(kLauncher), 2040);
  sim.resizeTo(kLauncher, 4000, 1500);
  EXPECT_EQ(sim.formWidth(kLauncher), 4000) << "smaller sizes stay";
  EXPECT_EQ(sim.formHeight(kLauncher), 1500);
}

TEST_F(Window, BrowseStartsTheChosenFileWithoutTouchingTheFavourites) {
  sim.answerFileDialog(u"C:\\memo.txt");
  sim.click({kLauncher, "cmdSanshou"});
  sim.click({kLauncher, "cmdSanshou"});  // cancelled
  auto dialog = sim.callsTo("fileOpenDialog");
  ASSERT_EQ(dialog.size(), 2u);
  EXPECT_EQ(dialog[0].args, (std::vector<std::string>{"frmPyxtern.CommonDialog1",
                                                      "ﾃｷｽﾄ(*.txt)|*.txt|すべて(*.*)|*.*", "1", "4096"}));
  EXPECT_EQ(starts(), std::vector<std::string>{"open:C:\\memo.txt||" + appDir()});
  EXPECT_TRUE(sim.callsTo("replaceFile").empty());
}

TEST_F(Window, TrayIconLeadsToTheRegistrationWindowWhichTheMinimiseHotkeyClosesGoingToTheTray) {
  bool closedByHotkey = false;
  inRegistrationWindow([&] {
    // A right press would open the menu of 設定 and 終了; a double-click would show the launcher.
    for (std::uint32_t mouse : {0x204u, 0x203u}) {
      sim.switchAway();
      sim.trayMouse(mouse);
      EXPECT_EQ(sim.activeForm(), FormId::frmTork) << mouse;
    }
    sim.pressHotKey(2, 113);
    closedByHotkey = !sim.isFormLoaded(FormId::frmTork);
  });
  EXPECT_TRUE(closedByHotkey);
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Minimized);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  EXPECT_TRUE(sim.callsTo("popupMenu").empty());
  sim.trayMouse(0x204);
  EXPECT_EQ(sim.callsTo("popupMenu").size(), 1u) << "with the window closed the menu opens again";
}

TEST_F(Window, TrayBringsBackTheLauncherAndTheSettingsWindowTheMinimiseHotkeyHid) {
  inSettingsWindow([&] {
    for (std::uint32_t mouse : {0x203u, 0x204u}) {
      sim.pressHotKey(2, 113);
      ASSERT_FALSE(sim.isFormVisible(kSettings)) << "hidden with the launcher, its owner";
      sim.trayMouse(mouse);
      EXPECT_TRUE(sim.isFormVisible(kSettings)) << mouse;
      expectShown(kSettings);
    }
  });
  EXPECT_EQ(sim.callsTo("popupMenu").size(), 1u) << "the icon opened no menu behind the window";
}

TEST_F(Window, HookPassesEveryMessageOnButOneWhoseActionFailedAndTheTraySaysWhenItCannotRestore) {
  sim.pressHotKey(2, 112);
  auto passed = sim.callsTo("callWindowProc");
  ASSERT_EQ(passed.size(), 1u);
  EXPECT_EQ(passed[0].args, (std::vector<std::string>{std::to_string(app->com.glngPrevWndProc),
                                                      std::to_string(sim.formHandle(kLauncher)),
                                                      std::to_string(0x312), passed[0].args[3]}))
      << "hotkey messages are passed on too";

  sim.minimize(kLauncher);
  sim.clearCalls();
  sim.failNextCall("setFormVisible", ErrOutOfMemory);
  EXPECT_EQ(sim.pressHotKey(2, 112), -1);
  ASSERT_EQ(messages(), std::vector<std::string>{"7\r\nmWndProc\r\nメモリが不足しています。"});
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
  EXPECT_TRUE(sim.callsTo("callWindowProc").empty()) << "the message is not passed on";
  sim.pressHotKey(2, 112);
  EXPECT_TRUE(sim.isFormVisible(kLauncher)) << "the next hotkey is handled";

  // A hotkey that arrives while another is handled is only passed on.
  sim.minimize(kLauncher);
  sim.clearCalls();
  sim.whenCalled("setFormVisible", [&] { sim.pressHotKey(2, 113); });
  sim.pressHotKey(2, 112);
  EXPECT_EQ(sim.callsTo("callWindowProc").size(), 2u);
  for (const SimCall& call : sim.callsTo("setFormWindowState")) EXPECT_EQ(call.args[1], "0");
  expectShown();

  // The tray icon that cannot bring the window back says so; the next click does.
  sim.minimize(kLauncher);
  sim.failNextCall("setFormVisible", ErrOutOfMemory);
  sim.trayMouse(0x203);
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            "7\r\nmWndProc\r\nメモリが不足しています。",
                            "7\r\nタスクトレイから復活できませんでした\r\nメモリが不足しています。"}));
  sim.trayMouse(0x203);
  expectShown();
}

struct PlacementCase {
  const char* what;
  PixelRect window;
  std::int32_t x, y;  // the pointer
  std::vector<Monitor> monitors;
  PixelRect placed;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, OnThePointersMonitorWhollyInsideItsWorkArea) {
  const PlacementCase& c = GetParam();
  EXPECT_EQ(placeOnPointerMonitor(c.window, c.x, c.y, c.monitors), c.placed);
}

const PixelRect kWindow{100, 100, 500, 250};
const Monitor kBelow{{0, 1080, 1920, 2160}, {0, 1080, 1920, 2120}, 96};
const Monitor kRightAt150{{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}, 144};
const Monitor kSmall{{1920, 0, 2220, 200}, {1920, 0, 2220, 120}, 96};

const PlacementCase kPlacements[] = {
    {"single monitor", kWindow, 1500, 900, {kLeft}, kWindow},
    {"pointer on the window's monitor", kWindow, 1500, 900, {kLeft, kRight}, kWindow},
    {"pointer on no monitor", kWindow, -5, 900, {kLeft, kRight}, kWindow},
    {"side by side", kWindow, 2000, 10, {kLeft, kRight}, {2020, 100, 2420, 250}},
    {"stacked, pointer on the task bar", kWindow, 10, 2150, {kLeft, kBelow}, {100, 1180, 500, 1330}},
    {"to a monitor at 150 percent", kWindow, 2000, 10, {kLeft, kRightAt150}, {2070, 150, 2670, 375}},
    {"partly off, kept inside", {1700, 1000, 2100, 1150}, 3000, 10, {kLeft, kRight}, {3440, 890, 3840, 1040}},
    {"larger than the work area: top-left inside", kWindow, 2000, 10, {kLeft, kSmall}, {1920, 0, 2320, 150}},
};

INSTANTIATE_TEST_SUITE_P(Monitors, Placement, ::testing::ValuesIn(kPlacements), NameFromWhat{});

}  // namespace
}  // namespace pyx::testing
