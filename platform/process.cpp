#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace vantrel {
namespace {

// What the detached child reports back through the pipe when it fails.
struct ChildFailure {
  bool forkFailed;
  int error;
};

// The files `execvp` would try for `program`, in order.
std::vector<std::string> Candidates(const std::string& program) {
  if (program.find('/') != std::string::npos) return {program};
  const char* env = std::getenv("PATH");
  std::string path = env != nullptr ? env : "/bin:/usr/bin";
  std::vector<std::string> candidates;
  size_t start = 0;
  while (true) {
    size_t end = path.find(':', start);
    std::string_view dir = std::string_view(path).substr(start, end - start);
    std::string candidate(dir.empty() ? std::string_view(".") : dir);  // empty: the current one
    candidate.append(1, '/').append(program);
    candidates.push_back(std::move(candidate));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return candidates;
}

void Report(int fd, bool forkFailed, int error) {
  ChildFailure failure{forkFailed, error};
  ssize_t ignored = write(fd, &failure, sizeof failure);
  (void)ignored;
}

// Runs in the child after fork: only async-signal-safe calls from here on.
[[noreturn]] void StartDetached(char* const argv[], const std::vector<std::string>& candidates,
                                bool searched, int nullFd, int reportFd) {
  setsid();  // the program must not share the terminal's signals (Ctrl-C) with us
  pid_t grandchild = fork();
  if (grandchild != 0) {
    if (grandchild < 0) Report(reportFd, true, errno);
    _exit(0);  // the grandchild is adopted by init (or a subreaper), which reaps it
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction standard = {};
  standard.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &standard, nullptr);
  dup2(nullFd, STDIN_FILENO);
#ifdef CLOSE_RANGE_CLOEXEC
  close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);  // no open file of ours leaks into the program
#endif
  int error = ENOENT;
  bool denied = false;
  for (const std::string& candidate : candidates) {
    execv(candidate.c_str(), argv);
    error = errno;
    if (!searched) break;
    bool tryNext = error == EACCES || error == ENOENT || error == ENOTDIR || error == ESTALE ||
                   error == ENODEV || error == ETIMEDOUT;
    if (!tryNext) break;
    denied = denied || error == EACCES;
    error = denied ? EACCES : ENOENT;  // a name looked up in PATH is found or not
  }
  Report(reportFd, false, error);
  _exit(127);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The reason for an exec failure, in the numbering of StartResult.
int ExecFailureCode(int error, const std::string& program,
                    const std::vector<std::string>& candidates) {
  switch (error) {
    case EACCES:
    case ENOEXEC:
      return kStartInvalidProgram;
    case ENOTDIR:
      return kStartPathNotFound;
    case ENAMETOOLONG:  // a name that long cannot exist
      return kStartFileNotFound;
    case EAGAIN:
    case ENOMEM:
      return kStartNoResources;
    case ENOENT:
      break;
    default:
      return error;
  }
  // The file is there, but the interpreter its "#!" line names is not.
  for (const std::string& candidate : candidates) {
    if (IsRegularFile(candidate)) return kStartInvalidProgram;
  }
  if (program.find('/') != std::string::npos && !IsDirectory(DirectoryOf(program))) {
    return kStartPathNotFound;
  }
  return kStartFileNotFound;
}

// Waits for the child's report: nothing (end of file) when exec succeeded.
bool ReadReport(int fd, ChildFailure& failure) {
  while (true) {
    ssize_t n = read(fd, &failure, sizeof failure);
    if (n < 0 && errno == EINTR) continue;
    return n == static_cast<ssize_t>(sizeof failure);
  }
}

void Reap(pid_t child) {
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool inQuotes = false;
  bool inArgument = false;
  for (char c : commandLine) {
    if (c == '"') {
      inQuotes = !inQuotes;
      inArgument = true;
    } else if (!inQuotes && (c == ' ' || c == '\t')) {
      if (inArgument) args.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) args.push_back(current);
  return args;
}

StartResult StartProgram(const std::string& commandLine) {
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return {false, kStartFileNotFound};
  const std::string& program = args[0];
  std::vector<std::string> candidates = Candidates(program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nullFd < 0) return {false, kStartNoResources};
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    close(nullFd);
    return {false, kStartNoResources};
  }
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    StartDetached(argv.data(), candidates, program.find('/') == std::string::npos, nullFd,
                  pipeFds[1]);
  }
  close(pipeFds[1]);
  close(nullFd);
  ChildFailure failure{};
  bool failed = child > 0 && ReadReport(pipeFds[0], failure);
  close(pipeFds[0]);
  if (child < 0) return {false, kStartNoResources};
  Reap(child);
  if (!failed) return {true, 0};
  if (failure.forkFailed) return {false, kStartNoResources};
  return {false, ExecFailureCode(failure.error, program, candidates)};
}

}  // namespace vantrel
