// The registration window's logic: listing, adding, correcting and deleting
// favourites, with the checks that keep the favourites file readable.
#pragma once

#include <cstdint>

#include "core/error_trap.h"

namespace pyx {

class Application;

class basFuncTork {
 public:
  explicit basFuncTork(Application& app);

  std::int16_t pfrmTork_Form_Load();
  std::int16_t pfrmTork_lstFileName_Click();
  std::int16_t pfrmTork_cmdTork_Click();
  std::int16_t pfrmTork_cmdTeis_Click();
  std::int16_t pfrmTork_cmdDelete_Click();

 private:
  // Fills the list from the favourites file and enables what needs a
  // favourite; false when the file was unreadable and the window closed.
  bool mFillList();
  std::int16_t mRefresh();
  // -1 when the boxes may be stored; 0 after telling the user why not.
  // intChkMode: 0 registering, 1 correcting.
  std::int16_t mChk_Tork(std::int16_t intChkMode);
  // The selected list position, or -1 after asking the user to choose one.
  std::int32_t mSelectedIndex();
  // An input message (OK only, the application's title), then the focus
  // to the box to mend.
  void mTell(const Text& message, ControlRef focus);
  // Closes the window or refreshes it, as the close setting says.
  void mAfterChange();
  // The file changed under a correction or deletion, which wrote nothing.
  void mListChanged();

  Application& app_;
  ErrorTrap trap_;
};

}  // namespace pyx
