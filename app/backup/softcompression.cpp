#include "app/backup/softcompression.h"

#include <sys/stat.h>
#include <unistd.h>

#include "app/backup/zip_archive.h"
#include "app/core/protocol.h"

namespace vantrel {

bool CompressToScratch(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  unlink(w.ScratchZipPath.c_str());
  ZipResult result =
      ZipAddFile(w.ScratchZipPath, path, w.ZipMaster1.AddCompLevel, kStoredExtensions);
  if (result.errorCode != 0) {
    unlink(w.ScratchZipPath.c_str());
    ZipMaster1Message(p, result.errorCode, result.message);
    return false;
  }
  return true;
}

bool ExpandSoftcompressed(Program& p, const std::string& path) {
  THauptmenu& w = p.Hauptmenu;
  if (p.LastRecordHeader.Compressed == 0) return true;
  w.ZipMaster1.ExtrOverWrite = true;
  ZipResult result = ZipExtractAll(w.ScratchZipPath, w.WorkDir);
  PumpMessages(p, 1);
  if (result.errorCode != 0) ZipMaster1Message(p, result.errorCode, result.message);
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    p.LastError = SystemError::Posix(errno);
    return false;
  }
  // The work copy is moved or replaced later: it must not stay read-only.
  chmod(path.c_str(), st.st_mode | S_IWUSR);
  return result.errorCode == 0;
}

void ZipMaster1Message(Program& p, int errorCode, const std::string& message) {
  if (errorCode != 0) p.ui.ShowMessage(message);
}

void ShowInfo1Click(Program& p) {
  std::string version = ZipLibraryVersion();
  p.ui.ShowMessage("ZIPDLL version: " + version + "\r\n\r\nUNZDLL version: " + version);
}

}  // namespace vantrel
