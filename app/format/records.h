// The fixed records of the tape format as plain values, and their byte codecs. Every codec works
// on explicit little-endian bytes; nothing depends on the host's struct layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

constexpr size_t kTapeDescriptionSize = 296;
constexpr size_t kTapeFileRecordSize = 296;
constexpr size_t kBlockPositionSize = 16;
constexpr size_t kCatalogTrailerSize = 19;
constexpr uint8_t kTapeNumberInvalid = 255;
constexpr char kTrailerMarker[] = "XENDEX";

// A ShortString: one length byte and up to 255 characters. Text is kept as the raw bytes.
using ShortString = std::string;

// DISK_GEOMETRY of an imaged disk, 24 bytes.
struct DiskGeometry {
  int64_t Cylinders = 0;
  uint32_t MediaType = 0;
  uint32_t TracksPerCylinder = 0;
  uint32_t SectorsPerTrack = 0;
  uint32_t BytesPerSector = 0;
};

// Block 0 of every tape.
struct TapeDescription {
  double SetDate = 0;  // TDateTime; 0 marks an invalid description
  uint8_t TapeNumber = kTapeNumberInvalid;
  ShortString TapeLabel;
  DiskGeometry Geometry;  // `DiskGeometry` of a "Disk" tape
  // Bytes of the label field beyond its length, kept so that a description read from tape
  // writes back unchanged.
  std::array<uint8_t, 255> LabelTail{};
};

// Position in the block stream: offset inside the block buffer and the block number.
struct BlockPosition {
  uint32_t BlockOffset = 0;
  int32_t Reserved = 0;
  int64_t BlockNumber = 0;
  bool operator==(const BlockPosition&) const = default;
};

// The header in front of every file's data on tape and the record of the catalog file.
struct TapeFileRecord {
  ShortString Path;
  BlockPosition Position;
  int64_t Size = 0;
  double Modified = 0;
  uint8_t Compressed = 0;
};

// Encoders write exactly the record's size; decoders read from the first bytes of `bytes`,
// which must hold at least the record's size.
void EncodeTapeDescription(const TapeDescription& d, std::span<uint8_t> out);
TapeDescription DecodeTapeDescription(std::span<const uint8_t> bytes);

void EncodeBlockPosition(const BlockPosition& p, std::span<uint8_t> out);
BlockPosition DecodeBlockPosition(std::span<const uint8_t> bytes);

void EncodeTapeFileRecord(const TapeFileRecord& r, std::span<uint8_t> out);
TapeFileRecord DecodeTapeFileRecord(std::span<const uint8_t> bytes);

// The end of a backup: 0x06 "XENDEX" and where the catalog's record header begins. With both
// values zero it says that the catalog is not on this tape.
struct CatalogTrailer {
  BlockPosition Catalog;
};

// The 19 bytes of a trailer.
void EncodeCatalogTrailer(const CatalogTrailer& trailer, std::span<uint8_t> out);

// The first 19 bytes of the block that ends each full tape of a set: a trailer of zeros.
constexpr CatalogTrailer TapeEndMarker{};

// Little-endian primitives shared by the codecs.
void PutU32(std::span<uint8_t> out, size_t at, uint32_t v);
void PutI64(std::span<uint8_t> out, size_t at, int64_t v);
void PutDouble(std::span<uint8_t> out, size_t at, double v);
uint32_t GetU32(std::span<const uint8_t> in, size_t at);
int64_t GetI64(std::span<const uint8_t> in, size_t at);
double GetDouble(std::span<const uint8_t> in, size_t at);
// Writes a ShortString field of 1 + `capacity` bytes; longer text is cut to `capacity`.
void PutShortString(std::span<uint8_t> out, size_t at, size_t capacity, const std::string& text);
std::string GetShortString(std::span<const uint8_t> in, size_t at);

}  // namespace vantrel
