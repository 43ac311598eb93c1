#include "app/backup/backup_job.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/backup/backup_walker.h"
#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/catalog.h"
#include "app/format/tape_description.h"
#include "app/restore/verify.h"
#include "app/settings/external_programs.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"

namespace vantrel {
namespace {

void StartJob(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  NormalizeList(w.backupPage.Memo1);
  NormalizeList(w.backupPage.Memo5);
  w.EmailMessageText.clear();
  w.JobRunning = true;
  p.AbortFlag = false;
  w.ActivePageIndex = kBackupPage;
  for (LedDisplay* d : {&w.backupPage.LEDDisplay1, &w.backupPage.LEDDisplay2,
                        &w.backupPage.LEDDisplay5, &w.backupPage.LEDDisplay8}) {
    d->Value = 0;
  }
  p.FilesProcessed = 0;
  w.JobStartTime = std::fmod(NowDateTime(), 1.0) - 1.0 / kSecondsPerDay;
  w.BytesBackedUp = 0;
  w.StreamBytes = 0;
}

// A whole-disk entry turns the job into a disk image backup.
bool IsDiskEntry(const std::string& line) {
  std::string head = line.substr(0, 8);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return head == "harddisk";
}

void WalkBackupList(Program& p, std::unique_ptr<CatalogFile>& catalog) {
  THauptmenu& w = p.Hauptmenu;
  const std::vector<std::string>& list = w.backupPage.Memo5.Lines;
  bool compress = w.optionsPage.CheckBox4.Checked;
  if (w.optionsPage.CheckBox2.Checked && w.DescriptionValid) {
    SAVE_FILES_TO_TAPE(p, list[0], catalog, compress, EntryMode::kAppend);
  } else {
    TapeDescription& d = w.tapeDescription;
    d.TapeLabel = "Tape";
    d.SetDate = NowDateTime();
    d.TapeNumber = 1;
    WriteTapeDescription(p, d);
    SAVE_FILES_TO_TAPE(p, list[0], catalog, compress, EntryMode::kNewTapeSet);
  }
  PumpMessages(p, 1);
  for (size_t i = 1; i < list.size(); ++i) {
    SAVE_FILES_TO_TAPE(p, list[i], catalog, compress, EntryMode::kFurther);
    PumpMessages(p, 1);
  }
}

// The catalog goes to tape also after a cancel; returns whether the job had been cancelled.
bool WriteCatalogToTape(Program& p, std::unique_ptr<CatalogFile>& catalog) {
  bool cancelled = p.AbortFlag;
  if (!catalog) return cancelled;
  catalog.reset();
  if (p.StreamFailed) {
    AppendProtocolLine(p, "The catalog could not be written: the tape stream ended with an error.");
    return cancelled;
  }
  BlockPosition saved = p.StreamPosition;
  p.AbortFlag = false;
  // The catalog file goes to tape like any other file, and a further cancel does not stop it:
  // without it and its trailer the set could only be read sequentially.
  TapeHandle handle = OpenTape(p);
  if (handle) {
    BackupFile(p, p.Hauptmenu.CatalogPath, handle, p.Hauptmenu.optionsPage.CheckBox4.Checked,
               nullptr);
    CloseTape(p, handle, 1);
  }
  PumpMessages(p, 10);
  WriteCatalogTrailer(p, saved);
  return cancelled || p.AbortFlag;
}

void WriteSummary(Program& p, double start) {
  THauptmenu& w = p.Hauptmenu;
  double now = NowDateTime();
  std::string finish = "Backup finished at: " + DateTimeToText(now) +
                       "  Elapsed Time: " + TimeToText(now - start) + "  <" +
                       std::to_string(w.BytesBackedUp / 1048576) + "MB>";
  ShowStatus(p, finish);
  AppendProtocolLine(p, "");
  w.backupPage.LEDDisplay5.Value = static_cast<double>(p.FilesProcessed);
  for (const std::string& line : BackupSummary(p)) AppendProtocolLine(p, line);
  AppendProtocolLine(p, "");
  AppendProtocolLine(p, finish);
}

void FollowUp(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  OptionsPageControls& o = w.optionsPage;
  if (!p.AbortFlag && o.CheckBox5.Checked) RunVerify(p);
  w.ActivePageIndex = kProtocolPage;
  if (!p.AbortFlag && o.CheckBox6.Checked) EjectTape(p, false);
  if (!o.Edit6.Text.empty() && !RunJobProgram(p, o.Edit6, o.Edit7)) {
    p.AbortFlag = true;
    AppendProtocolLines(p, {"", ProtocolSeparator(), "", "Error in after Backup Parameter", ""});
  }
  if (o.CheckBox8.Checked) {
    if (p.hooks.SendBtnClick) {
      p.hooks.SendBtnClick();
    } else {
      AppendProtocolLine(p, "The e-mail report is not part of this build; no mail was sent.");
    }
  }
  if (!p.AbortFlag && o.CheckBox7.Checked) p.ExitRequested = true;
}

}  // namespace

std::string GeneralNumberText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::vector<std::string> BackupSummary(const Program& p) {
  const BackupPageControls& b = p.Hauptmenu.backupPage;
  return {GeneralNumberText(b.LEDDisplay5.Value) + " Files proceded.",
          GeneralNumberText(b.LEDDisplay8.Value) + " Files skipped.",
          GeneralNumberText(b.LEDDisplay1.Value) + " MB proceded.",
          GeneralNumberText(b.LEDDisplay2.Value) + " Compressed MB proceded.",
          GeneralNumberText(b.LEDDisplay9.Value) + " MB/s"};
}

void BitBtn1Click(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  OptionsPageControls& o = w.optionsPage;
  StartJob(p);
  double start = NowDateTime();
  LockJobControls(p);
  bool busy = BeginBusyCursor(p);
  AppendProtocolLines(p, {"", ProtocolSeparator(), "", "Backup started at: " + DateTimeToText(start), ""});
  if (!o.Edit4.Text.empty() && !RunJobProgram(p, o.Edit4, o.Edit5)) {
    EndBusyCursor(p, busy);
    UnlockJobControls(p);
    w.JobRunning = false;
    AppendProtocolLines(p, {"", ProtocolSeparator(), "", "Error in before Backup Parameter", ""});
    p.AbortFlag = true;
    if (o.CheckBox10.Checked && p.hooks.CheckfornewerVersions) p.hooks.CheckfornewerVersions(false);
    return;
  }
  bool cancelled = false;
  const std::vector<std::string>& list = w.backupPage.Memo5.Lines;
  if (list.empty()) {
    // Never walk whatever directory the program happens to run in.
    AppendProtocolLine(p, "Nothing to back up: the backup list is empty. No tape was written.");
    cancelled = true;
  } else if (IsDiskEntry(list[0])) {
    if (p.hooks.DiskImageBackup) {
      p.hooks.DiskImageBackup(std::atoi(list[0].c_str() + 8));
    } else {
      AppendProtocolLine(p, "Disk images are not part of this build; nothing was written.");
      cancelled = true;
    }
  } else {
    TapeHandle probe = OpenTape(p);
    if (probe) {
      CloseTape(p, probe, 1);
      std::unique_ptr<CatalogFile> catalog;
      WalkBackupList(p, catalog);
      cancelled = WriteCatalogToTape(p, catalog);
    } else {
      cancelled = true;
    }
  }
  WriteSummary(p, start);
  EndBusyCursor(p, busy);
  UnlockJobControls(p);
  w.JobRunning = false;
  if (cancelled) p.AbortFlag = true;
  FollowUp(p);
  if (o.CheckBox10.Checked && p.hooks.CheckfornewerVersions) p.hooks.CheckfornewerVersions(false);
}

}  // namespace vantrel
