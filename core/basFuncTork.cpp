#include "core/basFuncTork.h"

#include "core/application.h"
#include "forms/forms.h"

namespace pyx {

namespace {
constexpr FormId kTork = FormId::frmTork;
}

basFuncTork::basFuncTork(Application& app)
    : app_(app), trap_(app.platform, formDeclaration(FormId::frmPyxtern).caption) {}

std::int16_t basFuncTork::pfrmTork_Form_Load() {
  trap_.run(u"pfrmTork_Form_Load", [&] {
    Platform& platform = app_.platform;
    basCom& com = app_.com;
    platform.setDefaultButton({kTork, "cmdTork"});
    platform.setEnabled({kTork, "lstFileName"}, com.gblnOkiniFile);
    platform.setEnabled({kTork, "cmdDelete"}, com.gblnOkiniFile);
    if (!com.pReadOkiniFile({kTork, "lstFileName"}, kTork)) return;
    const char* tabOrder[] = {"txtOkini", "cmdSanshou", "txtPath", "lstFileName",
                              "cmdTork",  "cmdDelete",  "cmdRturn"};
    for (std::int16_t i = 0; i < 7; ++i) platform.setTabIndex({kTork, tabOrder[i]}, i);
    platform.setTabIndex({kTork, "cmdTeis"}, 7);
    platform.setControlText({kTork, "txtPath"}, com.gstrTorkPath);
    com.gstrCommand.clear();
  });
  return kTrue;
}

}  // namespace pyx
