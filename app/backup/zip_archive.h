// Zip archives of one file each: packing a file before it goes to tape and unpacking an archive
// that came back from tape. Plain functions over libzip; they know nothing of the program state.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// Extensions of files that are already packed: they go into the archive without deflating.
extern const std::vector<std::string> kStoredExtensions;

struct ZipResult {
  int errorCode = 0;    // 0: success; otherwise a libzip error code (ZIP_ER_*)
  std::string message;  // for the person, naming the file; empty on success

  bool ok() const { return errorCode == 0; }
};

// Creates the archive `archivePath`, which must not exist yet, holding `sourcePath` as its only
// entry under its plain file name, with the file's modification time. The entry is deflated at
// `level` (clamped to 1..9), or stored as it is when the file's extension is one of
// `storedExtensions` (letter case ignored). The file is streamed, never read into memory. On
// failure no archive is left behind.
ZipResult ZipAddFile(const std::string& archivePath, const std::string& sourcePath, int level,
                     const std::vector<std::string>& storedExtensions);

// Writes every file entry of `archivePath` into `destinationDir` under its plain name, replacing
// existing files. Each file is written under a temporary name and renamed into place once its
// data have passed the checks, so a failed entry never leaves a half-written file. Entries that
// are absolute, empty or hold a ".." component are refused; the archive is untrusted input.
// Stops at the first failing entry; entries written before it stay.
ZipResult ZipExtractAll(const std::string& archivePath, const std::string& destinationDir);

// The version of the zip library in use, e.g. "1.7.3".
std::string ZipLibraryVersion();

}  // namespace vantrel
