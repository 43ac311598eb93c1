#include "app/format/catalog_file.h"

#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vantrel {
namespace {

[[noreturn]] void ThrowError(const std::string& path) {
  throw std::system_error(errno, std::generic_category(), path);
}

}  // namespace

CatalogFile::~CatalogFile() { close(fd_); }

std::unique_ptr<CatalogFile> CatalogFile::Create(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) ThrowError(path);
  return std::unique_ptr<CatalogFile>(new CatalogFile(fd, path));
}

std::unique_ptr<CatalogFile> CatalogFile::Open(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) ThrowError(path);
  return std::unique_ptr<CatalogFile>(new CatalogFile(fd, path));
}

bool CatalogFile::ForEach(const std::function<void(const TapeFileRecord&)>& visit) {
  if (lseek(fd_, 0, SEEK_SET) < 0) ThrowError(path_);
  uint8_t raw[kTapeFileRecordSize];
  while (true) {
    ssize_t got = ReadFully(fd_, raw, sizeof raw);
    if (got < 0) ThrowError(path_);
    if (got == 0) return true;
    if (got < static_cast<ssize_t>(sizeof raw)) return false;
    visit(DecodeTapeFileRecord(raw));
  }
}

void CatalogFile::Append(const TapeFileRecord& record) {
  uint8_t raw[kTapeFileRecordSize];
  EncodeTapeFileRecord(record, raw);
  off_t end = lseek(fd_, 0, SEEK_END);
  if (end < 0) ThrowError(path_);
  // A partial record left at the end is overwritten, so that records stay aligned.
  end -= end % static_cast<off_t>(kTapeFileRecordSize);
  if (pwrite(fd_, raw, sizeof raw, end) != static_cast<ssize_t>(sizeof raw)) ThrowError(path_);
}

bool ReadCatalogRecords(const std::string& path,
                        const std::function<void(const TapeFileRecord&)>& visit) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowError(path);
  CatalogFile file(fd, path);
  return file.ForEach(visit);
}

}  // namespace vantrel
