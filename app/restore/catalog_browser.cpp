#include "app/restore/catalog_browser.h"

#include <unistd.h>

#include <algorithm>
#include <set>
#include <system_error>

#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/catalog.h"
#include "app/format/recorded_path.h"
#include "app/format/tape_description.h"
#include "app/settings/job_file.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"
#include "platform/file_names.h"

namespace vantrel {
namespace {

void FillBrowseList(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  ListBox& list = w.restorePage.ListBox2;
  LedDisplay& progress = w.restorePage.LEDDisplay6;
  std::set<std::string> directories;
  for (const std::string& path : w.FileList_path.Lines) directories.insert(DirectoryPart(path));
  directories.erase("");
  list.Items.clear();
  list.Sorted = false;
  int index = 0;
  for (const std::string& directory : directories) {
    progress.Value = index++;
    list.Items.push_back(directory);
    PumpMessages(p, 1);
  }
  const std::vector<std::string>& files = w.FileList_path.Lines;
  for (size_t i = 0; i < files.size(); ++i) {
    if (i % 500 == 0) {
      progress.Value = static_cast<double>(i);
      PumpMessages(p, 1);
    }
    list.Items.push_back(files[i]);
  }
  progress.Value = static_cast<double>(list.Items.size());
  PumpMessages(p, 1);
  std::sort(list.Items.begin(), list.Items.end());
  list.Sorted = true;
  PumpMessages(p, 1);
}

}  // namespace

std::vector<std::string> BrowseList(const std::vector<std::string>& paths) {
  std::set<std::string> directories;
  for (const std::string& path : paths) directories.insert(DirectoryPart(path));
  directories.erase("");
  std::vector<std::string> items(directories.begin(), directories.end());
  items.insert(items.end(), paths.begin(), paths.end());
  std::sort(items.begin(), items.end());
  return items;
}

void load_catalog(Program& p, bool fast) {
  THauptmenu& w = p.Hauptmenu;
  p.AbortFlag = false;
  w.CatalogLoaded = false;
  w.ActivePageIndex = kRestorePage;
  LockJobControls(p);
  double start = NowDateTime();
  SetTapeParameters1Click(p);
  bool busy = BeginBusyCursor(p);
  PumpMessages(p, 10);
  w.restorePage.Memo3.Lines.clear();
  try {
    if (fast) {
      LoadCatalogFast(p);
    } else {
      LoadCatalogSequential(p);
    }
  } catch (const std::exception& e) {
    w.FileList_path.Lines.clear();
    w.FileList_date.Lines.clear();
  }
  w.restorePage.Memo3.Lines.clear();
  ShowStatus(p, "Calculating Filetree");
  PumpMessages(p, 10);
  FillBrowseList(p);
  unlink(w.CatalogPath.c_str());
  unlink(w.ScratchZipPath.c_str());
  EndBusyCursor(p, busy);
  if (!w.restorePage.ListBox2.Items.empty()) {
    ShowStatus(p, "Catalog created in " + TimeToText(NowDateTime() - start));
    w.CatalogLoaded = true;
  } else {
    ShowStatus(p, "Catalog could not load!");
    p.ui.ShowMessage(
        "Catalog could not created. Please try to <Load Catalog sequentiell> from Restore Menu "
        "!!!");
  }
  UnlockJobControls(p);
}

void Button2Click(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  w.JobRunning = true;
  GetTapeDescription1Click(p);
  if (w.tapeDescription.TapeLabel == "Disk") {
    if (p.hooks.PrepareDiskRestore) {
      p.hooks.PrepareDiskRestore();
    } else {
      p.ui.ShowMessage("Disk images are not part of this build.");
    }
  } else {
    w.restorePage.Edit8.Text.clear();
    w.restorePage.Edit8.Visible = false;
    w.restorePage.Label11.Caption = "Restore List";
    load_catalog(p, true);
  }
  w.JobRunning = false;
}

void LoadCatalogsequentiell1Click(Program& p) { load_catalog(p, false); }

void ListBox2DblClick(Program& p) {
  RestorePageControls& r = p.Hauptmenu.restorePage;
  NormalizeList(r.Memo3);
  if (r.ListBox2.ItemIndex < 0 || r.ListBox2.ItemIndex >= static_cast<int>(r.ListBox2.Items.size())) {
    return;
  }
  r.Memo3.Lines.push_back(r.ListBox2.Items[r.ListBox2.ItemIndex]);
}

void Memo3KeyUp(Program& p) { NormalizeList(p.Hauptmenu.restorePage.Memo3); }

bool BitBtn12Click(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  GetTapeDescription1Click(p);
  if (w.tapeDescription.TapeLabel == "Disk") {
    if (p.hooks.PrepareDiskRestore) p.hooks.PrepareDiskRestore();
    return false;
  }
  w.FileSelectForBackup = false;
  w.ActivePageIndex = kRestorePage;
  return true;
}

void SetRestorePath(Program& p, const std::string& directory) {
  std::string path = FoldCase(directory);
  if (!path.empty() && path.back() != '/') path += '/';
  p.Hauptmenu.restorePage.Edit1.Text = path;
  SpinEdit1Change(p);
}

}  // namespace vantrel
