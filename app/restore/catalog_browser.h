// The Restore page: loading a tape's catalog into the sorted browse list, the restore list, and
// the choice of the restore path.
#pragma once

#include <string>
#include <vector>

#include "app/core/program.h"

namespace vantrel {

// "&Load Catalog": tape description check, then the fast load.
void Button2Click(Program& p);
// "Load Catalog sequentiell".
void LoadCatalogsequentiell1Click(Program& p);
void load_catalog(Program& p, bool fast);

// The browse list of a catalog listing: every directory that directly holds a listed file, and
// every listed file (as often as it is listed), sorted.
std::vector<std::string> BrowseList(const std::vector<std::string>& paths);

// A double click on the browse list: the selected item becomes the last line of the restore list.
void ListBox2DblClick(Program& p);
// A key released in the restore list.
void Memo3KeyUp(Program& p);

// "Change Restore Path": opens the directory chooser in restore-path mode, or the disk image
// source choice on a disk image tape. Returns true when the chooser is to be shown.
bool BitBtn12Click(Program& p);
// The chooser's "&Add" in restore-path mode: `directory` becomes the restore path.
void SetRestorePath(Program& p, const std::string& directory);

}  // namespace vantrel
