// Paths as records on tape hold them. Paths recorded by this program are native ("/data/a.txt",
// UTF-8). Paths recorded by the Windows program ("d:\data\a.txt") are 8-bit code page 1252 text
// with backslashes; they are read as text with their backslashes kept, and restored below a
// restore path as "data/a.txt".
#pragma once

#include <optional>
#include <string>

namespace vantrel {

// True for a path the Windows program recorded: it does not start with "/".
bool IsWindowsRecordedPath(const std::string& path);
// The recorded bytes as text: code page 1252 decoded for Windows paths, unchanged otherwise.
std::string RecordedPathText(const std::string& recordedBytes);
// The file-name part: everything after the last separator ("/", and "\" in Windows paths).
std::string FileNamePart(const std::string& path);
// Everything up to and including the last separator; empty without one.
std::string DirectoryPart(const std::string& path);
// The path without its root ("/", or "d:\" of a Windows path), with "/" separators; nothing when
// it could lead out of a directory it is put below (an empty, "." or ".." component).
std::optional<std::string> RelativeRecordedPath(const std::string& path);
// A file name that may be created in the work directory as it stands.
bool IsPlainFileName(const std::string& name);

}  // namespace vantrel
