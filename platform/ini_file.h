// INI files with the semantics of the Windows profile functions: section and key names ignore
// letter case, a key is overwritten where it stands, unknown keys, sections, comments and the order
// of lines are kept, and values are stored as they stand (no quoting or escaping). Used for the
// job file and the virtual tape drive's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

class IniFile {
 public:
  IniFile() = default;

  // Reads `path`; a missing file gives an empty document. Windows line ends are accepted.
  // Returns nothing when the file exists but cannot be read.
  static std::optional<IniFile> Load(const std::string& path);
  static IniFile Parse(const std::string& text);

  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& fallback) const;
  // A value that is not a whole number counts as missing.
  std::optional<int64_t> GetInt(const std::string& section, const std::string& key) const;
  int64_t GetInt(const std::string& section, const std::string& key, int64_t fallback) const;

  // Overwrites the key in place, or appends it at the end of its section (the section is added
  // at the end of the file when missing).
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void SetInt(const std::string& section, const std::string& key, int64_t value);
  bool Remove(const std::string& section, const std::string& key);
  bool HasSection(const std::string& section) const;
  std::vector<std::string> Keys(const std::string& section) const;

  std::string Text() const;
  // Writes the whole file through a temporary file and a rename, so that a crash leaves either
  // the old or the new file. Returns 0 or the errno of the failure.
  int Save(const std::string& path) const;

 private:
  struct Line {
    enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
    std::string raw;      // kOther: the line as read; kSection: the section name
    std::string key;      // kKey
    std::string value;    // kKey
  };

  // Index of the key's line, or -1.
  long Find(const std::string& section, const std::string& key) const;
  // Index after the last line of the section, or -1 when there is no such section.
  long SectionEnd(const std::string& section) const;

  std::vector<Line> lines_;
  bool crlf_ = false;
};

}  // namespace vantrel
