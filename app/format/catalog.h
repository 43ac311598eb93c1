// The catalog: the list of every file a backup wrote to a tape set, kept as a file of records in
// the work directory while the backup runs, written to tape as the backup's last file, found
// again through the trailer in the last written block, or rebuilt by reading every record.
#pragma once

#include <memory>
#include <string>

#include "app/core/program.h"
#include "app/format/catalog_file.h"
#include "app/tape/tape_access.h"

namespace vantrel {

// "path date" of a file, in the compare form of paths: the key of the already-on-tape list.
std::string AlreadyOnTapeKey(const std::string& path, double modified);

// First entry of a new tape set: the tape moves to block 1 and the catalog file is created.
// Throws std::system_error when the file cannot be created.
std::unique_ptr<CatalogFile> CreateCatalog(Program& p);
// First entry of an appending backup: the catalog of the set comes back from tape and is opened
// for appending, ListBox1 is filled, and the stream continues where the old catalog began.
// Nothing when the append cannot go on (AbortFlag is then set and nothing was written).
std::unique_ptr<CatalogFile> ReopenCatalogForAppend(Program& p);
// Appends `record` with the current stream position, unless it is the catalog file itself.
// Throws std::system_error.
void AppendCatalogRecord(Program& p, TapeFileRecord record, CatalogFile& catalog);
// Writes the trailer pointing at `catalog` into the stream buffer and the buffer to tape.
void WriteCatalogTrailer(Program& p, const BlockPosition& catalog);
// The position of the catalog's record header on the last tape of the set; all zero when the
// tape cannot be opened, the trailer is damaged, or the person gave up looking.
BlockPosition FindCatalogTrailer(Program& p);

void LoadCatalogFast(Program& p);
void LoadCatalogSequential(Program& p);
// Fills the catalog listing from a catalog file. Throws std::system_error on a read error.
void ReadCatalogFile(Program& p, const std::string& path);
// Returns when tape 1 of the loaded set is in the drive, or when the person gave up (AbortFlag).
void EnsureFirstTapeOfSet(Program& p);

// The last trailer in `block` whose values are plausible for a tape with `endOfData` blocks;
// all zero when there is none.
BlockPosition FindTrailerInBlock(std::span<const uint8_t> block, int64_t endOfData,
                                 uint32_t blockSize);

}  // namespace vantrel
