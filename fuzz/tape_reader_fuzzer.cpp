// libFuzzer target: the input becomes the recorded data of a virtual cartridge, which every
// reader of the program then takes apart (description, fast and sequential catalog, restore).
// Build with -DVANTREL_FUZZ=ON and clang; run: build-fuzz/vantrel_tape_reader_fuzzer CORPUS_DIR
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/every_reader.h"

namespace {

// Up to four blocks with a valid description in block 0, so that the readers get past it.
std::string TapeFrom(const uint8_t* data, size_t size) {
  std::string tape(32768, '\0');
  const char description[] = "\xa6\xaa\xaa\xaa\x7c\xc9\xe3\x40\x01\x04Tape";
  tape.replace(0, sizeof description - 1, description, sizeof description - 1);
  std::string stream(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4 * 32768));
  stream.resize((stream.size() + 32767) / 32768 * 32768, '\0');
  return tape + stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantrel;
  testing::ProgramFixture fixture;
  std::string tape = TapeFrom(data, size);
  {
    std::ofstream(fixture.DrivePath() + "/tape1.tape/data", std::ios::binary) << tape;
    std::ofstream(fixture.CartridgeIni()) << "[Cartridge]\nCapacity=1073741824\nBlockSize=32768\n";
  }
  testing::RunEveryReader(fixture, fixture.Scratch("out"));
  return 0;
}
