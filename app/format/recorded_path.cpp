#include "app/format/recorded_path.h"

#include <cstdint>

namespace vantrel {
namespace {

// Code page 1252 characters 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsSeparator(char c, bool windows) { return c == '/' || (windows && c == '\\'); }

}  // namespace

bool IsWindowsRecordedPath(const std::string& path) { return path.empty() || path[0] != '/'; }

std::string RecordedPathText(const std::string& recordedBytes) {
  if (!IsWindowsRecordedPath(recordedBytes)) return recordedBytes;
  std::string text;
  for (char ch : recordedBytes) {
    auto byte = static_cast<uint8_t>(ch);
    char32_t c = byte;
    if (byte >= 0x80 && byte < 0xA0) c = kCp1252High[byte - 0x80] ? kCp1252High[byte - 0x80] : 0xFFFD;
    AppendUtf8(text, c);
  }
  return text;
}

std::string FileNamePart(const std::string& path) {
  bool windows = IsWindowsRecordedPath(path);
  for (size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i], windows)) return path.substr(i + 1);
  }
  return windows && path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
}

std::string DirectoryPart(const std::string& path) {
  bool windows = IsWindowsRecordedPath(path);
  for (size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i], windows)) return path.substr(0, i + 1);
  }
  return "";
}

std::optional<std::string> RelativeRecordedPath(const std::string& path) {
  bool windows = IsWindowsRecordedPath(path);
  size_t start = 0;
  if (windows && path.size() >= 2 && path[1] == ':') start = 2;
  while (start < path.size() && IsSeparator(path[start], windows)) ++start;
  std::string relative;
  size_t begin = start;
  for (size_t i = start; i <= path.size(); ++i) {
    if (i < path.size() && !IsSeparator(path[i], windows)) continue;
    std::string part = path.substr(begin, i - begin);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    relative += (relative.empty() ? "" : "/") + part;
    begin = i + 1;
  }
  if (relative.empty()) return std::nullopt;
  return relative;
}

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace vantrel
