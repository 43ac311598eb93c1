// Reads the MANIFEST.txt of a reference tape: what another implementation says it wrote.
#pragma once

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace vantrel::testing {

struct ManifestCartridge {
  std::string name;
  int64_t endOfData = 0;
  bool hasDescription = false;
  std::string label;
  int number = 0;
  double setDate = 0;
};

struct ManifestRecord {
  std::string cartridge;
  int64_t block = 0;
  int64_t offset = 0;
  int64_t size = 0;
  double modified = 0;
  int compressed = 0;
  std::string sha256;
  std::string path;
};

struct Manifest {
  std::vector<ManifestCartridge> cartridges;
  std::vector<ManifestRecord> records;
  std::vector<std::string> catalogPaths;
};

inline Manifest ReadManifest(const std::string& path) {
  Manifest m;
  std::ifstream in(path);
  std::string line;
  const std::regex cartridge(
      R"(cartridge (\S+): end of data (\d+) blocks; (?:description: label '([^']*)', number (\d+), set date ([0-9.]+)|no description).*)");
  const std::regex record(
      R"((\S+) (\d+) (\d+) \| (\d+) \| ([0-9.]+) \| (\d) \| ([0-9a-f]{64}) \| (.*))");
  const std::regex entry(R"(  \d+, \d+ \| (.*))");
  std::smatch match;
  while (std::getline(in, line)) {
    if (std::regex_match(line, match, cartridge)) {
      ManifestCartridge c;
      c.name = match[1];
      c.endOfData = std::stoll(match[2]);
      c.hasDescription = match[3].matched;
      if (c.hasDescription) {
        c.label = match[3];
        c.number = std::stoi(match[4]);
        c.setDate = std::stod(match[5]);
      }
      m.cartridges.push_back(c);
    } else if (std::regex_match(line, match, record)) {
      m.records.push_back({match[1], std::stoll(match[2]), std::stoll(match[3]),
                           std::stoll(match[4]), std::stod(match[5]), std::stoi(match[6]),
                           match[7], match[8]});
    } else if (std::regex_match(line, match, entry)) {
      m.catalogPaths.push_back(match[1]);
    }
  }
  return m;
}

}  // namespace vantrel::testing
