#include "common/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vantrel {

InstanceLock::~InstanceLock() { close(fd_); }  // closing the descriptor ends the lock

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& programDir) {
  int fd = open(programDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), programDir);
  // The lock belongs to this open descriptor: a second open of the directory, in this process
  // or another, does not share it.
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    if (error == EINTR) continue;
    close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    throw std::system_error(error, std::generic_category(), programDir);
  }
  return std::unique_ptr<InstanceLock>(new InstanceLock(fd));
}

}  // namespace vantrel
