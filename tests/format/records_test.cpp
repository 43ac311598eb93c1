#include "app/format/records.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace vantrel {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(Records, TapeDescriptionEncodesToFixedBytes) {
  TapeDescription d;
  d.SetDate = 40523.8958333333;  // 2010-12-11 21:30
  d.TapeNumber = 2;
  d.TapeLabel = "Tape";
  std::array<uint8_t, kTapeDescriptionSize> out;
  out.fill(0xAA);
  EncodeTapeDescription(d, out);
  // 40523.8958333333 as an IEEE 754 double, little-endian.
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 8),
            Bytes({0xA6, 0xAA, 0xAA, 0xAA, 0x7C, 0xC9, 0xE3, 0x40}));
  EXPECT_EQ(out[8], 2);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 9, out.begin() + 14),
            Bytes({4, 'T', 'a', 'p', 'e'}));
  for (size_t i = 14; i < kTapeDescriptionSize; ++i) EXPECT_EQ(out[i], 0) << i;

  TapeDescription back = DecodeTapeDescription(out);
  EXPECT_EQ(back.SetDate, d.SetDate);
  EXPECT_EQ(back.TapeNumber, 2);
  EXPECT_EQ(back.TapeLabel, "Tape");
}

TEST(Records, DiskGeometryLiesAtTheEndOfTheDescription) {
  TapeDescription d;
  d.TapeLabel = "Disk";
  d.TapeNumber = 1;
  d.Geometry = {7, 12, 16, 63, 512};
  std::array<uint8_t, kTapeDescriptionSize> out{};
  EncodeTapeDescription(d, out);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 272, out.end()),
            Bytes({7, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0, 16, 0, 0, 0, 63, 0, 0, 0, 0, 2, 0, 0}));
  TapeDescription back = DecodeTapeDescription(out);
  EXPECT_EQ(back.Geometry.Cylinders, 7);
  EXPECT_EQ(back.Geometry.BytesPerSector, 512u);
}

TEST(Records, FileRecordEncodesToFixedBytes) {
  TapeFileRecord r;
  r.Path = "/a/b.txt";
  r.Position = {256, 0, 65536};
  r.Size = 0x0102030405LL;
  r.Modified = 40500.5;
  r.Compressed = 1;
  std::array<uint8_t, kTapeFileRecordSize> out;
  out.fill(0xAA);
  EncodeTapeFileRecord(r, out);
  EXPECT_EQ(out[0], 8);
  EXPECT_EQ(std::string(out.begin() + 1, out.begin() + 9), "/a/b.txt");
  for (size_t i = 9; i < 256; ++i) ASSERT_EQ(out[i], 0) << i;
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 256, out.begin() + 272),
            Bytes({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 272, out.begin() + 280),
            Bytes({5, 4, 3, 2, 1, 0, 0, 0}));
  // 40500.5 = 0x40E3C69000000000
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 280, out.begin() + 288),
            Bytes({0, 0, 0, 0, 0x90, 0xC6, 0xE3, 0x40}));
  EXPECT_EQ(out[288], 1);
  for (size_t i = 289; i < kTapeFileRecordSize; ++i) EXPECT_EQ(out[i], 0) << i;

  TapeFileRecord back = DecodeTapeFileRecord(out);
  EXPECT_EQ(back.Path, r.Path);
  EXPECT_EQ(back.Position, r.Position);
  EXPECT_EQ(back.Size, r.Size);
  EXPECT_EQ(back.Modified, r.Modified);
  EXPECT_EQ(back.Compressed, 1);
}

TEST(Records, LongPathIsCutTo255Bytes) {
  TapeFileRecord r;
  r.Path = std::string(258, 'x');
  std::array<uint8_t, kTapeFileRecordSize> out{};
  EncodeTapeFileRecord(r, out);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(DecodeTapeFileRecord(out).Path, std::string(255, 'x'));
}

TEST(Records, TrailerAndEndMarkerBytes) {
  std::array<uint8_t, kCatalogTrailerSize> out{};
  EncodeCatalogTrailer({{256, 0, 65536}}, out);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()),
            Bytes({6, 'X', 'E', 'N', 'D', 'E', 'X', 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
  EncodeCatalogTrailer(TapeEndMarker, out);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()),
            Bytes({6, 'X', 'E', 'N', 'D', 'E', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace vantrel
