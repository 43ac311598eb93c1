// The backup list walker: one list entry at a time, directories depth first, every file either
// written to tape as a record and a catalog record, or left out and counted.
#pragma once

#include <memory>
#include <string>

#include "app/core/program.h"
#include "app/format/catalog_file.h"
#include "app/tape/tape_access.h"

namespace vantrel {

// Paths whose recorded form would not fit a record's 255 bytes are not backed up.
constexpr size_t kMaxRecordedPathLength = 255;
// Files from this size on are never softcompressed.
constexpr int64_t kCompressionLimit = 2000000000;

enum class EntryMode { kNewTapeSet = 0, kAppend = 1, kFurther = 2 };

// One backup list entry. `catalog` is created by kNewTapeSet, reopened from tape by kAppend.
void SAVE_FILES_TO_TAPE(Program& p, const std::string& entry,
                        std::unique_ptr<CatalogFile>& catalog, bool compress, EntryMode mode);
void WalkDirectory(Program& p, const std::string& directory, TapeHandle& handle,
                   CatalogFile* catalog, bool compress);
void BackupFile(Program& p, const std::string& path, TapeHandle& handle, bool compress,
                CatalogFile* catalog);
bool IsIncludedPath(const Program& p, const std::string& path);

// MB/s since JobStartTime, cut to two decimals.
double CurrentSpeed(const Program& p);

}  // namespace vantrel
