// Whole reads and writes on file descriptors: the system calls may move fewer bytes than asked
// and may be interrupted; these loops finish the job or say why not (errno is kept).
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace vantrel {

// Reads until `length` bytes are in or the file ends; the number read, or -1 on an error.
ssize_t ReadFully(int fd, void* buffer, size_t length);
// Writes all `length` bytes; false on an error.
bool WriteFully(int fd, const void* data, size_t length);
// The same at a file offset, without moving the file position.
bool ReadFullyAt(int fd, void* buffer, size_t length, off_t offset);
bool WriteFullyAt(int fd, const void* data, size_t length, off_t offset);

}  // namespace vantrel
