// The launcher window's size and tray behaviour, its browse command, and
// the hotkeys arriving through the window hook.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr FormId kLauncher = FormId::frmPyxtern;

class Window : public SimTest {
 protected:
  void SetUp() override {
    writeFavourites("a;C:\\a.txt\r\n");
    sim.putFile("Tesmora.ini", "[Start]\r\nCtrl=1\r\nKey=112\r\n[Small]\r\nCtrl=1\r\nKey=113\r\n");
    startProgram();
    sim.clearCalls();
  }
};

TEST_F(Window, MinimisingHidesIntoTheTrayAndReaddsTheIcon) {
  sim.shellNotifyIcon(tray::Delete, app->com.gtypTray);  // the icon was lost, say by a shell restart
  sim.minimize(kLauncher);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  EXPECT_TRUE(sim.trayIconShown());
  auto tray = sim.callsTo("shellNotifyIcon");
  ASSERT_EQ(tray.size(), 3u);
  EXPECT_EQ(tray[1].args[0], "2");
  EXPECT_EQ(tray[2].args[0], "0");
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

TEST_F(Window, TrayDoubleClickRestoresAndOtherMouseActionsDoNothing) {
  sim.minimize(kLauncher);
  for (std::uint32_t ignored : {0x200u, 0x201u, 0x202u, 0x205u}) sim.trayMouse(ignored);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  EXPECT_TRUE(sim.callsTo("popupMenu").empty());
  sim.trayMouse(0x203);
  EXPECT_TRUE(sim.isFormVisible(kLauncher));
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Normal);
  EXPECT_EQ(sim.activeForm(), kLauncher);
  EXPECT_EQ(sim.callsTo("shellNotifyIcon").back().args[0], "1") << "the icon stays, modified";
}

TEST_F(Window, RightPressOnTheIconOrTheWindowOpensTheSameMenu) {
  sim.trayMouse(0x204);
  sim.rightClick(kLauncher);
  auto menus = sim.callsTo("popupMenu");
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].args, menus[1].args);
  EXPECT_EQ(menus[0].args[1], "mnuPopup");
}

TEST_F(Window, BrowseStartsTheChosenFileWithoutTouchingTheFavourites) {
  sim.answerFileDialog(u"C:\\memo.txt");
  sim.click({kLauncher, "cmdSanshou"});
  auto dialog = sim.callsTo("fileOpenDialog");
  ASSERT_EQ(dialog.size(), 1u);
  EXPECT_EQ(dialog[0].args, (std::vector<std::string>{"frmPyxtern.CommonDialog1",
                                                      "ﾃｷｽﾄ(*.txt)|*.txt|すべて(*.*)|*.*", "1", "4096"}));
  ASSERT_EQ(sim.callsTo("shellExecute").size(), 1u);
  EXPECT_EQ(sim.callsTo("shellExecute")[0].args[2], "C:\\memo.txt");
  EXPECT_TRUE(sim.callsTo("replaceFile").empty());

  sim.click({kLauncher, "cmdSanshou"});  // cancelled
  EXPECT_EQ(sim.callsTo("shellExecute").size(), 1u);
}

TEST_F(Window, CallUpHotkeyBringsTheWindowBackFromTheTray) {
  sim.minimize(kLauncher);
  sim.pressHotKey(2, 112);
  EXPECT_TRUE(sim.isFormVisible(kLauncher));
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Normal);
  EXPECT_EQ(sim.activeForm(), kLauncher);
  EXPECT_TRUE(sim.trayIconShown());
}

// Two 1920 x 1080 monitors side by side, their task bars 40 pixels high.
const Monitor kLeft{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96};
const Monitor kRight{{1920, 0, 3840, 1080}, {1920, 0, 3840, 1040}, 96};

TEST_F(Window, CallUpHotkeyAndTrayBringTheWindowToThePointersMonitor) {
  sim.setMonitors({kLeft, kRight});
  const PixelRect before = sim.formRect(kLauncher);
  sim.minimize(kLauncher);
  sim.movePointer(2500, 500);
  sim.pressHotKey(2, 112);
  EXPECT_EQ(sim.formRect(kLauncher).left, before.left + 1920);
  EXPECT_EQ(sim.formRect(kLauncher).top, before.top);
  sim.minimize(kLauncher);
  sim.movePointer(10, 10);
  sim.trayMouse(0x203);
  EXPECT_EQ(sim.formRect(kLauncher), before);
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
  const PixelRect placed = placeOnPointerMonitor(c.window, c.x, c.y, c.monitors);
  EXPECT_EQ(std::vector<std::int32_t>({placed.left, placed.top, placed.right, placed.bottom}),
            std::vector<std::int32_t>({c.placed.left, c.placed.top, c.placed.right, c.placed.bottom}));
}

const PixelRect kWindow{100, 100, 500, 250};
INSTANTIATE_TEST_SUITE_P(
    Monitors, Placement,
    ::testing::Values(
        PlacementCase{"single monitor", kWindow, 1500, 900, {kLeft}, kWindow},
        PlacementCase{"pointer on the window's monitor", kWindow, 1500, 900, {kLeft, kRight}, kWindow},
        PlacementCase{"pointer on no monitor", kWindow, -5, 900, {kLeft, kRight}, kWindow},
        PlacementCase{"side by side", kWindow, 2000, 10, {kLeft, kRight}, {2020, 100, 2420, 250}},
        PlacementCase{"stacked, the task bar under the pointer",
                      kWindow,
                      10,
                      2150,
                      {kLeft, {{0, 1080, 1920, 2160}, {0, 1080, 1920, 2120}, 96}},
                      {100, 1180, 500, 1330}},
        PlacementCase{"to a monitor of 150 percent",
                      kWindow,
                      2000,
                      10,
                      {kLeft, {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}, 144}},
                      {2070, 150, 2670, 375}},
        PlacementCase{"partly off its monitor, kept inside the other's work area",
                      {1700, 1000, 2100, 1150},
                      3000,
                      10,
                      {kLeft, kRight},
                      {3440, 890, 3840, 1040}},
        PlacementCase{"larger than the work area: its top-left corner inside",
                      kWindow,
                      2000,
                      10,
                      {kLeft, {{1920, 0, 2220, 200}, {1920, 0, 2220, 120}, 96}},
                      {1920, 0, 2320, 150}}),
    NameFromWhat{});

TEST_F(Window, MinimiseHotkeyClosesTheRegistrationWindowAndGoesToTheTray) {
  bool closedByHotkey = false;
  sim.whenModal(FormId::frmTork, [&] {
    sim.pressHotKey(2, 113);
    closedByHotkey = !sim.isFormLoaded(FormId::frmTork);
  });
  sim.click({kLauncher, "cmdTork"});
  EXPECT_TRUE(closedByHotkey);
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Minimized);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
}

TEST_F(Window, MinimiseHotkeyInTheTrayLeavesTheWindowThere) {
  sim.minimize(kLauncher);
  sim.pressHotKey(2, 113);
  EXPECT_FALSE(sim.isFormVisible(kLauncher));
  EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Minimized);
}

TEST_F(Window, TrayBringsBackTheLauncherAndTheSettingsWindowTheMinimiseHotkeyHid) {
  constexpr FormId kSettings = FormId::frmSetPgm;
  sim.whenModal(kSettings, [&] {
    for (std::uint32_t mouse : {0x203u, 0x204u}) {
      sim.pressHotKey(2, 113);
      ASSERT_FALSE(sim.isFormVisible(kSettings)) << "hidden with the launcher, its owner";
      sim.trayMouse(mouse);
      EXPECT_TRUE(sim.isFormVisible(kLauncher) && sim.isFormVisible(kSettings)) << mouse;
      EXPECT_EQ(sim.formWindowState(kLauncher), WindowState::Normal);
      EXPECT_EQ(sim.activeForm(), kSettings);
    }
  });
  sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuSet"); });
  sim.rightClick(kLauncher);
  EXPECT_EQ(sim.callsTo("popupMenu").size(), 1u) << "the icon opened no menu behind the window";
}

TEST_F(Window, FailedHotkeyActionIsReportedNotPassedOnAndTheNextHotkeyWorks) {
  sim.minimize(kLauncher);
  sim.failNextCall("setFormVisible", ErrOutOfMemory);
  EXPECT_EQ(sim.pressHotKey(2, 112), -1);
  ASSERT_EQ(sim.messageBoxes().size(), 1u);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].prompt), "7\r\nmWndProc\r\nメモリが不足しています。");
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
  EXPECT_TRUE(sim.callsTo("callWindowProc").empty()) << "the message is not passed on";
  sim.pressHotKey(2, 112);
  EXPECT_TRUE(sim.isFormVisible(kLauncher));
}

TEST_F(Window, EveryMessageIsPassedOnThroughTheHook) {
  std::intptr_t hwnd = sim.formHandle(kLauncher);
  sim.clearCalls();
  sim.pressHotKey(2, 112);
  auto passed = sim.callsTo("callWindowProc");
  ASSERT_EQ(passed.size(), 1u);
  EXPECT_EQ(passed[0].args[1], std::to_string(hwnd));
  EXPECT_EQ(passed[0].args[2], std::to_string(0x312)) << "hotkey messages are passed on too";
  EXPECT_EQ(passed[0].args[0], std::to_string(app->com.glngPrevWndProc));
}

}  // namespace
}  // namespace pyx::testing
