// The settings window: capturing and naming hotkeys, loading and saving the
// settings file, and hotkeys that the system refuses.
#include <functional>
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
constexpr char kAskBrowser[] = "インターネットエクスプローラーを選択して下さい";
constexpr char kFullSettings[] =
    "[Start]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=112\r\n[Small]\r\nCtrl=1\r\nAlt=0\r\nshift=1\r\nKey=113\r\n"
    "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n[FORM]\r\nCLOSE=1\r\n";

class SettingsWindow : public SimTest {
 protected:
  // Opens the settings window from the launcher's menu and runs `steps` in
  // it; returns once it has closed and the launcher has reloaded.
  void inSettingsWindow(std::function<void()> steps) {
    sim.whenModal(kSettings, std::move(steps));
    sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuSet"); });
    sim.rightClick(FormId::frmPyxtern);
  }
  void press(ControlRef box, std::int16_t key, std::int16_t shift = 0) {
    sim.click(box);
    sim.pressKey(key, shift);
  }
  std::string text(ControlRef box) const { return toUtf8(sim.controlText(box)); }
  // "shift/alt/ctrl/key" as captured for box `i`.
  std::string captured(std::size_t i) const {
    const basSetPgm& s = app->setPgm;
    return toUtf8(s.mstrHotShift[i] + u"/" + s.mstrHotAlt[i] + u"/" + s.mstrHotCtrl[i] + u"/" +
                  s.mstrHotKey[i]);
  }
  // "section.key=value" of every write to the settings file, in order.
  std::vector<std::string> writes() const {
    std::vector<std::string> result;
    for (const SimCall& call : sim.callsTo("writePrivateProfileString"))
      result.push_back(call.args[0] + "." + call.args[1] + "=" + call.args[2]);
    return result;
  }
  std::string settings() const { return toUtf8(sim.fromAnsi(sim.fileContent("Tesmora.ini").value_or("-"))); }
};

// ---------------------------------------------------------------- capture

struct CaptureCase {
  const char* what;
  std::int16_t key, shift;  // shift: 1 Shift, 2 Ctrl, 4 Alt
  std::string name;         // empty: refused
  std::string flags;        // shift/alt/ctrl/key
};

class Capture : public SettingsWindow, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(Capture, NamesAndRecordsTheCombinationOrRefusesTheKey) {
  const CaptureCase& c = GetParam();
  sim.putFile("Tesmora.ini", "[Start]\r\nCtrl=1\r\nAlt=1\r\nKey=112\r\n");
  startProgram();
  inSettingsWindow([&] {
    ASSERT_EQ(text(kCallUpBox), "Ctrl + Alt + F1");
    std::int16_t key = c.key, shift = c.shift;
    app->setPgm.pfrmSetPgm_txtHotKey_Def_KeyDown(key, shift, 0);
    if (c.name.empty()) {
      EXPECT_EQ(key + shift, 0) << "a refused key is swallowed";
      EXPECT_EQ(text(kCallUpBox), "Ctrl + Alt + F1");
      EXPECT_EQ(captured(0), "0/1/1/112") << "the earlier capture stays";
    } else {
      EXPECT_EQ(text(kCallUpBox), c.name);
      EXPECT_EQ(captured(0), c.flags);
    }
    EXPECT_EQ(captured(1), "///") << "the other box is untouched";
  });
  EXPECT_TRUE(sim.messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Capture,
    ::testing::Values(CaptureCase{"F5 alone", 116, 0, "F5", "0/0/0/116"},
                      CaptureCase{"F16", 127, 0, "F16", "0/0/0/127"},
                      CaptureCase{"A alone", 65, 0, "Ctrl + Alt + A", "0/1/1/65"},
                      CaptureCase{"Shift A", 65, 1, "Ctrl + Alt + A", "0/1/1/65"},
                      CaptureCase{"Ctrl A", 65, 2, "Ctrl + Alt + A", "0/1/1/65"},
                      CaptureCase{"Alt A", 65, 4, "Ctrl + Alt + A", "0/1/1/65"},
                      CaptureCase{"Ctrl Alt A", 65, 6, "Ctrl + Alt + A", "0/1/1/65"},
                      CaptureCase{"Ctrl Shift F1", 112, 3, "Ctrl + Sift + F1", "1/0/1/112"},
                      CaptureCase{"Alt Shift 7", 55, 5, "Sift + Alt + 7", "1/1/0/55"},
                      CaptureCase{"all three Z", 90, 7, "Ctrl + Alt + Sift + Z", "1/1/1/90"},
                      CaptureCase{"Shift F3", 114, 1, "Ctrl + Alt + F3", "0/1/1/114"},
                      CaptureCase{"Ctrl keypad 5", 101, 2, "Ctrl + Num 5", "0/0/1/101"},
                      CaptureCase{"Alt keypad 5", 101, 4, "Alt + Num 5", "0/1/0/101"},
                      CaptureCase{"Shift keypad 0", 96, 1, "Ctrl + Alt + Num 0", "0/1/1/96"},
                      CaptureCase{"Ctrl main 5", 53, 2, "Ctrl + Alt + 5", "0/1/1/53"},
                      CaptureCase{"keypad point alone", 110, 0, ".", "0/0/0/110"},
                      CaptureCase{"keypad star plus minus slash", 106, 3, "Ctrl + Sift + *", "1/0/1/106"},
                      CaptureCase{"keypad separator", 108, 2, "", ""},
                      CaptureCase{"left arrow", 37, 2, "", ""}, CaptureCase{"down arrow", 40, 0, "", ""},
                      CaptureCase{"Shift alone", 16, 1, "", ""}, CaptureCase{"Ctrl alone", 17, 2, "", ""},
                      CaptureCase{"Alt alone", 18, 4, "", ""}, CaptureCase{"Enter", 13, 0, "", ""},
                      CaptureCase{"Space", 32, 0, "", ""}, CaptureCase{"F17", 128, 0, "", ""}),
    NameFromWhat{});

TEST_F(SettingsWindow, KeysPressedInTheBoxesAreCapturedAndTypedTextBecomesNone) {
  startProgram();
  inSettingsWindow([&] {
    EXPECT_EQ(text(kCallUpBox) + "|" + text(kMinimiseBox), "なし|なし") << "no settings file yet";
    press(kCallUpBox, 113, 2);
    EXPECT_EQ(text(kCallUpBox), "Ctrl + Alt + F2");
    press(kMinimiseBox, 114, 3);
    EXPECT_EQ(text(kMinimiseBox), "Ctrl + Sift + F3");
    EXPECT_EQ(captured(0), "0/1/1/113") << "a capture in box 1 leaves box 0 alone";
    press(kCallUpBox, 113, 0);
    EXPECT_EQ(captured(0), "0/0/0/113") << "F2 alone after Ctrl + Alt + F1 clears the flags";
    press(kCallUpBox, 39, 0);  // refused: the name is gone, the capture stays
    sim.type(kCallUpBox, u"x");
    EXPECT_EQ(text(kCallUpBox), "なし");
    EXPECT_EQ(captured(0), "0/0/0/113");
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_EQ(writes(), (std::vector<std::string>{"Start.Ctrl=0", "Start.Alt=0", "Start.shift=0",
                                                "Start.Key=113", "Small.Ctrl=1", "Small.Alt=0",
                                                "Small.shift=1", "Small.Key=114", "OPEN_TYPE.TYEP=0"}))
      << "a box showing なし still saves its capture; the browser question was cancelled";
  EXPECT_EQ(sim.registeredHotKeyCount(), 2u) << "the launcher takes the new keys up at once";
}

// ---------------------------------------------------------------- load and save

TEST_F(SettingsWindow, BoxesShowOnlyTheKeysTheyWillSave) {
  startProgram();
  inSettingsWindow([&] {
    press(kMinimiseBox, 118);
    sim.click({kSettings, "cmdChancel"});
  });
  inSettingsWindow([&] {
    EXPECT_EQ(text(kCallUpBox) + "|" + text(kMinimiseBox), "なし|なし") << "the cancelled F7 is gone";
  });
  sim.putFile("Tesmora.ini", "[Start]\r\nKey=116\r\n[Small]\r\nCtrl=1\r\n[OPEN_TYPE]\r\nTYEP=1\r\n");
  sim.clearCalls();
  inSettingsWindow([&] {
    EXPECT_EQ(text(kCallUpBox) + "|" + text(kMinimiseBox), "F5|なし") << "a section without a key";
    EXPECT_TRUE(sim.optionValue(kExploreType)) << "the rest of the load goes on";
    EXPECT_TRUE(sim.optionValue(kCloses));
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_TRUE(sim.messageBoxes().empty());
  EXPECT_EQ(writes(), (std::vector<std::string>{"Start.Ctrl=0", "Start.Alt=0", "Start.shift=0",
                                                "Start.Key=116", "FORM.CLOSE=0"}))
      << "nothing for a box without a key";
}

TEST_F(SettingsWindow, StoredKeyThatIsNoKeyCodeIsReportedAndTheRestLoads) {
  sim.putFile(
      "Tesmora.ini",
      "[Start]\r\nCtrl=1\r\nshift=1\r\nKey=113\r\n[Small]\r\nKey=99999999999999999999\r\n[OPEN_TYPE]\r\n"
      "TYEP=1\r\n[FORM]\r\nCLOSE=1\r\n");
  startProgram();
  inSettingsWindow([&] {
    ASSERT_EQ(messages(), (std::vector<std::string>{"6\r\npGet_Small_Atom\r\nオーバーフローしました。",
                                                    "6\r\nmSet_Data\r\nオーバーフローしました。"}));
    EXPECT_EQ(text(kCallUpBox) + "|" + text(kMinimiseBox), "Ctrl + Sift + F2|なし");
    EXPECT_TRUE(sim.optionValue(kExploreType));
    EXPECT_TRUE(sim.optionValue(kStaysOpen));
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_EQ(writes(),
            (std::vector<std::string>{"Start.Ctrl=1", "Start.Alt=0", "Start.shift=1", "Start.Key=113"}))
      << "the unusable key and the loaded choices stay as they are";
}

TEST_F(SettingsWindow, SaveWithoutChangesWritesOnlyTheHotkeysAndTheLoadedFormIsShown) {
  sim.putFile("Tesmora.ini", kFullSettings);
  startProgram();
  inSettingsWindow([&] {
    EXPECT_EQ(text(kCallUpBox) + "|" + text(kMinimiseBox), "Ctrl + Sift + F1|Ctrl + Sift + F2");
    EXPECT_TRUE(sim.optionValue(kIeType));
    EXPECT_TRUE(sim.optionValue(kStaysOpen));
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_TRUE(sim.messageBoxes().empty()) << "the browser is known: no question";
  EXPECT_EQ(writes().size(), 8u);
}

TEST_F(SettingsWindow, StoredCombinationIsShownAndSavedAsTheCaptureRulesHaveIt) {
  sim.putFile("Tesmora.ini", "[Start]\r\nCtrl= 1 \r\nAlt=0\r\nshift=0\r\nKey=65\r\n[Small]\r\nKey=38\r\n");
  startProgram();
  inSettingsWindow([&] {
    EXPECT_EQ(text(kCallUpBox), "Ctrl + Alt + A");
    EXPECT_EQ(text(kMinimiseBox), "なし") << "a stored key the capture refuses is not saved";
    sim.click(kExploreType);
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_EQ(writes(), (std::vector<std::string>{"Start.Ctrl=1", "Start.Alt=1", "Start.shift=0",
                                                "Start.Key=65", "OPEN_TYPE.TYEP=1", "FORM.CLOSE=0"}));
}

struct BrowserCase {
  const char* what;
  std::vector<std::int32_t> answers;  // to the question(s)
  std::string chosen;                 // in the file dialog; empty: cancelled
  int questions;
  std::string browserWritten;  // empty: none
};

class BrowserQuestion : public SettingsWindow, public ::testing::WithParamInterface<BrowserCase> {};

TEST_P(BrowserQuestion, AsksForTheBrowserWhileNoneIsKnown) {
  const BrowserCase& c = GetParam();
  sim.putFile("Tesmora.ini", "[OPEN_TYPE]\r\nTYEP=1\r\n");
  startProgram();
  for (std::int32_t answer : c.answers) sim.answerMessageBox(answer);
  if (!c.chosen.empty()) sim.answerFileDialog(fromUtf8(c.chosen));
  inSettingsWindow([&] {
    sim.click(kIeType);
    sim.click(kStaysOpen);
    sim.click({kSettings, "cmdOK"});
  });
  ASSERT_EQ(messages(), std::vector<std::string>(static_cast<std::size_t>(c.questions), kAskBrowser));
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::OkCancel | mb::Exclamation);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), "各種設定");
  std::vector<std::string> expected{"OPEN_TYPE.TYEP=0"};
  if (!c.browserWritten.empty())
    expected.insert(expected.end(), {"OPEN_TYPE.IE_EXE=" + c.browserWritten, "FORM.CLOSE=1"});
  EXPECT_EQ(writes(), expected) << "a stopped save keeps the type and drops the close choice";
  EXPECT_FALSE(sim.isFormLoaded(kSettings)) << "OK closes the window whatever the save did";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BrowserQuestion,
    ::testing::Values(
        BrowserCase{"cancel_at_the_question", {mb::ResultCancel}, "", 1, ""},
        BrowserCase{"dialog_cancelled", {mb::ResultOk}, "", 1, ""},
        BrowserCase{"browser_chosen", {mb::ResultOk}, "C:\\IE\\IEXPLORE.EXE", 1, "C:\\IE\\IEXPLORE.EXE"},
        BrowserCase{"lower_case_file_name",
                    {mb::ResultOk},
                    "C:\\Program Files\\IE\\iexplore.exe",
                    1,
                    "C:\\Program Files\\IE\\iexplore.exe"},
        BrowserCase{
            "another_program_asks_again", {mb::ResultOk, mb::ResultOk}, "C:\\Fx\\firefox.exe", 2, ""}),
    NameFromWhat{});

TEST_F(SettingsWindow, CancelAtTheBrowserQuestionDuringApplyKeepsTheWindowAndReloadsIt) {
  sim.putFile("Tesmora.ini", "[OPEN_TYPE]\r\nTYEP=1\r\n[FORM]\r\nCLOSE=0\r\n");
  startProgram();
  sim.answerMessageBox(mb::ResultOk);      // update the file? yes
  sim.answerMessageBox(mb::ResultCancel);  // choose the browser? no
  inSettingsWindow([&] {
    sim.click(kIeType);
    sim.click(kStaysOpen);
    sim.click({kSettings, "cmdTeki"});
    EXPECT_TRUE(sim.isFormLoaded(kSettings));
    EXPECT_TRUE(sim.optionValue(kIeType));
    EXPECT_TRUE(sim.optionValue(kCloses)) << "the reload shows the close choice as stored";
  });
  EXPECT_EQ(writes(), std::vector<std::string>{"OPEN_TYPE.TYEP=0"});
}

TEST_F(SettingsWindow, SaveThatFailsPartWayPutsTheFileBackAndTheNextSaveWritesEveryChoice) {
  const std::string before = "[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n";
  sim.putFile("Tesmora.ini", before);
  startProgram();
  inSettingsWindow([&] {
    sim.click(kExploreType);
    sim.failWritesAfter(before.size());  // the folder type is written, the close setting is not
    sim.click({kSettings, "cmdOK"});
    EXPECT_EQ(settings(), before);
    ASSERT_TRUE(sim.isFormLoaded(kSettings));
    sim.click({kSettings, "cmdOK"});
  });
  EXPECT_EQ(messages(),
            std::vector<std::string>{"61\r\npSetIniFileItem\r\nディスクの空き容量が不足しています。"});
  EXPECT_EQ(settings(), "[OPEN_TYPE]\r\nTYEP=1\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n\r\n[FORM]\r\nCLOSE=0\r\n");
}

TEST_F(SettingsWindow, ApplyAsksFirstKeepsTheWindowAndTakesEffectWhenItCloses) {
  sim.putFile("Tesmora.ini", kFullSettings);
  startProgram();
  sim.answerMessageBox(mb::ResultCancel);  // "update?" no
  sim.answerMessageBox(mb::ResultOk);      // "update?" yes
  inSettingsWindow([&] {
    press(kCallUpBox, 115, 3);
    sim.click({kSettings, "cmdTeki"});
    EXPECT_TRUE(writes().empty());
    sim.click({kSettings, "cmdTeki"});
    EXPECT_TRUE(sim.isFormLoaded(kSettings));
    EXPECT_EQ(text(kCallUpBox), "Ctrl + Sift + F4");
    EXPECT_EQ(sim.registeredHotKeyCount(), 2u);
    sim.click({kSettings, "cmdChancel"});
  });
  EXPECT_EQ(messages(), std::vector<std::string>(2, "設定ファイルを更新しますか？"));
  sim.minimize(FormId::frmPyxtern);
  sim.pressHotKey(hotkeymod::Ctrl | hotkeymod::Shift, 115);
  EXPECT_EQ(sim.activeForm(), FormId::frmPyxtern) << "the applied call-up key works after Cancel";
}

// ---------------------------------------------------------------- refused hotkeys

struct RefusedCase {
  const char* what;
  std::string settings;
  std::string message;
};

class RefusedHotKey : public SettingsWindow, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedHotKey, IsToldOnceAndTheRestLoads) {
  sim.takeHotKey(hotkeymod::Ctrl | hotkeymod::Alt, 'A');
  sim.putFile("Tesmora.ini", GetParam().settings + "[FORM]\r\nCLOSE=0\r\n");
  startProgram();
  ASSERT_EQ(messages(), std::vector<std::string>{GetParam().message});
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Exclamation);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), "ぴくせるん");
  EXPECT_EQ(toUtf8(app->com.gstrFormClose), "0");
  EXPECT_EQ(sim.callsTo("hookWindowProc").size(), 1u);
  inSettingsWindow([] {});
  EXPECT_EQ(messages().size(), 2u) << "told again after the settings window";
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RefusedHotKey,
    ::testing::Values(
        RefusedCase{"held_by_another_program",
                    "[Start]\r\nCtrl=1\r\nAlt=1\r\nKey=65\r\n[Small]\r\nKey=113\r\n",
                    "ホットキー「Ctrl + Alt + A」は他のプログラムで使用されているため登録できませんでした。"
                    "\r\n設定画面で別のキーを指定してください。"},
        RefusedCase{
            "both_the_same", "[Start]\r\nKey=113\r\n[Small]\r\nKey=113\r\n",
            "ホットキー「F2」は呼出と最小化の両方に指定されているため、最小化には登録できませんでした。"
            "\r\n設定画面で別のキーを指定してください。"}),
    NameFromWhat{});

}  // namespace
}  // namespace pyx::testing
