#include "app/backup/zip_archive.h"

#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/file_names.h"

namespace vantrel {

const std::vector<std::string> kStoredExtensions = {"gif", "png", "z",   "zip",  "zoo", "arc",
                                                    "lzh", "arj", "taz", "tgz",  "lha", "rar",
                                                    "ace", "cab", "gz",  "gzip", "jar"};

namespace {

constexpr size_t kCopyBufferSize = 256 * 1024;

struct ArchiveDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveDiscard>;

struct EntryClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using EntryPtr = std::unique_ptr<zip_file_t, EntryClose>;

ZipResult Failure(int code, std::string message) { return {code, std::move(message)}; }

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsStored(const std::string& fileName, const std::vector<std::string>& storedExtensions) {
  size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string extension = LowerAscii(fileName.substr(dot + 1));
  return std::any_of(storedExtensions.begin(), storedExtensions.end(),
                     [&](const std::string& e) { return LowerAscii(e) == extension; });
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

}  // namespace

ZipResult ZipAddFile(const std::string& archivePath, const std::string& sourcePath, int level,
                     const std::vector<std::string>& storedExtensions) {
  struct stat info;
  if (stat(sourcePath.c_str(), &info) != 0) {
    return Failure(ZIP_ER_OPEN, "Cannot read " + Quoted(sourcePath) + ": " + std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    return Failure(ZIP_ER_OPEN, Quoted(sourcePath) + " is not a regular file.");
  }
  int error = 0;
  ArchivePtr archive(zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_EXCL, &error));
  if (!archive) {
    return Failure(error,
                   "Cannot create the archive " + Quoted(archivePath) + ": " + ZipErrorText(error));
  }
  auto fail = [&](const std::string& what) {
    zip_error_t* e = zip_get_error(archive.get());
    return Failure(zip_error_code_zip(e),
                   what + " " + Quoted(sourcePath) + ": " + zip_error_strerror(e));
  };

  // Opened and read by libzip itself while zip_close writes the archive.
  zip_source_t* source = zip_source_file(archive.get(), sourcePath.c_str(), 0, 0);
  if (source == nullptr) return fail("Cannot read");
  std::string entryName = BaseName(sourcePath);
  zip_int64_t index = zip_file_add(archive.get(), entryName.c_str(), source, ZIP_FL_ENC_GUESS);
  if (index < 0) {
    zip_source_free(source);
    return fail("Cannot add");
  }
  bool stored = IsStored(entryName, storedExtensions);
  zip_uint32_t compLevel = static_cast<zip_uint32_t>(std::clamp(level, 1, 9));
  if (zip_set_file_compression(archive.get(), index, stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                               stored ? 0 : compLevel) != 0 ||
      zip_file_set_mtime(archive.get(), index, info.st_mtime, 0) != 0) {
    return fail("Cannot set up the archive entry for");
  }
  if (zip_close(archive.get()) != 0) return fail("Cannot pack");
  archive.release();  // zip_close freed it
  return {};
}

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Why an entry name may not be written, or empty when it is acceptable. Both "/" and "\" count
// as separators here: an archive may come from Windows, and a name that climbs out there climbs
// out anywhere.
std::string UnsafeNameReason(const std::string& name) {
  if (name.empty()) return "the entry has no name";
  if (IsSeparator(name.front())) return "the entry name is absolute";
  if (kPathSeparator == '\\' && name.size() >= 2 && name[1] == ':') {
    return "the entry name holds a drive";
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (name.compare(start, end - start, "..") == 0) return "the entry name leads out";
    start = end + 1;
  }
  return {};
}

// The name the entry gets in the destination: its part after the last directory separator.
std::string EntryFileName(const std::string& name) {
  size_t cut = name.find_last_of(kPathSeparator == '\\' ? "/\\" : "/");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

// A file in `dir` that nobody else uses, created for writing.
struct TempFile {
  std::string path;
  int fd = -1;
};

TempFile CreateTempFile(const std::string& dir) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = JoinPath(
        dir, ".vantrel-unzip-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return {path, fd};
    if (errno != EEXIST) break;
  }
  return {};
}

// Copies the entry's data into `fd`, checking its length against the directory's; libzip checks
// the CRC when the end is read. The message is the reason alone.
ZipResult CopyEntry(zip_file_t* entry, zip_uint64_t expectedSize, int fd,
                    std::vector<char>& buffer) {
  zip_uint64_t total = 0;
  while (true) {
    zip_int64_t n = zip_fread(entry, buffer.data(), buffer.size());
    if (n < 0) {
      return Failure(zip_error_code_zip(zip_file_get_error(entry)), zip_file_strerror(entry));
    }
    if (n == 0) break;
    total += static_cast<zip_uint64_t>(n);
    if (total > expectedSize) {
      return Failure(ZIP_ER_INCONS, "the entry holds more data than its size says");
    }
    if (!WriteFully(fd, buffer.data(), static_cast<size_t>(n))) {
      return Failure(ZIP_ER_WRITE, std::strerror(errno));
    }
  }
  if (total != expectedSize) {
    return Failure(ZIP_ER_INCONS, "the entry holds less data than its size says");
  }
  return {};
}

// Writes the entry's data under a temporary name in `dir` and renames the file to `target` once
// all of it has arrived. The message is the reason alone.
ZipResult WriteIntoPlace(zip_file_t* entry, const zip_stat_t& entryStat, const std::string& dir,
                         const std::string& target, std::vector<char>& buffer) {
  TempFile temp = CreateTempFile(dir);
  if (temp.fd < 0) return Failure(ZIP_ER_TMPOPEN, std::strerror(errno));
  ZipResult result = CopyEntry(entry, entryStat.size, temp.fd, buffer);
  if (result.ok() && (entryStat.valid & ZIP_STAT_MTIME) != 0) {
    const timespec times[2] = {{0, UTIME_OMIT}, {entryStat.mtime, 0}};
    futimens(temp.fd, times);  // a file without its old time is still the right file
  }
  if (close(temp.fd) != 0 && result.ok()) result = Failure(ZIP_ER_WRITE, std::strerror(errno));
  if (result.ok() && rename(temp.path.c_str(), target.c_str()) != 0) {
    result = Failure(ZIP_ER_RENAME, std::strerror(errno));
  }
  if (!result.ok()) unlink(temp.path.c_str());
  return result;
}

ZipResult ExtractEntry(zip_t* archive, zip_uint64_t index, const std::string& name,
                       const std::string& destinationDir, std::vector<char>& buffer) {
  std::string target = JoinPath(destinationDir, EntryFileName(name));
  auto fail = [&](int code, const std::string& why) {
    return Failure(code, "Cannot unpack " + Quoted(target) + ": " + why);
  };
  zip_stat_t entryStat;
  if (zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &entryStat) != 0) {
    return fail(zip_error_code_zip(zip_get_error(archive)), zip_strerror(archive));
  }
  if ((entryStat.valid & ZIP_STAT_SIZE) == 0) return fail(ZIP_ER_INCONS, "the entry has no size");
  EntryPtr entry(zip_fopen_index(archive, index, 0));
  if (!entry) return fail(zip_error_code_zip(zip_get_error(archive)), zip_strerror(archive));
  ZipResult written = WriteIntoPlace(entry.get(), entryStat, destinationDir, target, buffer);
  return written.ok() ? written : fail(written.errorCode, written.message);
}

}  // namespace

ZipResult ZipExtractAll(const std::string& archivePath, const std::string& destinationDir) {
  int error = 0;
  ArchivePtr archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &error));
  if (!archive) {
    return Failure(error,
                   "Cannot open the archive " + Quoted(archivePath) + ": " + ZipErrorText(error));
  }
  zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  if (count <= 0) {
    return Failure(ZIP_ER_NOENT, "The archive " + Quoted(archivePath) + " holds no file.");
  }
  std::vector<char> buffer(kCopyBufferSize);
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    const char* rawName = zip_get_name(archive.get(), i, ZIP_FL_ENC_RAW);
    std::string name = rawName != nullptr ? rawName : "";
    std::string unsafe = UnsafeNameReason(name);
    if (!unsafe.empty()) {
      return Failure(ZIP_ER_INVAL, "Cannot unpack " + Quoted(name) + " from the archive " +
                                       Quoted(archivePath) + ": " + unsafe + ".");
    }
    if (name.back() == '/' || name.back() == kPathSeparator) continue;  // a directory entry
    std::string fileName = EntryFileName(name);
    if (fileName == ".") {
      return Failure(ZIP_ER_INVAL, "Cannot unpack " + Quoted(name) + " from the archive " +
                                       Quoted(archivePath) + ": the entry names no file.");
    }
    ZipResult result = ExtractEntry(archive.get(), i, name, destinationDir, buffer);
    if (!result.ok()) return result;
  }
  return {};
}

std::string ZipLibraryVersion() { return zip_libzip_version(); }

}  // namespace vantrel
