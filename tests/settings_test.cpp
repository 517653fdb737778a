// The settings file "Tesmora.ini": item access, values cut to the read buffer,
// and the settings load that registers the hotkeys or says which it could not.
#include <string>
#include <vector>

#include "tests/sim_fixture.h"

namespace pyx::testing {
namespace {

constexpr char kIniTitle[] = "Iniファイル取得処理";

using Settings = SimTest;

TEST_F(Settings, ItemReadsFallBackToTheDefaultAndAreCutToTheBufferWithoutHalfACharacter) {
  startProgram();
  const std::string as(19999, 'a');                  // as many bytes as the read buffer holds
  const std::string ja = toUtf8(Text(9999, u'あ'));  // one byte fewer
  const std::string file = "[Start]\r\nKey=\r\nCtrl =  1  \r\n[パス]\r\n場所=D:\\作業\\表示\r\n";
  const struct {
    const char* what;
    std::string file, section, key, defaultText;  // UTF-8; the file empty: none (these rows come first)
    std::string expected;                         // status:value
  } cases[] = {
      {"no file, empty default", "", "Start", "Key", "", "0:"},
      {"no file, default given", "", "Start", "Key", "x", "-1:x"},
      {"empty value, empty default", file, "Start", "Key", "", "0:"},
      {"missing item, default given", file, "Start", "Alt", "d", "-1:d"},
      {"missing section", file, "Missing", "Key", "z", "-1:z"},
      {"spaces around the value are removed", file, "Start", "Ctrl", "", "-1:1"},
      {"double-byte values come back whole", file, "パス", "場所", "", "-1:D:\\作業\\表示"},
      {"19999 bytes fit", "[S]\r\nK=" + as, "S", "K", "", "-1:" + as},
      {"20000 bytes do not", "[S]\r\nK=a" + as, "S", "K", "", "-1:" + as},
      {"cut between characters", "[S]\r\nK=a" + ja + "あ", "S", "K", "", "-1:a" + ja},
      {"cut through a character", "[S]\r\nK=" + ja + "あ", "S", "K", "", "-1:" + ja},
  };
  for (const auto& c : cases) {
    if (!c.file.empty()) sim.putFile("Tesmora.ini", sim.toAnsi(fromUtf8(c.file)));
    Text value = u"(untouched)";
    std::int16_t status = app->iniFile.pGetIniFileItem(app->com.settingsFilePath(), fromUtf8(c.section),
                                                       fromUtf8(c.key), fromUtf8(c.defaultText), value);
    EXPECT_EQ(std::to_string(status) + ":" + toUtf8(value), c.expected) << c.what;
  }
}

struct StartCase {
  const char* what;
  std::string start, small;  // the bodies of sections [Start] and [Small]
  std::string registrations;
  std::string message = "";  // at the start; empty: none
};

class StartupLoad : public Settings, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartupLoad, RegistersTheHotkeysAndSaysWhichItCouldNot) {
  const StartCase& c = GetParam();
  sim.takeHotKey(hotkeymod::Ctrl | hotkeymod::Alt, 'A');
  sim.takeHotKey(hotkeymod::Ctrl, 112);
  sim.putFile("Tesmora.ini", sim.toAnsi(fromUtf8("[Start]\r\n" + c.start + "[Small]\r\n" + c.small +
                                                 "[OPEN_TYPE]\r\nTYEP=0\r\n")));
  startProgram();
  std::string registered;  // "modifiers+key " of each registration asked for
  for (const SimCall& call : sim.callsTo("registerHotKey"))
    registered += call.args[2] + "+" + call.args[3] + " ";
  EXPECT_EQ(registered, c.registrations);
  EXPECT_EQ(messages(), c.message.empty() ? std::vector<std::string>() : std::vector{c.message});
  EXPECT_EQ(toUtf8(app->com.gstrOpenType), "0") << "the rest loads";
  EXPECT_EQ(sim.callsTo("hookWindowProc").size(), 1u);
  if (c.message.empty()) return;
  const bool refused = c.message.starts_with("ホットキー");
  EXPECT_EQ(sim.messageBoxes()[0].flags, refused ? mb::Exclamation : mb::Critical);
  EXPECT_EQ(toUtf8(sim.messageBoxes()[0].title), refused ? "ぴくせるん" : kIniTitle);
  inSettingsWindow([] {});
  // Each later load tells again; the settings window's own registers nothing that could be refused.
  EXPECT_EQ(messages().size(), refused ? 2u : 3u);
}

const std::string kRefusedByAnother = "は他のプログラムで使用されているため登録できませんでした。";
const std::string kChooseAnother = "\r\n設定画面で別のキーを指定してください。";

const StartCase kStarts[] = {
    {"all_three_and_a_signed_key_code", "Ctrl=1\r\nAlt=1\r\nshift=1\r\nKey=+65\r\n", "Key=113\r\n",
     "7+65 0+113 "},
    {"only_exactly_1_counts", "Ctrl=01\r\nAlt=yes\r\nshift=１\r\nKey=112\r\n", "Key=113\r\n", "0+112 0+113 "},
    {"a_missing_key_names_no_hotkey", "Ctrl=1\r\n", "Ctrl=1\r\nKey=\r\n", ""},
    {"no_key_code", "Key=F1\r\n", "Key=113\r\n", "0+113 ", "13\r\npGet_Start_Atom\r\n型が一致しません。"},
    {"key_code_overflow", "Key=99999999999999999999\r\n", "Key=113\r\n", "0+113 ",
     "6\r\npGet_Start_Atom\r\nオーバーフローしました。"},
    {"key_code_beyond_the_buffer", "Key=" + std::string(70'000, '7') + "\r\n", "Key=113\r\n", "0+113 ",
     "6\r\npGet_Start_Atom\r\nオーバーフローしました。"},
    {"call_up_held_by_another_program", "Ctrl=1\r\nAlt=1\r\nKey=65\r\n", "Key=113\r\n", "3+65 0+113 ",
     "ホットキー「Ctrl + Alt + A」" + kRefusedByAnother + kChooseAnother},
    {"minimise_held_by_another_program", "Key=113\r\n", "Ctrl=1\r\nKey=112\r\n", "0+113 2+112 ",
     "ホットキー「Ctrl + F1」" + kRefusedByAnother + kChooseAnother},
    {"both_the_same", "Key=96\r\n", "Key=96\r\n", "0+96 0+96 ",
     "ホットキー「Num 0」は呼出と最小化の両方に指定されているため、最小化には登録できませんでした。" +
         kChooseAnother},
};

INSTANTIATE_TEST_SUITE_P(Files, StartupLoad, ::testing::ValuesIn(kStarts), NameFromWhat{});

}  // namespace
}  // namespace pyx::testing
