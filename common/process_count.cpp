#include "common/process_count.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>

namespace vantrel {
namespace {

// The system keeps this much of a process's command name.
constexpr size_t kCommandNameLength = 15;

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x < 128 && y < 128 && std::tolower(x) == std::tolower(y))) return false;
  }
  return true;
}

bool IsProcessId(const char* name) {
  if (*name == '\0') return false;
  for (; *name != '\0'; ++name) {
    if (*name < '0' || *name > '9') return false;
  }
  return true;
}

// The file name of the process's executable; empty when it cannot be read.
std::string ExecutableName(const std::string& processDir) {
  char target[4096];
  ssize_t n = readlink((processDir + "/exe").c_str(), target, sizeof target - 1);
  if (n <= 0) return {};
  std::string path(target, static_cast<size_t>(n));
  // An executable replaced on disk while it runs (an update) still names the same program.
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.ends_with(deleted)) {
    path.resize(path.size() - deleted.size());
  }
  return path.substr(path.find_last_of('/') + 1);
}

std::string CommandName(const std::string& processDir) {
  std::ifstream in(processDir + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

bool Matches(const std::string& processDir, const std::string& name) {
  std::string executable = ExecutableName(processDir);
  if (!executable.empty()) return EqualIgnoringCase(executable, name);
  std::string command = CommandName(processDir);
  if (command.empty()) return false;
  if (command.size() == kCommandNameLength && name.size() > kCommandNameLength) {
    return EqualIgnoringCase(command, name.substr(0, kCommandNameLength));
  }
  return EqualIgnoringCase(command, name);
}

struct DirClose {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

int CountProcessesByName(const std::string& name) {
  std::unique_ptr<DIR, DirClose> proc(opendir("/proc"));
  if (!proc) return 0;
  int count = 0;
  while (const dirent* entry = readdir(proc.get())) {
    if (!IsProcessId(entry->d_name)) continue;
    if (Matches(std::string("/proc/") + entry->d_name, name)) ++count;
  }
  return count;
}

}  // namespace vantrel
