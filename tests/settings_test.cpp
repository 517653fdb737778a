// The settings file "Tesmora.ini": item access, the cut to a byte count, and
// the settings load that registers the hotkeys.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

using ::pyx::testing::PrintTo;

constexpr char kIniTitle[] = "Iniファイル取得処理";

class Settings : public SimTest {
 protected:
  void SetUp() override { startProgram(); }

  void writeSettings(const std::string& utf8, std::uint32_t attributes = attr::Archive) {
    sim.putFile("Tesmora.ini", sim.toAnsi(fromUtf8(utf8)), attributes);
  }
  Text settingsPath() const { return app->com.settingsFilePath(); }

  // Reads one item; returns "status:value".
  std::string read(const std::string& section, const std::string& key, const std::string& defaultText) {
    Text value = u"(untouched)";
    std::int16_t status = app->iniFile.pGetIniFileItem(settingsPath(), fromUtf8(section), fromUtf8(key),
                                                       fromUtf8(defaultText), value);
    return std::to_string(status) + ":" + toUtf8(value);
  }

  // Closes the settings window after `change` and lets the launcher reload.
  void throughSettingsWindow(const std::function<void()>& change) {
    sim.whenModal(FormId::frmSetPgm, [&] {
      change();
      sim.closeWindow(FormId::frmSetPgm);
    });
    sim.whenPopupMenu([&] { sim.chooseMenuItem("mnuSet"); });
    sim.rightClick(FormId::frmPyxtern);
  }

  struct Registration {
    std::int32_t id;
    std::string modifiers, key;
  };
  std::vector<std::string> registrations() const {
    std::vector<std::string> result;
    for (const SimCall& call : sim.callsTo("registerHotKey"))
      result.push_back(call.args[2] + "+" + call.args[3]);
    return result;
  }
};

TEST_F(Settings, ItemReadsFallBackToTheDefault) {
  EXPECT_EQ(read("Start", "Key", ""), "0:") << "no file, empty default";
  EXPECT_EQ(read("Start", "Key", "x"), "-1:x") << "no file, default given";
  writeSettings("[Start]\r\nKey=\r\nCtrl =  1  \r\n[パス]\r\n場所=D:\\作業\\表示\r\n");
  EXPECT_EQ(read("Start", "Key", ""), "0:") << "empty value, empty default";
  EXPECT_EQ(read("Start", "Alt", "d"), "-1:d") << "missing item, default given";
  EXPECT_EQ(read("Start", "Ctrl", ""), "-1:1") << "spaces around the value are removed";
  EXPECT_EQ(read("パス", "場所", ""), "-1:D:\\作業\\表示") << "double-byte values come back whole";
  EXPECT_EQ(read("Missing", "Key", "z"), "-1:z");
}

struct LongValueCase {
  const char* what;
  std::string value;  // UTF-8
  std::string expected;
};

class LongValue : public Settings, public ::testing::WithParamInterface<LongValueCase> {};

TEST_P(LongValue, IsCutToTheBufferWithoutHalfACharacter) {
  writeSettings("[S]\r\nK=" + GetParam().value + "\r\n");
  EXPECT_EQ(read("S", "K", ""), "-1:" + GetParam().expected);
}

std::string repeat(const std::string& s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Buffer, LongValue,
    ::testing::Values(LongValueCase{"ascii_19999", repeat("a", 19999), repeat("a", 19999)},
                      LongValueCase{"ascii_20000", repeat("a", 20000), repeat("a", 19999)},
                      LongValueCase{"ascii_20001", repeat("a", 20001), repeat("a", 19999)},
                      LongValueCase{"cut_between_characters", "a" + repeat("あ", 10000),
                                    "a" + repeat("あ", 9999)},
                      LongValueCase{"cut_through_a_character", repeat("あ", 10000), repeat("あ", 9999)}),
    NameFromWhat{});

TEST_F(Settings, CutToAByteCount) {
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"", 5), u"");
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"abc", 3), u"abc");
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"abc", 99), u"abc");
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"aあい", 4), u"aあ") << "drops the half of い";
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"aあい", 5), u"aあい");
  EXPECT_EQ(app->iniFile.pEditKnjStr(u"あい", 1), u"");
  EXPECT_TRUE(sim.messageBoxes().empty());
}

TEST_F(Settings, WritingCreatesTheFileWithOneItem) {
  EXPECT_EQ(app->iniFile.pSetIniFileItem(settingsPath(), u"FORM", u"CLOSE", u"1"), kTrue);
  EXPECT_EQ(toUtf8(sim.fromAnsi(*sim.fileContent("Tesmora.ini"))), "[FORM]\r\nCLOSE=1\r\n");
  EXPECT_EQ(read("FORM", "CLOSE", ""), "-1:1");
}

struct WriteFailureCase {
  const char* what;
  void (*arrange)(SimDesktop&);
  std::string message;
};

class WriteFailure : public Settings, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailure, IsReportedAndLeavesTheFileAsItWas) {
  const std::string before = "[FORM]\r\nCLOSE=0\r\n";
  writeSettings(before);
  GetParam().arrange(sim);
  EXPECT_EQ(app->iniFile.pSetIniFileItem(settingsPath(), u"FORM", u"CLOSE", u"1"), kFalse);
  ASSERT_EQ(sim.messageBoxes().size(), 1u);
  EXPECT_EQ(messages()[0], GetParam().message);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), kIniTitle);
  EXPECT_EQ(sim.messageBoxes()[0].flags, mb::Critical);
  EXPECT_EQ(*sim.fileContent("Tesmora.ini"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteFailure,
    ::testing::Values(WriteFailureCase{"read_only",
                                       [](SimDesktop& s) {
                                         s.putFile("Tesmora.ini", "[FORM]\r\nCLOSE=0\r\n", attr::ReadOnly);
                                       },
                                       "75\r\npSetIniFileItem\r\nパス名が無効です。"},
                      WriteFailureCase{"disk_full", [](SimDesktop& s) { s.failWritesAfter(4); },
                                       "61\r\npSetIniFileItem\r\nディスクの空き容量が不足しています。"},
                      WriteFailureCase{"permission_denied",
                                       [](SimDesktop& s) { s.denyAccess("Tesmora.ini"); },
                                       "70\r\npSetIniFileItem\r\n書き込みできません。"}),
    NameFromWhat{});

struct HotKeyCase {
  const char* what;
  std::string start;         // body of section [Start]
  std::string registration;  // "modifiers+key", empty: not registered
};

class HotKeyLoad : public SimTest, public ::testing::WithParamInterface<HotKeyCase> {};

TEST_P(HotKeyLoad, TurnsFlagsIntoModifiers) {
  sim.putFile("Tesmora.ini", "[Start]\r\n" + GetParam().start + "[Small]\r\nKey=113\r\n");
  startProgram();
  std::vector<std::string> made;
  for (const SimCall& call : sim.callsTo("registerHotKey")) made.push_back(call.args[2] + "+" + call.args[3]);
  std::vector<std::string> expected;
  if (!GetParam().registration.empty()) expected.push_back(GetParam().registration);
  expected.push_back("0+113");
  EXPECT_EQ(made, expected);
  EXPECT_TRUE(sim.messageBoxes().empty()) << "a missing or empty key is no error";
}

INSTANTIATE_TEST_SUITE_P(
    Modifiers, HotKeyLoad,
    ::testing::Values(HotKeyCase{"ctrl_shift_f1", "Ctrl=1\r\nAlt=0\r\nshift=1\r\nKey=112\r\n", "6+112"},
                      HotKeyCase{"all_three", "Ctrl=1\r\nAlt=1\r\nshift=1\r\nKey=65\r\n", "7+65"},
                      HotKeyCase{"alt_only", "Alt=1\r\nKey=65\r\n", "1+65"},
                      HotKeyCase{"none", "Key=112\r\n", "0+112"},
                      HotKeyCase{"only_exactly_1_counts", "Ctrl=01\r\nAlt=yes\r\nshift=１\r\nKey=112\r\n",
                                 "0+112"},
                      HotKeyCase{"key_names_compare_without_case", "CTRL=1\r\nKEY=112\r\n", "2+112"},
                      HotKeyCase{"missing_key_leaves_it_unregistered", "Ctrl=1\r\n", ""},
                      HotKeyCase{"empty_key_leaves_it_unregistered", "Ctrl=1\r\nKey=\r\n", ""}),
    NameFromWhat{});

TEST(SettingsLoad, KeyThatIsNoKeyCodeIsReportedAndTheRestStillLoads) {
  const struct {
    std::string key, message;
  } cases[] = {{"F1", "13\r\npGet_Start_Atom\r\n型が一致しません。"},
               {"99999999999999999999", "6\r\npGet_Start_Atom\r\nオーバーフローしました。"},
               {std::string(70'000, '7'), "6\r\npGet_Start_Atom\r\nオーバーフローしました。"}};
  for (const auto& c : cases) {
    SimDesktop sim;
    sim.putFile("Tesmora.ini",
                "[Start]\r\nKey=" + c.key + "\r\n[Small]\r\nKey=113\r\n[OPEN_TYPE]\r\nTYEP=0\r\n");
    Application app(sim);
    app.run();
    ASSERT_EQ(sim.messageBoxes().size(), 1u) << c.key.substr(0, 20);
    EXPECT_EQ(toUtf8(sim.messageBoxes()[0].prompt), c.message);
    EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), kIniTitle);
    EXPECT_EQ(sim.callsTo("registerHotKey").size(), 1u);
    EXPECT_EQ(sim.callsTo("hookWindowProc").size(), 1u);
    EXPECT_EQ(toUtf8(app.com.gstrOpenType), "0");
    EXPECT_FALSE(sim.programEnded());
  }
}

TEST(SettingsLoad, HiddenFileCountsAsMissingAndKeepsItsAttributes) {
  SimDesktop sim;
  sim.putFile("Tesmora.ini", "[Start]\r\nKey=112\r\n[OPEN_TYPE]\r\nTYEP=0\r\n",
              attr::Hidden | attr::ReadOnly);
  Application app(sim);
  app.run();
  EXPECT_EQ(sim.registeredHotKeyCount(), 0u);
  EXPECT_TRUE(sim.callsTo("hookWindowProc").empty());
  EXPECT_TRUE(app.com.gstrOpenType.empty());
  EXPECT_EQ(sim.attributesOf("Tesmora.ini"), attr::Hidden | attr::ReadOnly);
}

TEST(SettingsLoad, ReadOnlyFileLosesTheAttributeAndLoads) {
  SimDesktop sim;
  sim.putFile("Tesmora.ini", "[FORM]\r\nCLOSE=1\r\n", attr::ReadOnly | attr::Archive);
  Application app(sim);
  app.run();
  EXPECT_EQ(sim.attributesOf("Tesmora.ini"), attr::Normal);
  EXPECT_EQ(toUtf8(app.com.gstrFormClose), "1");
}

TEST_F(Settings, ChangedKeyTakesEffectWhenTheSettingsWindowCloses) {
  writeSettings(
      "[Start]\r\nKey=112\r\n[Small]\r\nKey=113\r\n[OPEN_TYPE]\r\nTYEP=0\r\nIE_EXE=C:\\IE\\IEXPLORE.EXE\r\n");
  throughSettingsWindow([] {});
  ASSERT_EQ(sim.registeredHotKeyCount(), 2u);
  std::int16_t callUp = app->com.gintHotKey1Atom;
  sim.clearCalls();

  throughSettingsWindow([&] { writeSettings("[Start]\r\nCtrl=1\r\nKey=120\r\n[Small]\r\nKey=113\r\n"); });
  EXPECT_EQ(registrations(), (std::vector<std::string>{"2+120", "0+113"}));
  auto released = sim.callsTo("unregisterHotKey");
  ASSERT_EQ(released.size(), 2u);
  EXPECT_EQ(released[0].args[1], std::to_string(callUp));
  EXPECT_EQ(sim.callsTo("registerHotKey")[0].args[1], std::to_string(callUp)) << "the same identifier again";
  EXPECT_TRUE(sim.atomExists(u"HOTKEY1")) << "the atom lives as long as its number identifies a hotkey";
  EXPECT_EQ(sim.callsTo("hookWindowProc").size(), 1u);
  EXPECT_EQ(sim.callsTo("restoreWindowProc").size(), 1u) << "unhooked before hooking again";
  // Items missing from the new file keep what the last load read.
  EXPECT_EQ(toUtf8(app->com.gstrOpenType), "0");
  EXPECT_EQ(toUtf8(app->com.gstrIeExe), "C:\\IE\\IEXPLORE.EXE");

  sim.pressHotKey(2, 120);
  EXPECT_TRUE(sim.messageBoxes().empty());
}

}  // namespace
}  // namespace pyx::testing
