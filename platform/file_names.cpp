#include "platform/file_names.h"

#include <cwctype>
#include <locale>

namespace vantrel {

std::string FoldCase(const std::string& text) {
  if (!kFileNamesIgnoreCase) return text;
  std::string lower = text;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return lower;
}

}  // namespace vantrel
