// Softcompression: each file is packed into the scratch archive before it goes to tape, and an
// archive read back from tape is unpacked into the work directory.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

// Packs `path` into a fresh scratch archive. False when packing failed (the person was told).
bool CompressToScratch(Program& p, const std::string& path);
// Unpacks the scratch archive into the work directory when LastRecordHeader is compressed and
// makes `path` (the work copy) writable. False when the archive did not yield `path`.
bool ExpandSoftcompressed(Program& p, const std::string& path);
// The zip component's message event: messages with a code other than 0 reach the person.
void ZipMaster1Message(Program& p, int errorCode, const std::string& message);
// Help > "DLL Info".
void ShowInfo1Click(Program& p);

}  // namespace vantrel
