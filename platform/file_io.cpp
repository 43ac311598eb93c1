#include "platform/file_io.h"

#include <unistd.h>

#include <cerrno>

namespace vantrel {

ssize_t ReadFully(int fd, void* buffer, size_t length) {
  auto* bytes = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = read(fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

bool WriteFully(int fd, const void* data, size_t length) {
  const auto* bytes = static_cast<const char*>(data);
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadFullyAt(int fd, void* buffer, size_t length, off_t offset) {
  auto* bytes = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = pread(fd, bytes + done, length - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFullyAt(int fd, const void* data, size_t length, off_t offset) {
  const auto* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (done < length) {
    ssize_t n = pwrite(fd, bytes + done, length - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace vantrel
