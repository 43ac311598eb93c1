// The catalog file in the work directory: a bare sequence of 296-byte records.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/format/records.h"

namespace vantrel {

class CatalogFile {
 public:
  ~CatalogFile();
  CatalogFile(const CatalogFile&) = delete;
  CatalogFile& operator=(const CatalogFile&) = delete;

  // Creates the file anew (an old one is truncated). Throws std::system_error.
  static std::unique_ptr<CatalogFile> Create(const std::string& path);
  // Opens an existing file for reading and writing; appends go to its end. Throws
  // std::system_error.
  static std::unique_ptr<CatalogFile> Open(const std::string& path);

  // Calls `visit` for every whole record from the start. Returns false when the file ends in a
  // partial record (the part is not visited). Throws std::system_error on a read error.
  bool ForEach(const std::function<void(const TapeFileRecord&)>& visit);
  // Appends one record at the end. Throws std::system_error.
  void Append(const TapeFileRecord& record);
  const std::string& Path() const { return path_; }

 private:
  friend bool ReadCatalogRecords(const std::string& path,
                                 const std::function<void(const TapeFileRecord&)>& visit);
  CatalogFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

// Reads every record of the catalog file at `path`; see CatalogFile::ForEach.
bool ReadCatalogRecords(const std::string& path,
                        const std::function<void(const TapeFileRecord&)>& visit);

}  // namespace vantrel
