// One copy of the program per program directory: the copy that works in a directory holds a lock
// on it, whatever its executable is called, and a second copy finds the lock taken.
#pragma once

#include <memory>
#include <string>

namespace vantrel {

class InstanceLock;

// Takes the lock on `programDir` without waiting. Null when another process, or another lock
// object of this process, holds it. Throws std::system_error when the directory cannot be opened
// or locked for another reason, so that such a failure is not taken for a running copy.
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& programDir);

// Held while it exists; destroying it releases the lock.
class InstanceLock {
 public:
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  friend std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::string& programDir);
  explicit InstanceLock(int fd) : fd_(fd) {}  // owns the locked descriptor

  int fd_;
};

}  // namespace vantrel
