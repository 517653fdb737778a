// The launcher window: one editable drop-down list for the name and four
// buttons; a popup menu reached by a right click on the window or the tray icon.
#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

using K = ControlKind;
using E = EventKind;

constexpr ControlDecl kControls[] = {
    {"lblFileName", -1, K::Label, u"ファイル名", 870, 390, 795, 180, -1, false, ""},
    {"cmbFileName", -1, K::ComboBox, u"", 1860, 360, 3435, 300, 0, false, ""},
    {"cmdOK", -1, K::Button, u"ＯＫ", 600, 1050, 975, 375, 1, true, ""},
    {"cmdCancel", -1, K::Button, u"キャンセル", 1965, 1050, 975, 375, 2, false, ""},
    {"cmdSanshou", -1, K::Button, u"参照", 3315, 1050, 975, 375, 3, false, ""},
    {"cmdTork", -1, K::Button, u"登録", 4680, 1050, 975, 375, 4, false, ""},
    {"CommonDialog1", -1, K::FileDialog, u"", 0, 0, 0, 0, -1, false, ""},
    {"mnuPopup", -1, K::Menu, u"popup", 0, 0, 0, 0, -1, false, ""},
    {"mnuSet", -1, K::Menu, u"設定", 0, 0, 0, 0, -1, false, "mnuPopup"},
    {"mnuHelp", -1, K::Menu, u"ヘルプ", 0, 0, 0, 0, -1, false, "mnuPopup"},
    {"mnuBlk", -1, K::Menu, u"-", 0, 0, 0, 0, -1, false, "mnuPopup"},
    {"mnuEnd", -1, K::Menu, u"終了", 0, 0, 0, 0, -1, false, "mnuPopup"},
};

void unloadLauncher(Application& app, EventArgs&) {
  app.platform.unloadForm(FormId::frmPyxtern);
}

constexpr EventDecl kEvents[] = {
    {"", E::Load, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_Form_Load(); }},
    {"", E::Activate, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_Form_Activate(); }},
    {"", E::MouseMove,
     [](Application& app, EventArgs& a) {
       app.funcStart.pfrmPyxtern_Form_MouseMove(a.button, a.shift, a.x, a.y);
     }},
    {"", E::MouseDown,
     [](Application& app, EventArgs& a) { app.funcStart.pfrmPyxtern_Form_MouseDown(a.button); }},
    {"", E::QueryUnload, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_Form_QueryUnload(); }},
    {"", E::Resize, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_Form_Resize(); }},
    {"", E::Unload, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_Form_Unload(); }},
    {"cmdOK", E::Click,
     [](Application& app, EventArgs& a) { app.funcStart.pfrmPyxtern_cmdOK_Click(a.shift); }},
    {"", E::FileDropped,
     [](Application& app, EventArgs& a) { app.funcStart.pfrmPyxtern_FileDropped(a.text); }},
    {"", E::OtherCopyStarted,
     [](Application& app, EventArgs& a) { app.funcStart.pfrmPyxtern_OtherCopyStarted(a.text); }},
    {"cmdCancel", E::Click, unloadLauncher},
    {"cmdSanshou", E::Click,
     [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_cmdSanshou_Click(); }},
    {"cmdTork", E::Click, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_cmdTork_Click(); }},
    {"mnuSet", E::Click, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_mnuSet_Click(); }},
    {"mnuHelp", E::Click, [](Application& app, EventArgs&) { app.funcStart.pfrmPyxtern_mnuHelp_Click(); }},
    {"mnuEnd", E::Click, unloadLauncher},
};

}  // namespace

extern const FormDecl kFrmPyxtern{FormId::frmPyxtern, "frmPyxtern", u"ぴくせるん", 5820, 1635, true,
                                  kControls,          kEvents};

}  // namespace pyx
