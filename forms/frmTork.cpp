// The registration window: name and path boxes, the list of registered names
// and the register / correct / delete / back buttons.
#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {

using K = ControlKind;
using E = EventKind;

constexpr ControlDecl kControls[] = {
    {"blnOkini", -1, K::Label, u"お気に入り", 300, 270, 825, 180, -1, false, ""},
    {"txtOkini", -1, K::TextBox, u"", 1350, 225, 1710, 270, 0, false, "", kNameLength},
    {"cmdSanshou", -1, K::Button, u"参照", 3330, 180, 975, 375, 1, false, ""},
    {"lblPath", -1, K::Label, u"パス名", 300, 660, 525, 180, -1, false, ""},
    {"txtPath", -1, K::TextBox, u"", 1350, 615, 3975, 270, 2, false, ""},
    {"lstFileName", -1, K::ListBox, u"", 300, 1140, 5025, 1140, 3, false, ""},
    {"cmdTork", -1, K::Button, u"登録", 270, 2520, 975, 375, 4, true, ""},
    {"cmdTeis", -1, K::Button, u"訂正", 1395, 2520, 975, 375, 7, false, ""},
    {"cmdDelete", -1, K::Button, u"削除", 2520, 2520, 975, 375, 5, false, ""},
    {"cmdRturn", -1, K::Button, u"戻る", 4305, 2520, 975, 375, 6, false, ""},
    {"comTork", -1, K::FileDialog, u"", 0, 0, 0, 0, -1, false, ""},
};

constexpr EventDecl kEvents[] = {
    {"", E::Load, [](Application& app, EventArgs&) { app.funcTork.pfrmTork_Form_Load(); }},
    {"cmdSanshou", E::Click, [](Application& app, EventArgs&) { app.funcStart.pfrmTork_cmdSanshou_Click(); }},
    {"lstFileName", E::Click,
     [](Application& app, EventArgs&) { app.funcTork.pfrmTork_lstFileName_Click(); }},
    {"cmdTork", E::Click, [](Application& app, EventArgs&) { app.funcTork.pfrmTork_cmdTork_Click(); }},
    {"cmdTeis", E::Click, [](Application& app, EventArgs&) { app.funcTork.pfrmTork_cmdTeis_Click(); }},
    {"cmdDelete", E::Click, [](Application& app, EventArgs&) { app.funcTork.pfrmTork_cmdDelete_Click(); }},
    {"cmdRturn", E::Click, [](Application& app, EventArgs&) { app.platform.unloadForm(FormId::frmTork); }},
    // A file or folder dropped on the window is the path to register.
    {"", E::FileDropped,
     [](Application& app, EventArgs& a) {
       app.platform.setControlText({FormId::frmTork, "txtPath"}, a.text);
     }},
};

}  // namespace

extern const FormDecl kFrmTork{FormId::frmTork, "frmTork", u"登録", 5475, 3060, false, kControls, kEvents};

}  // namespace pyx
