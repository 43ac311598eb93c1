// File records inside the block stream: a 296-byte header followed by exactly the bytes it
// announces. The writer appends one record; the reader takes the next one off the stream and puts
// its data into the work directory.
#pragma once

#include <string>

#include "app/core/program.h"
#include "app/tape/tape_access.h"

namespace vantrel {

// Writes `header` and the bytes of `sourcePath`. The size is taken from the opened source before
// the header is written, so the header announces exactly what follows; a source that shrinks is
// padded with zeros, one that grows is cut, and a protocol line says the file changed. Returns
// false, writing nothing, when the source cannot be opened (p.LastError says why).
bool WriteFileRecord(Program& p, TapeHandle& handle, TapeFileRecord& header,
                     const std::string& sourcePath);

// Reads the next record. Returns its recorded path as text, or an empty text at the end of the
// data, at the trailer, on a damaged record, or when AbortFlag is set.
//  skipData: read the data from the stream but write them nowhere;
//  expand: unpack a softcompressed record after writing it;
//  noSelection: write every file; otherwise IsSelectedForRestore decides.
std::string ReadNextFileRecord(Program& p, TapeHandle& handle, bool skipData, bool expand,
                               bool noSelection);

// Copies one tape file, up to the next filemark, into `fileName`. Returns "No Error",
// "End of data", "Error", or an empty text without a drive.
std::string ReadNextTapeFile(Program& p, const std::string& fileName);

}  // namespace vantrel
