// Runs every reader of the program over the tape in the drive: the description, the fast and the
// sequential catalog load, and a restore of everything below `restorePath`. Prompts for another
// tape are answered Cancel.
#pragma once

#include <string>

#include "app/format/catalog.h"
#include "app/format/tape_description.h"
#include "app/restore/restore.h"
#include "tests/support/program_fixture.h"

namespace vantrel::testing {

inline void RunEveryReader(ProgramFixture& fixture, const std::string& restorePath) {
  fixture.ui.okCancelAnswers = {false, false, false, false};
  Program& p = fixture.p();
  GetTapeDescription1Click(p);
  LoadCatalogFast(p);
  p.AbortFlag = false;
  LoadCatalogSequential(p);
  p.AbortFlag = false;
  p.Hauptmenu.restorePage.Edit1.Text = restorePath;
  p.Hauptmenu.restorePage.RadioGroup1.ItemIndex = kOverwriteEver;
  p.Hauptmenu.restorePage.Memo3.Lines = {"/", "\\"};
  RunRestore(p);
}

}  // namespace vantrel::testing
