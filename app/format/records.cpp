#include "app/format/records.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vantrel {

void PutU32(std::span<uint8_t> out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutI64(std::span<uint8_t> out, size_t at, int64_t v) {
  uint64_t u = static_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) out[at + i] = static_cast<uint8_t>(u >> (8 * i));
}

void PutDouble(std::span<uint8_t> out, size_t at, double v) {
  PutI64(out, at, static_cast<int64_t>(std::bit_cast<uint64_t>(v)));
}

uint32_t GetU32(std::span<const uint8_t> in, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | in[at + i];
  return v;
}

int64_t GetI64(std::span<const uint8_t> in, size_t at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | in[at + i];
  return static_cast<int64_t>(v);
}

double GetDouble(std::span<const uint8_t> in, size_t at) {
  return std::bit_cast<double>(static_cast<uint64_t>(GetI64(in, at)));
}

void PutShortString(std::span<uint8_t> out, size_t at, size_t capacity, const std::string& text) {
  size_t n = std::min(text.size(), capacity);
  out[at] = static_cast<uint8_t>(n);
  std::memcpy(out.data() + at + 1, text.data(), n);
}

std::string GetShortString(std::span<const uint8_t> in, size_t at) {
  size_t n = in[at];
  return std::string(reinterpret_cast<const char*>(in.data() + at + 1), n);
}

void EncodeTapeDescription(const TapeDescription& d, std::span<uint8_t> out) {
  std::fill(out.begin(), out.begin() + kTapeDescriptionSize, 0);
  PutDouble(out, 0, d.SetDate);
  out[8] = d.TapeNumber;
  std::memcpy(out.data() + 10, d.LabelTail.data(), d.LabelTail.size());
  PutShortString(out, 9, 255, d.TapeLabel);
  PutI64(out, 272, d.Geometry.Cylinders);
  PutU32(out, 280, d.Geometry.MediaType);
  PutU32(out, 284, d.Geometry.TracksPerCylinder);
  PutU32(out, 288, d.Geometry.SectorsPerTrack);
  PutU32(out, 292, d.Geometry.BytesPerSector);
}

TapeDescription DecodeTapeDescription(std::span<const uint8_t> bytes) {
  TapeDescription d;
  d.SetDate = GetDouble(bytes, 0);
  d.TapeNumber = bytes[8];
  d.TapeLabel = GetShortString(bytes, 9);
  std::memcpy(d.LabelTail.data(), bytes.data() + 10, d.LabelTail.size());
  std::fill(d.LabelTail.begin(), d.LabelTail.begin() + d.TapeLabel.size(), 0);
  d.Geometry.Cylinders = GetI64(bytes, 272);
  d.Geometry.MediaType = GetU32(bytes, 280);
  d.Geometry.TracksPerCylinder = GetU32(bytes, 284);
  d.Geometry.SectorsPerTrack = GetU32(bytes, 288);
  d.Geometry.BytesPerSector = GetU32(bytes, 292);
  return d;
}

void EncodeBlockPosition(const BlockPosition& p, std::span<uint8_t> out) {
  PutU32(out, 0, p.BlockOffset);
  PutU32(out, 4, static_cast<uint32_t>(p.Reserved));
  PutI64(out, 8, p.BlockNumber);
}

BlockPosition DecodeBlockPosition(std::span<const uint8_t> bytes) {
  BlockPosition p;
  p.BlockOffset = GetU32(bytes, 0);
  p.Reserved = static_cast<int32_t>(GetU32(bytes, 4));
  p.BlockNumber = GetI64(bytes, 8);
  return p;
}

void EncodeTapeFileRecord(const TapeFileRecord& r, std::span<uint8_t> out) {
  std::fill(out.begin(), out.begin() + kTapeFileRecordSize, 0);
  PutShortString(out, 0, 255, r.Path);
  EncodeBlockPosition(r.Position, out.subspan(256, kBlockPositionSize));
  PutI64(out, 272, r.Size);
  PutDouble(out, 280, r.Modified);
  out[288] = r.Compressed;
}

TapeFileRecord DecodeTapeFileRecord(std::span<const uint8_t> bytes) {
  TapeFileRecord r;
  r.Path = GetShortString(bytes, 0);
  r.Position = DecodeBlockPosition(bytes.subspan(256, kBlockPositionSize));
  r.Size = GetI64(bytes, 272);
  r.Modified = GetDouble(bytes, 280);
  r.Compressed = bytes[288];
  return r;
}

void EncodeCatalogTrailer(const CatalogTrailer& trailer, std::span<uint8_t> out) {
  out[0] = 0x06;
  std::memcpy(out.data() + 1, kTrailerMarker, 6);
  PutU32(out, 7, trailer.Catalog.BlockOffset);
  PutI64(out, 11, trailer.Catalog.BlockNumber);
}

}  // namespace vantrel
