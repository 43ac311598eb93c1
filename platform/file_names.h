// How this platform's file system compares names. On Windows names ignore letter case, so lists
// and paths are lower-cased before they are compared; on a case-sensitive file system that would
// name files that do not exist, so the case is kept and names compare exactly.
#pragma once

#include <string>

namespace vantrel {

constexpr bool kFileNamesIgnoreCase = false;
constexpr char kPathSeparator = '/';

// The form in which paths are kept in lists and compared: lower case where names ignore case,
// unchanged otherwise.
std::string FoldCase(const std::string& text);

}  // namespace vantrel
