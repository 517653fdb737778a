// The settings window: capturing and naming hotkeys, loading and saving the
// settings file.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr FormId kSettings = FormId::frmSetPgm;
constexpr ControlRef kCallUpBox{kSettings, "txtHotKey_Def", 0};
constexpr ControlRef kMinimiseBox{kSettings, "txtHotKey_Def", 1};
constexpr ControlRef kIeType{kSettings, "optType", 0};
constexpr ControlRef kExploreType{kSettings, "optType", 1};
constexpr ControlRef kCloses{kSettings, "optTork", 0};
constexpr ControlRef kStaysOpen{kSettings, "optTork", 1};
constexpr ControlRef kOkButton{kSettings, "cmdOK"};
constexpr ControlRef kApply{kSettings, "cmdTeki"};
constexpr char kAskBrowser[] = "インターネットエクスプローラーを選択して下さい";
constexpr char kAskUpdate[] = "設定ファイルを更新しますか？";
const std::string kTypeOne = "[OPEN_TYPE]\r\nTYEP=1\r\n";

class SettingsWindow : public SimTest {
 protected:
  void press(ControlRef box, std::int16_t key, std::int16_t shift = 0) {
    sim.click(box);
    sim.pressKey(key, shift);
  }
  // "call-up box|minimise box|IE type, Explore type|closes, stays open", a selected option as 1.
  std::string shown() const {
    auto on = [&](ControlRef option) { return sim.optionValue(option) ? "1" : "0"; };
    return text(kCallUpBox) + "|" + text(kMinimiseBox) + "|" + on(kIeType) + on(kExploreType) + "|" +
           on(kCloses) + on(kStaysOpen);
  }
  // "shift/alt/ctrl/key" as captured for box `i`.
  std::string captured(std::size_t i) const {
    const basSetPgm& s = app->setPgm;
    return toUtf8(s.mstrHotShift[i] + u"/" + s.mstrHotAlt[i] + u"/" + s.mstrHotCtrl[i] + u"/" +
                  s.mstrHotKey[i]);
  }
  // "section.key=value " of every write to the settings file, in order.
  std::string writes() const {
    std::string result;
    for (const SimCall& call : sim.callsTo("writePrivateProfileString"))
      result += call.args[0] + "." + call.args[1] + "=" + call.args[2] + " ";
    return result;
  }
  std::string settings() const { return toUtf8(sim.fromAnsi(sim.fileContent("Tesmora.ini").value_or("-"))); }
};

struct CaptureCase {
  const char* what;
  std::int16_t key, shift;  // shift: 1 Shift, 2 Ctrl, 4 Alt
  const char* name;         // empty: refused; else the flags recorded are the modifiers it names
};

class Capture : public SettingsWindow, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, NamesAndRecordsTheCombinationOrRefusesTheKey) {
  const CaptureCase& c = GetParam();
  const std::string name = c.name;
  sim.putFile("Tesmora.ini", "[Start]\r\nCtrl=1\r\nAlt=1\r\nKey=112\r\n");
  startProgram();
  inSettingsWindow([&] {
    ASSERT_EQ(text(kCallUpBox), "Ctrl + Alt + F1");
    std::int16_t key = c.key, shift = c.shift;
    app->setPgm.pfrmSetPgm_txtHotKey_Def_KeyDown(key, shift, 0);
    EXPECT_EQ(text(kCallUpBox), name.empty() ? "Ctrl + Alt + F1" : name);
    if (name.empty()) {
      EXPECT_EQ(key + shift, 0) << "a refused key is swallowed";
      EXPECT_EQ(captured(0), "0/1/1/112") << "the earlier capture stays";
    } else {
      auto flag = [&](const char* word) { return name.find(word) == std::string::npos ? "0/" : "1/"; };
      EXPECT_EQ(captured(0), std::string(flag("Sift")) + flag("Alt") + flag("Ctrl") + std::to_string(c.key));
    }
    EXPECT_EQ(captured(1), "///") << "the other box is untouched";
  });
  EXPECT_TRUE(sim.messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Capture,
    ::testing::Values(
        CaptureCase{"F5 alone", 116, 0, "F5"}, CaptureCase{"F16", 127, 0, "F16"},
        CaptureCase{"A alone", 65, 0, "Ctrl + Alt + A"}, CaptureCase{"Shift A", 65, 1, "Ctrl + Alt + A"},
        CaptureCase{"Ctrl A", 65, 2, "Ctrl + Alt + A"}, CaptureCase{"Alt A", 65, 4, "Ctrl + Alt + A"},
        CaptureCase{"Ctrl Alt A", 65, 6, "Ctrl + Alt + A"},
        CaptureCase{"Ctrl Shift F1", 112, 3, "Ctrl + Sift + F1"},
        CaptureCase{"Alt Shift 7", 55, 5, "Sift + Alt + 7"},
        CaptureCase{"all three Z", 90, 7, "Ctrl + Alt + Sift + Z"},
        CaptureCase{"digit 0", 48, 0, "Ctrl + Alt + 0"}, CaptureCase{"Shift F3", 114, 1, "Ctrl + Alt + F3"},
        CaptureCase{"Ctrl keypad 5", 101, 2, "Ctrl + Num 5"},
        CaptureCase{"Alt keypad 5", 101, 4, "Alt + Num 5"},
        CaptureCase{"Shift keypad 0", 96, 1, "Ctrl + Alt + Num 0"},
        CaptureCase{"Ctrl main 5", 53, 2, "Ctrl + Alt + 5"}, CaptureCase{"keypad point alone", 110, 0, "."},
        CaptureCase{"keypad star", 106, 3, "Ctrl + Sift + *"}, CaptureCase{"keypad slash", 111, 0, "/"},
        CaptureCase{"keypad separator", 108, 2, ""}, CaptureCase{"left arrow", 37, 2, ""},
        CaptureCase{"down arrow", 40, 0, ""}, CaptureCase{"Shift alone", 16, 1, ""},
        CaptureCase{"Ctrl alone", 17, 2, ""}, CaptureCase{"Alt alone", 18, 4, ""},
        CaptureCase{"Enter", 13, 0, ""}, CaptureCase{"Space", 32, 0, ""}, CaptureCase{"F17", 128, 0, ""},
        CaptureCase{"code after 9", 58, 0, ""}, CaptureCase{"Windows key", 91, 0, ""}),
    NameFromWhat{});

TEST_F(SettingsWindow, PressedKeysAreCapturedAndApplyAsksSavesReloadsAndTakesEffectOnClosing) {
  const std::string keys = "[Start]\r\nKey=112\r\n[Small]\r\nKey=113\r\n";
  sim.putFile("Tesmora.ini",
              keys + "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n[FORM]\r\nCLOSE=0\r\n");
  startProgram();
  const std::string callUp = std::to_string(app->com.gintHotKey1Atom);
  inSettingsWindow([&] {
    press(kMinimiseBox, 118);
    sim.click({kSettings, "cmdChancel"});
    EXPECT_FALSE(sim.isFormLoaded(kSettings));
  });
  sim.putFile("Tesmora.ini", keys + "[FORM]\r\nCLOSE=0\r\n");
  sim.clearCalls();
  // Update the file? No; then yes, and the browser dialog is cancelled.
  sim.answerMessageBox(mb::ResultCancel);
  inSettingsWindow([&] {
    EXPECT_EQ(shown(), "F1|F2|10|10") << "the cancelled F7 is gone";
    press(kCallUpBox, 101, 2);
    EXPECT_EQ(text(kCallUpBox), "Ctrl + Num 5");
    press(kCallUpBox, 65);
    EXPECT_EQ(text(kCallUpBox), "Ctrl + Alt + A") << "a letter after a keypad key takes two modifiers";
    press(kMinimiseBox, 114, 3);
    EXPECT_EQ(captured(0), "0/1/1/65") << "a capture in box 1 leaves box 0 alone";
    press(kCallUpBox, 115, 3);
    press(kCallUpBox, 39, 0);  // refused: the name is gone, the capture stays
    sim.type(kCallUpBox, u"x");
    EXPECT_EQ(text(kCallUpBox), "なし");
    EXPECT_EQ(captured(0), "1/0/1/115");
    sim.click(kStaysOpen);
    sim.click(kApply);
    EXPECT_EQ(writes(), "");
    sim.click(kApply);
    EXPECT_EQ(shown(), "Ctrl + Sift + F4|Ctrl + Sift + F3|10|10")
        << "the reload shows what is stored: the save stopped at the browser, before the close choice";
    EXPECT_TRUE(sim.callsTo("registerHotKey").empty()) << "taken up when the window closes";
    std::int16_t key = 65, shift = 0;
    app->setPgm.pfrmSetPgm_txtHotKey_Def_KeyDown(key, shift, 2);
    sim.click({kSettings, "cmdChancel"});
  });
  EXPECT_EQ(messages(),
            (std::vector<std::string>{
                kAskUpdate, kAskUpdate, kAskBrowser,
                "9\r\npfrmSetPgm_txtHotKey_Def_KeyDown\r\nインデックスが有効範囲にありません。"}));
  EXPECT_EQ(writes(),
            "Start.Ctrl=1 Start.Alt=0 Start.shift=1 Start.Key=115 Small.Ctrl=1 Small.Alt=0 Small.shift=1 "
            "Small.Key=114 OPEN_TYPE.TYEP=0 ")
      << "the folder type that the first opening read and the file lost is written";
  // The launcher releases the old keys and takes the new ones up under the same identifiers.
  auto released = sim.callsTo("unregisterHotKey");
  auto registered = sim.callsTo("registerHotKey");
  ASSERT_EQ(released.size(), 2u);
  ASSERT_EQ(registered.size(), 2u);
  EXPECT_EQ(released[0].args[1] + " " + registered[0].str(),
            callUp + " registerHotKey(" + released[0].args[0] + ", " + callUp + ", 6, 115)");
  EXPECT_TRUE(sim.atomExists(u"HOTKEY1")) << "the atom lives as long as its number identifies a hotkey";
  EXPECT_EQ(sim.callsTo("restoreWindowProc").size(), 1u) << "unhooked before hooking again";
  EXPECT_EQ(sim.callsTo("hookWindowProc").size(), 1u);
  EXPECT_EQ(toUtf8(app->com.gstrIeExe), "C:\\IE\\IEXPLORE.EXE")
      << "an item the file lost keeps what was read";
  sim.minimize(FormId::frmPyxtern);
  sim.pressHotKey(hotkeymod::Ctrl | hotkeymod::Shift, 115);
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern) << "the applied call-up key works after Cancel";
  EXPECT_EQ(tabOrder("frmSetPgm"),
            "0:txtHotKey_Def(0) 1:txtHotKey_Def(1) 2:optType(0) 3:optType(1) 4:optTork(0) 5:optTork(1) "
            "6:cmdOK 7:cmdChancel 8:cmdTeki ");
}

struct LoadCase {
  const char* what;
  std::string settings;
  std::string shown;    // as shown()
  std::string written;  // by OK, as writes()
  std::string told{};   // the messages from the start to the load, each followed by "|"
};

class Load : public SettingsWindow, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(Load, ShowsWhatIsStoredAndOkSavesWhatChanged) {
  const LoadCase& c = GetParam();
  sim.putFile("Tesmora.ini", c.settings);
  startProgram();
  sim.clearCalls();
  inSettingsWindow([&] {
    EXPECT_EQ(shown(), c.shown);
    std::string told;
    for (const std::string& message : messages()) told += message + "|";
    EXPECT_EQ(told, c.told);
    sim.click(kOkButton);
    EXPECT_FALSE(sim.isFormLoaded(kSettings)) << "OK closes the window whatever the save did";
  });
  EXPECT_EQ(writes(), c.written);
}

const std::string kOverflow = "6\r\nmSet_Data\r\nオーバーフローしました。|";
const std::string kStartF2 = "[Start]\r\nCtrl=1\r\nshift=1\r\nKey=113\r\n";

const LoadCase kLoads[] = {
    {"everything stored, only the hotkeys are written",
     kStartF2 + "[Small]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=112\r\n[OPEN_TYPE]\r\nTYEP=0\r\n"
                "IE_EXE=C:\\IE\\IEXPLORE.EXE\r\n[FORM]\r\nCLOSE=1\r\n",
     "Ctrl + Sift + F2|Ctrl + Sift + F1|10|01",
     "Start.Ctrl=1 Start.Alt=0 Start.shift=1 Start.Key=113 Small.Ctrl=1 Small.Alt=0 "
     "Small.shift=1 Small.Key=112 "},
    {"a key that is no key code is told and neither shown nor saved",
     kStartF2 + "[Small]\r\nKey=99999999999999999999\r\n" + kTypeOne + "[FORM]\r\nCLOSE=1\r\n",
     "Ctrl + Sift + F2|なし|01|01", "Start.Ctrl=1 Start.Alt=0 Start.shift=1 Start.Key=113 ",
     "6\r\npGet_Small_Atom\r\nオーバーフローしました。|" + kOverflow},
    {"key codes beyond 16 bits are no key codes",
     "[Start]\r\nKey=32768\r\n[Small]\r\nKey=-32769\r\n" + kTypeOne + "[FORM]\r\nCLOSE=0\r\n",
     "なし|なし|01|10", "", kOverflow + kOverflow},
    {"signed key codes", "[Start]\r\nKey=+112\r\n[Small]\r\nKey=-1\r\n" + kTypeOne, "F1|なし|01|10",
     "Start.Ctrl=0 Start.Alt=0 Start.shift=0 Start.Key=112 FORM.CLOSE=0 "},
    {"stored flags go through the capture rules, a section without a key names none",
     "[Start]\r\nCtrl= 1 \r\nAlt=0\r\nshift=0\r\nKey=65\r\n[Small]\r\nCtrl=1\r\n"
     "[OPEN_TYPE]\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n",
     "Ctrl + Alt + A|なし|10|10",
     "Start.Ctrl=1 Start.Alt=1 Start.shift=0 Start.Key=65 OPEN_TYPE.TYEP=0 FORM.CLOSE=0 "},
    {"quoted choices lose their trailing spaces", "[OPEN_TYPE]\r\nTYEP=\"1 \"\r\n[FORM]\r\nCLOSE=\"0 \"\r\n",
     "なし|なし|01|10", ""},
};

INSTANTIATE_TEST_SUITE_P(Files, Load, ::testing::ValuesIn(kLoads), NameFromWhat{});

TEST_F(SettingsWindow, OkAsksForTheBrowserWhileNoneIsKnown) {
  sim.putFile("Tesmora.ini", kTypeOne);
  startProgram();
  auto save = [&] {
    inSettingsWindow([&] {
      sim.click(kIeType);
      sim.click(kStaysOpen);
      sim.click(kOkButton);
      EXPECT_FALSE(sim.isFormLoaded(kSettings)) << "OK closes the window whatever the save did";
    });
  };
  sim.answerMessageBox(mb::ResultCancel);
  save();
  EXPECT_EQ(writes(), "OPEN_TYPE.TYEP=0 ") << "a stopped save keeps the type and drops the close choice";
  sim.answerFileDialog(u"C:\\Fx\\firefox.exe");
  save();
  sim.answerFileDialog(u"C:\\Program Files\\IE\\iexplore.exe");
  save();
  EXPECT_EQ(messages(), std::vector<std::string>(4, kAskBrowser)) << "asked again after another program";
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::OkCancel | mb::Exclamation);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), "各種設定");
  for (const SimCall& dialog : sim.callsTo("fileOpenDialog"))
    EXPECT_EQ(dialog.str(),
              "fileOpenDialog(frmSetPgm.cmdSet, ｱﾌﾟﾘｹｰｼｮﾝ(*.exe)|*.exe|すべて(*.*)|*.*, 1, 4096)");
  EXPECT_EQ(writes(), "OPEN_TYPE.TYEP=0 OPEN_TYPE.IE_EXE=C:\\Program Files\\IE\\iexplore.exe FORM.CLOSE=1 ");
}

TEST_F(SettingsWindow, FailedSavePutsTheFileBackKeepsTheWindowAndTheNextSaveWritesEveryChoice) {
  startProgram();
  inSettingsWindow([&] {
    sim.click(kExploreType);
    sim.failWritesAfter(kTypeOne.size());  // the folder type is written, the close choice is not
    sim.click(kOkButton);
    EXPECT_EQ(settings(), "-") << "the file the save created is removed";
    ASSERT_TRUE(sim.isFormLoaded(kSettings));
    sim.click(kOkButton);
  });
  inSettingsWindow([&] {
    sim.putFile("Tesmora.ini", kTypeOne, attr::ReadOnly);  // the close choice is gone from it too
    sim.click(kStaysOpen);
    sim.click(kOkButton);
    EXPECT_EQ(settings(), kTypeOne);
    ASSERT_TRUE(sim.isFormLoaded(kSettings));
    sim.putFile("Tesmora.ini", kTypeOne);
    sim.click(kOkButton);
  });
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"61\r\npSetIniFileItem\r\nディスクの空き容量が不足しています。",
                                      "75\r\npSetIniFileItem\r\nパス名が無効です。"}));
  EXPECT_EQ(settings(), kTypeOne + "\r\n[FORM]\r\nCLOSE=1\r\n");
}

}  // namespace
}  // namespace pyx::testing
