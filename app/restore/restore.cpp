#include "app/restore/restore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "app/backup/softcompression.h"
#include "app/core/control_locks.h"
#include "app/core/protocol.h"
#include "app/format/block_stream.h"
#include "app/format/catalog.h"
#include "app/format/file_records.h"
#include "app/format/recorded_path.h"
#include "app/restore/restore_paths.h"
#include "app/restore/restore_selection.h"
#include "app/tape/tape_access.h"
#include "platform/date_time.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

void NotRestored(Program& p, const std::string& what, const std::string& why) {
  AppendProtocolLine(p, "Not restored: " + what + " (" + why + ")");
}

// Applies the overwrite rule; the target path, or nothing when the file is not to be restored.
std::optional<std::string> ChooseTarget(Program& p, const std::string& destination) {
  switch (p.Hauptmenu.restorePage.RadioGroup1.ItemIndex) {
    case kOverwriteNever:
      if (Exists(destination)) {
        NotRestored(p, destination, "it exists and \"Overwrite never\" is set");
        return std::nullopt;
      }
      return destination;
    case kOverwriteEver:
      return destination;
    default: {
      std::optional<std::string> entered =
          p.ui.InputQuery("Restoredialog", "Restore to:", destination);
      if (!entered || entered->empty()) NotRestored(p, destination, "declined");
      if (entered && entered->empty()) return std::nullopt;
      return entered;
    }
  }
}

void RestoreTapeSet(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  RestorePageControls& r = w.restorePage;
  PumpMessages(p, 100);
  if (!p.LegacyDescription) MoveTapeToBlock(p, "1");
  TapeHandle handle = OpenTape(p);
  if (!handle) return;
  if (StartStreamRead(p, handle)) {
    while (true) {
      PumpMessages(p, 1);
      std::string path = ReadNextFileRecord(p, handle, false, false, false);
      std::string fileName = FileNamePart(path);
      double restoredMb = static_cast<double>(w.BytesRestored / 1048576);
      if (r.LEDDisplay6.Value != restoredMb) r.LEDDisplay6.Value = restoredMb;
      double readMb = static_cast<double>(w.StreamBytes / 1048576);
      if (r.LEDDisplay10.Value != readMb) r.LEDDisplay10.Value = readMb;
      if (IsSelectedForRestore(p, path, fileName)) RestoreOneFile(p, path, fileName);
      p.ui.ProgressChanged({static_cast<int64_t>(r.LEDDisplay7.Value), w.BytesRestored / 1048576, 0, path});
      PumpMessages(p, 1);
      if (path.empty() || p.AbortFlag) break;
    }
  }
  CloseTape(p, handle, 1);
}

void WriteRestoreFinish(Program& p, double start) {
  THauptmenu& w = p.Hauptmenu;
  double now = NowDateTime();
  std::string finish = "Restore finished at: " + DateTimeToText(now) + "  Elapsed Time: " +
                       TimeToText(now - start);
  ShowStatus(p, finish);
  AppendProtocolLines(
      p, {"", std::to_string(static_cast<int64_t>(w.restorePage.LEDDisplay7.Value)) +
                  " Files proceded.",
          std::to_string(static_cast<int64_t>(w.restorePage.LEDDisplay6.Value)) + " MB.", "",
          finish, ""});
}

}  // namespace

int MoveFileReplacing(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) == 0) return 0;
  if (errno != EXDEV) return errno;
  // Another file system: copy, keep the times, then remove the work copy.
  struct stat st {};
  if (stat(from.c_str(), &st) != 0) return errno;
  std::error_code ec;
  std::string temp = to + ".vantrel-restore";
  fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
  if (ec) return ec.value();
  timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, temp.c_str(), times, 0);
  if (rename(temp.c_str(), to.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    return err;
  }
  unlink(from.c_str());
  return 0;
}

bool RestoreOneFile(Program& p, const std::string& path, const std::string& fileName) {
  THauptmenu& w = p.Hauptmenu;
  std::string workCopy = w.WorkDir + fileName;
  bool restored = false;
  std::optional<std::string> destination = DestinationPath(w.restorePage.Edit1.Text, path);
  struct stat st {};
  if (!ExpandSoftcompressed(p, workCopy) || stat(workCopy.c_str(), &st) != 0) {
    NotRestored(p, path, "the file did not come back from tape");
  } else if (!destination) {
    NotRestored(p, path, "its recorded path leads outside the restore path");
  } else {
    std::string directory = DirectoryPart(*destination);
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec || !fs::is_directory(directory)) {
      p.ui.ShowMessage("Directory " + directory + " could not created");
      NotRestored(p, *destination, "its directory could not be created");
    } else if (std::optional<std::string> target = ChooseTarget(p, *destination)) {
      int err = MoveFileReplacing(workCopy, *target);
      if (err == 0) {
        restored = true;
        w.restorePage.LEDDisplay7.Value += 1;
        w.BytesRestored += st.st_size;
        if (!w.optionsPage.CheckBox1.Checked) {
          AppendProtocolLine(p, *target + " <" + std::to_string(st.st_size / 1024) + " KBytes> ");
        }
      } else {
        NotRestored(p, *target, SystemMessageText(SystemError::Posix(err)).substr(0, 80));
      }
    }
  }
  if (!restored) unlink(workCopy.c_str());
  return restored;
}

void RunRestore(Program& p) {
  THauptmenu& w = p.Hauptmenu;
  RestorePageControls& r = w.restorePage;
  w.JobRunning = true;
  EnsureFirstTapeOfSet(p);
  double start = NowDateTime();
  bool gaveUp = p.AbortFlag;
  p.AbortFlag = false;
  w.ActivePageIndex = kRestorePage;
  LockJobControls(p);
  bool busy = BeginBusyCursor(p);
  if (!gaveUp) {
    AppendProtocolLines(p, {"", ProtocolSeparator(), "", "Restore started at: " + DateTimeToText(start), ""});
    SetTapeParameters1Click(p);
    w.BytesRestored = 0;
    w.StreamBytes = 0;
    r.LEDDisplay7.Value = 0;
    r.LEDDisplay10.Value = 0;
    if (r.Memo3.Lines.empty()) {
      EndBusyCursor(p, busy);
      p.ui.ShowMessage("No Files or Directories selected!");
    } else {
      if (!r.Edit8.Text.empty()) {
        if (p.hooks.DiskImageRestore) {
          p.hooks.DiskImageRestore(std::atoi(r.Edit8.Text.c_str() + 8));
        } else {
          AppendProtocolLine(p, "Disk images are not part of this build; nothing was restored.");
        }
      } else if (RewindTape(p)) {
        RestoreTapeSet(p);
      }
      WriteRestoreFinish(p, start);
      EndBusyCursor(p, busy);
    }
  } else {
    EndBusyCursor(p, busy);
    p.AbortFlag = true;
  }
  unlink(w.CatalogPath.c_str());
  unlink(w.ScratchZipPath.c_str());
  UnlockJobControls(p);
  w.ActivePageIndex = kProtocolPage;
  w.JobRunning = false;
}

void Button1Click(Program& p) { RunRestore(p); }

}  // namespace vantrel
