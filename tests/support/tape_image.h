// An independent reading of a single-tape virtual cartridge: the stream after block 0 taken
// apart by hand, to check what the program wrote byte for byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vantrel::testing {

struct RawRecord {
  int64_t headerAt = 0;  // byte offset of the header in the stream (block 1 = offset 0)
  std::string path;
  int64_t size = 0;
  double modified = 0;
  int compressed = 0;
  std::string data;
};

struct RawTape {
  std::vector<RawRecord> records;
  bool trailerFound = false;
  int64_t trailerAt = 0;
  uint32_t trailerOffset = 0;
  int64_t trailerBlock = 0;
  int64_t blocks = 0;
};

inline uint64_t RawLe(const std::string& s, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

inline RawTape ParseTape(const std::string& dataFile, size_t blockSize = 32768) {
  std::string all = ReadFile(dataFile);
  RawTape tape;
  tape.blocks = static_cast<int64_t>(all.size() / blockSize);
  std::string stream = all.substr(blockSize);
  size_t at = 0;
  while (at + 19 <= stream.size()) {
    size_t length = static_cast<uint8_t>(stream[at]);
    std::string path = stream.substr(at + 1, length);
    if (path == "XENDEX") {
      tape.trailerFound = true;
      tape.trailerAt = static_cast<int64_t>(at);
      tape.trailerOffset = static_cast<uint32_t>(RawLe(stream, at + 7, 4));
      tape.trailerBlock = static_cast<int64_t>(RawLe(stream, at + 11, 8));
      break;
    }
    RawRecord r;
    r.headerAt = static_cast<int64_t>(at);
    r.path = path;
    r.size = static_cast<int64_t>(RawLe(stream, at + 272, 8));
    uint64_t bits = RawLe(stream, at + 280, 8);
    std::memcpy(&r.modified, &bits, 8);
    r.compressed = static_cast<uint8_t>(stream[at + 288]);
    r.data = stream.substr(at + 296, static_cast<size_t>(r.size));
    tape.records.push_back(r);
    at += 296 + static_cast<size_t>(r.size);
  }
  return tape;
}

}  // namespace vantrel::testing
