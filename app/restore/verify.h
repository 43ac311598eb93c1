// Verify: reads the whole tape set back and compares every file with the file now on disk.
#pragma once

#include <string>

#include "app/core/program.h"

namespace vantrel {

struct VerifyCounts {
  int ok = 0;
  int defect = 0;
};

enum class Comparison { kEqual, kDifferent, kCancelled };

// "Start Verify Tape Data": sets JobRunning around RunVerify.
VerifyCounts BitBtn23Click(Program& p);
// The whole verify job. Files are compared at their recorded paths, or below `p.VerifyRoot` when
// it is set (the recorded path re-rooted as a restore re-roots it).
VerifyCounts RunVerify(Program& p);
// Compares the file on disk with the work copy; a difference is written to the report and the
// protocol.
Comparison CompareWithSource(Program& p, const std::string& source, const std::string& copy);

}  // namespace vantrel
