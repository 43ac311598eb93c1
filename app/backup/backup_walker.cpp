#include "app/backup/backup_walker.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/backup/softcompression.h"
#include "app/core/protocol.h"
#include "app/format/catalog.h"
#include "app/format/file_records.h"
#include "platform/date_time.h"
#include "platform/file_names.h"

namespace vantrel {
namespace {

constexpr int64_t kMiB = 1048576;

std::string KBytes(int64_t size) { return " <" + std::to_string(size / 1024) + " KBytes> "; }

void CountNotBackedUp(Program& p) { p.Hauptmenu.backupPage.LEDDisplay8.Value += 1; }

void LogUnlessShort(Program& p, const std::string& line) {
  if (!p.Hauptmenu.optionsPage.CheckBox1.Checked) AppendProtocolLine(p, line);
}

void SetIfChanged(LedDisplay& display, double value) {
  if (display.Value != value) display.Value = value;
}

void UpdateDisplays(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  SetIfChanged(w.backupPage.LEDDisplay1, static_cast<double>(w.BytesBackedUp / kMiB));
  SetIfChanged(w.backupPage.LEDDisplay2, static_cast<double>(w.StreamBytes / kMiB));
  SetIfChanged(w.backupPage.LEDDisplay9, CurrentSpeed(p));
  p.ui.ProgressChanged({p.FilesProcessed, w.BytesBackedUp / kMiB, w.backupPage.LEDDisplay9.Value, path});
}

// A list entry as an absolute path, so that every recorded path starts at the root.
std::string AbsoluteEntry(const std::string& entry) {
  if (entry.empty() || entry[0] == '/') return entry;
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(entry, ec).string();
  return ec ? entry : absolute;
}

// Writes one file that is to go to tape. Throws std::system_error when it cannot.
void WriteOneFile(Program& p, const std::string& path, double modified, int64_t& size,
                  TapeHandle& handle, bool compress, CatalogFile* catalog) {
  THauptmenu& w = p.Hauptmenu;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw std::system_error(errno, std::generic_category());
  if (!S_ISREG(st.st_mode)) throw std::system_error(EINVAL, std::generic_category());
  size = st.st_size;
  ShowStatus(p, "Processing :  " + path + KBytes(size));
  TapeFileRecord header;
  header.Path = path;
  header.Modified = modified;
  std::string source = path;
  if (size > 0 && compress && size < kCompressionLimit) {
    if (!CompressToScratch(p, path)) throw std::system_error(EIO, std::generic_category());
    source = w.ScratchZipPath;
    header.Compressed = 1;
  }
  // Only the catalog file itself goes to tape without a catalog to be listed in.
  if (catalog == nullptr && path != w.CatalogPath) {
    throw std::system_error(EBADF, std::generic_category());
  }
  if (!WriteFileRecord(p, handle, header, source)) {
    throw std::system_error(p.LastError.code, std::generic_category());
  }
  w.BytesBackedUp += size;
  p.FilesProcessed += 1;
  if (p.FilesProcessed % 5 == 0) w.backupPage.LEDDisplay5.Value = static_cast<double>(p.FilesProcessed);
  LogUnlessShort(p, path + KBytes(header.Size));
  UpdateDisplays(p, path);
  if (catalog != nullptr) AppendCatalogRecord(p, header, *catalog);
}

void LogExcluded(Program& p, const std::string& path) {
  struct stat st {};
  int64_t size = stat(path.c_str(), &st) == 0 ? st.st_size : 0;
  ShowStatus(p, "Processing :  " + path + KBytes(size));
  LogUnlessShort(p, "Excluded: " + path + KBytes(size));
  CountNotBackedUp(p);
  PumpMessages(p, 1);
}

}  // namespace

double CurrentSpeed(const Program& p) {
  double elapsedDays = std::fmod(NowDateTime(), 1.0) - p.Hauptmenu.JobStartTime;
  if (elapsedDays < 0) elapsedDays += 1.0;  // the job ran past midnight
  int64_t seconds = static_cast<int64_t>(elapsedDays * kSecondsPerDay);
  if (seconds < 1) return 0;
  double speed = p.Hauptmenu.backupPage.LEDDisplay1.Value / static_cast<double>(seconds);
  return std::floor(speed * 100.0) / 100.0;
}

bool IsIncludedPath(const Program& p, const std::string& path) {
  const THauptmenu& w = p.Hauptmenu;
  std::string folded = FoldCase(path);
  if (folded.find(w.WorkDir) != std::string::npos) {
    return path == w.HeaderPath || path == w.CatalogPath;
  }
  for (const std::string& line : w.backupPage.Memo1.Lines) {
    if (!line.empty() && folded.compare(0, line.size(), line) == 0) return false;
  }
  return true;
}

void BackupFile(Program& p, const std::string& path, TapeHandle& handle, bool compress,
                CatalogFile* catalog) {
  THauptmenu& w = p.Hauptmenu;
  struct stat st {};
  double modified = stat(path.c_str(), &st) == 0 ? FileDateTime(st.st_mtime) : NowDateTime();
  PumpMessages(p, 1);
  if (path.size() > kMaxRecordedPathLength) {
    AppendProtocolLine(p, "Skipped: " + path + " File Path to long!");
    CountNotBackedUp(p);
    return;
  }
  bool wanted = !w.optionsPage.CheckBox2.Checked ||
                !w.ListBox1.Contains(AlreadyOnTapeKey(path, modified));
  if (!wanted) return;
  if (!IsIncludedPath(p, path)) {
    LogExcluded(p, path);
    return;
  }
  int64_t size = 0;
  try {
    WriteOneFile(p, path, modified, size, handle, compress, catalog);
  } catch (const std::system_error&) {
    AppendProtocolLine(p, "Skipped: " + path + KBytes(size));
    CountNotBackedUp(p);
  }
}

void WalkDirectory(Program& p, const std::string& directory, TapeHandle& handle,
                   CatalogFile* catalog, bool compress) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) {
    AppendProtocolLine(p, "Skipped: " + directory + " Directory not readable!");
    CountNotBackedUp(p);
    return;
  }
  while (!p.AbortFlag) {
    dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = directory + name;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      isDirectory = lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isDirectory) {
      WalkDirectory(p, path + "/", handle, catalog, compress);
    } else {
      BackupFile(p, path, handle, compress, catalog);
    }
  }
  closedir(dir);
}

void SAVE_FILES_TO_TAPE(Program& p, const std::string& entry,
                        std::unique_ptr<CatalogFile>& catalog, bool compress, EntryMode mode) {
  if (p.AbortFlag) return;
  bool saved = BeginBusyCursor(p);
  if (mode == EntryMode::kNewTapeSet) {
    p.Hauptmenu.ListBox1.Clear();
    try {
      catalog = CreateCatalog(p);
    } catch (const std::system_error& e) {
      ReportError(p, SystemError::Posix(e.code().value()));
    }
  } else if (mode == EntryMode::kAppend && p.Hauptmenu.DescriptionValid) {
    catalog = ReopenCatalogForAppend(p);
  }
  PumpMessages(p, 1);
  std::string path = AbsoluteEntry(entry);
  if (!p.AbortFlag) {
    TapeHandle handle = OpenTape(p);
    if (handle) {
      if (!path.empty() && path.back() == '/') {
        WalkDirectory(p, path, handle, catalog.get(), compress);
      } else {
        BackupFile(p, path, handle, compress, catalog.get());
      }
      CloseTape(p, handle, 1);
    }
  }
  EndBusyCursor(p, saved);
}

}  // namespace vantrel
