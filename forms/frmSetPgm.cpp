// The settings window: the two hotkey boxes, the folder launch type, the
// registration window's close choice and OK / Cancel / Apply.
#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

using K = ControlKind;

constexpr ControlDecl kControls[] = {
    {"fraSet_HotKey", -1, K::Frame, u"ホットキーの設定", 285, 285, 4080, 1185, -1, false, ""},
    {"lblHotKey_Def", -1, K::Label, u"呼出", 255, 330, 360, 180, -1, false, "fraSet_HotKey"},
    {"txtHotKey_Def", 0, K::TextBox, u"Text1", 1065, 278, 2730, 285, 0, false, "fraSet_HotKey", 0, true},
    {"lblHotKey_Min", -1, K::Label, u"最小化", 255, 765, 540, 180, -1, false, "fraSet_HotKey"},
    {"txtHotKey_Def", 1, K::TextBox, u"Text1", 1050, 735, 2730, 285, 1, false, "fraSet_HotKey", 0, true},
    {"fraOpen", -1, K::Frame, u"フォルダ起動タイプ", 300, 1620, 4080, 930, -1, false, ""},
    {"optType", 0, K::OptionButton, u"IEタイプ(初心者向)", 210, 270, 3495, 240, 2, false, "fraOpen"},
    {"optType", 1, K::OptionButton, u"Exploreタイプ(ヘビーユーザー向)", 210, 555, 3495, 240, 3, false,
     "fraOpen"},
    {"fraTork", -1, K::Frame, u"登録画面設定", 300, 2670, 4065, 1275, -1, false, ""},
    {"lblTorkEnd", -1, K::Label, u"登録・訂正・削除後", 255, 255, 1440, 180, -1, false, "fraTork"},
    {"optTork", 0, K::OptionButton, u"登録画面を閉じる", 255, 540, 3150, 180, 4, false, "fraTork"},
    {"optTork", 1, K::OptionButton, u"登録画面を閉じない", 255, 855, 3150, 180, 5, false, "fraTork"},
    {"cmdOK", -1, K::Button, u"OK", 225, 4140, 1350, 360, 6, false, ""},
    {"cmdChancel", -1, K::Button, u"キャンセル", 1665, 4140, 1350, 360, 7, false, ""},
    {"cmdTeki", -1, K::Button, u"適用", 3150, 4140, 1350, 360, 8, false, ""},
    {"cmdSet", -1, K::FileDialog, u"", 0, 0, 0, 0, -1, false, ""},
};

using E = EventKind;

constexpr EventDecl kEvents[] = {
    {"", E::Load, [](Application& app, EventArgs&) { app.setPgm.pfrmSetPgm_Form_Load(); }},
    {"txtHotKey_Def", E::KeyDown,
     [](Application& app, EventArgs& a) {
       app.setPgm.pfrmSetPgm_txtHotKey_Def_KeyDown(a.keyCode, a.shift, a.index);
     }},
    {"txtHotKey_Def", E::Change,
     [](Application& app, EventArgs& a) { app.setPgm.pfrmSetPgm_txtHotKey_Def_Change(a.index); }},
    {"cmdOK", E::Click, [](Application& app, EventArgs&) { app.setPgm.pfrmSetPgm_cmdOK_Click(); }},
    {"cmdChancel", E::Click, [](Application& app, EventArgs&) { app.setPgm.pfrmSetPgm_cmdChancel_Click(); }},
    {"cmdTeki", E::Click, [](Application& app, EventArgs&) { app.setPgm.pfrmSetPgm_cmdTeki_Click(); }},
};

}  // namespace

extern const FormDecl kFrmSetPgm{FormId::frmSetPgm, "frmSetPgm", u"各種設定", 4695, 4605, false,
                                 kControls,         kEvents};

}  // namespace pyx
