// The settings window's logic: hotkey capture and naming, loading, applying
// and saving the settings. The window itself is declared (forms/frmSetPgm.cpp)
// and opens from the launcher's menu; its procedures are still to come.
#pragma once

namespace pyx {

class basSetPgm {};

}  // namespace pyx
