// The two nested sets of main-window controls that are locked while something must not be
// edited, and the clean-up rule of the list boxes.
#pragma once

#include "app/core/controls.h"
#include "app/core/program.h"

namespace vantrel {

void LockListControls(Program& p);
void UnlockListControls(Program& p);
void LockJobControls(Program& p);
void UnlockJobControls(Program& p);

// Cleans a list box in place: every line in the compare form of file names (lower case where
// names ignore case), lines that are empty or one blank removed.
void NormalizeList(Memo& list);

}  // namespace vantrel
