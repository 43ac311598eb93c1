#include "platform/ini_file.h"

#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace vantrel {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<IniFile> IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (access(path.c_str(), F_OK) != 0) return IniFile();
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return Parse(text.str());
}

IniFile IniFile::Parse(const std::string& text) {
  IniFile ini;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string raw = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    if (!raw.empty() && raw.back() == '\r') {
      raw.pop_back();
      ini.crlf_ = true;
    }
    Line line;
    std::string trimmed = Trim(raw);
    size_t eq = raw.find('=');
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      line.kind = Line::Kind::kSection;
      line.raw = Trim(trimmed.substr(1, trimmed.size() - 2));
    } else if (!trimmed.empty() && trimmed[0] != ';' && eq != std::string::npos) {
      line.kind = Line::Kind::kKey;
      line.key = Trim(raw.substr(0, eq));
      line.value = Trim(raw.substr(eq + 1));
    } else {
      line.raw = raw;
    }
    ini.lines_.push_back(std::move(line));
  }
  return ini;
}

long IniFile::Find(const std::string& section, const std::string& key) const {
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Line::Kind::kSection) {
      inSection = EqualsIgnoreCase(line.raw, section);
    } else if (inSection && line.kind == Line::Kind::kKey && EqualsIgnoreCase(line.key, key)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

long IniFile::SectionEnd(const std::string& section) const {
  long end = -1;
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == Line::Kind::kSection) {
      inSection = EqualsIgnoreCase(line.raw, section);
      if (inSection) end = static_cast<long>(i) + 1;
    } else if (inSection && line.kind == Line::Kind::kKey) {
      end = static_cast<long>(i) + 1;
    }
  }
  return end;
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
  long i = Find(section, key);
  if (i < 0) return std::nullopt;
  return lines_[i].value;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
  return Get(section, key).value_or(fallback);
}

std::optional<int64_t> IniFile::GetInt(const std::string& section, const std::string& key) const {
  auto text = Get(section, key);
  if (!text || text->empty()) return std::nullopt;
  int64_t value = 0;
  const char* first = text->data();
  const char* last = first + text->size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

int64_t IniFile::GetInt(const std::string& section, const std::string& key,
                        int64_t fallback) const {
  return GetInt(section, key).value_or(fallback);
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  long i = Find(section, key);
  if (i >= 0) {
    lines_[i].value = value;
    return;
  }
  Line line;
  line.kind = Line::Kind::kKey;
  line.key = key;
  line.value = value;
  long end = SectionEnd(section);
  if (end < 0) {
    Line header;
    header.kind = Line::Kind::kSection;
    header.raw = section;
    lines_.push_back(header);
    lines_.push_back(line);
    return;
  }
  lines_.insert(lines_.begin() + end, line);
}

void IniFile::SetInt(const std::string& section, const std::string& key, int64_t value) {
  Set(section, key, std::to_string(value));
}

bool IniFile::Remove(const std::string& section, const std::string& key) {
  long i = Find(section, key);
  if (i < 0) return false;
  lines_.erase(lines_.begin() + i);
  return true;
}

bool IniFile::HasSection(const std::string& section) const { return SectionEnd(section) >= 0; }

std::vector<std::string> IniFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  bool inSection = false;
  for (const Line& line : lines_) {
    if (line.kind == Line::Kind::kSection) inSection = EqualsIgnoreCase(line.raw, section);
    else if (inSection && line.kind == Line::Kind::kKey) keys.push_back(line.key);
  }
  return keys;
}

std::string IniFile::Text() const {
  const char* eol = crlf_ ? "\r\n" : "\n";
  std::string text;
  for (const Line& line : lines_) {
    switch (line.kind) {
      case Line::Kind::kSection: text += "[" + line.raw + "]"; break;
      case Line::Kind::kKey: text += line.key + "=" + line.value; break;
      case Line::Kind::kOther: text += line.raw; break;
    }
    text += eol;
  }
  return text;
}

int IniFile::Save(const std::string& path) const {
  std::string temp = path + ".new";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  std::string text = Text();
  if (!WriteFully(fd, text.data(), text.size())) {
    int err = errno;
    close(fd);
    unlink(temp.c_str());
    return err;
  }
  if (fdatasync(fd) != 0 || close(fd) != 0) {
    int err = errno;
    unlink(temp.c_str());
    return err;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    return err;
  }
  return 0;
}

}  // namespace vantrel
