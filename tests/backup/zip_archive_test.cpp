#include "app/backup/zip_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

namespace fs = std::filesystem;

constexpr time_t kOldTime = 1276603200;  // 2010-06-15 12:00:00 UTC, an even second for DOS times

// Text that packs well but not trivially.
std::string TextData(size_t size) {
  static const char* const kWords[] = {"tape ",   "block ",  "catalog ", "stream ",
                                       "record ", "backup ", "restore ", "verify\n"};
  std::mt19937 random(7);
  std::string text;
  while (text.size() < size) text += kWords[random() % 8];
  text.resize(size);
  return text;
}

std::string RandomData(size_t size) {
  std::mt19937 random(11);
  std::string data(size, '\0');
  for (char& c : data) c = static_cast<char>(random());
  return data;
}

void SetModified(const std::string& path, time_t when) {
  fs::last_write_time(
      path, fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

time_t Modified(const std::string& path) {
  struct stat info;
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mtime;
}

struct EntryInfo {
  std::string name;
  int method = -1;
  uint64_t size = 0;
  uint64_t packedSize = 0;
};

// The entries of an archive as libzip reads them.
std::vector<EntryInfo> Entries(const std::string& archivePath) {
  int error = 0;
  zip_t* archive = zip_open(archivePath.c_str(), ZIP_RDONLY, &error);
  if (archive == nullptr) {
    ADD_FAILURE() << "cannot open " << archivePath << ": " << error;
    return {};
  }
  std::vector<EntryInfo> entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive, i, ZIP_FL_ENC_RAW, &st);
    entries.push_back({st.name, st.comp_method, st.size, st.comp_size});
  }
  zip_discard(archive);
  return entries;
}

// Writes an archive with the given entries (name, data) straight through libzip, as an archive
// from elsewhere would look.
void MakeArchive(const std::string& archivePath,
                 const std::vector<std::pair<std::string, std::string>>& entries,
                 int method = ZIP_CM_DEFLATE) {
  int error = 0;
  zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, data] : entries) {
    zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
    zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0) << name << ": " << zip_strerror(archive);
    zip_set_file_compression(archive, index, method, 0);
  }
  ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

// Every regular file below `dir`, relative to it.
std::vector<std::string> FilesBelow(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_directory()) files.push_back(fs::relative(entry.path(), dir).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

uint32_t ReadLe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

void WriteLe32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Where the data of the first entry start in an archive written by libzip.
size_t FirstDataOffset(const std::string& bytes) {
  size_t nameLength = static_cast<uint8_t>(bytes[26]) | static_cast<uint8_t>(bytes[27]) << 8;
  size_t extraLength = static_cast<uint8_t>(bytes[28]) | static_cast<uint8_t>(bytes[29]) << 8;
  return 30 + nameLength + extraLength;
}

class ZipArchiveTest : public ::testing::Test {
 protected:
  // Writes `name` into the source folder with an old modification time.
  std::string Source(const std::string& name, const std::string& data) {
    std::string path = dir_ / ("source/" + name);
    WriteFile(path, data);
    SetModified(path, kOldTime);
    return path;
  }
  std::string Archive(const std::string& name = "vl_backup.zip") { return dir_ / name; }
  std::string Destination() {
    std::string path = dir_ / "worker";
    fs::create_directories(path);
    return path;
  }

  TempDir dir_;
};

struct RoundTripCase {
  std::string fileName;
  std::string data;
  int method;
};

TEST_F(ZipArchiveTest, RoundTripsEachKindOfFile) {
  const RoundTripCase cases[] = {
      {"photo.jpg", TextData(300000), ZIP_CM_DEFLATE},
      {"Packed.ZIP", RandomData(70000), ZIP_CM_STORE},
      {"anim.gif", TextData(5000), ZIP_CM_STORE},
      {"archive.tar.gz", TextData(100), ZIP_CM_STORE},
      {"README", TextData(1000), ZIP_CM_DEFLATE},
      {"empty.txt", "", ZIP_CM_DEFLATE},
      {"noise.bin", RandomData(100000), ZIP_CM_DEFLATE},
      {"\xC3\x9C"
       "bersicht M\xC3\xA4rz.txt",
       TextData(100), ZIP_CM_DEFLATE},                        // UTF-8
      {"Latin \xE4\xF6.txt", TextData(100), ZIP_CM_DEFLATE},  // bytes that are no UTF-8
      {"a\\b.txt", TextData(100), ZIP_CM_DEFLATE},            // a backslash is part of a name here
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.fileName);
    std::string source = Source(c.fileName, c.data);
    ZipResult added = ZipAddFile(Archive(), source, 9, kStoredExtensions);
    ASSERT_TRUE(added.ok()) << added.message;

    std::vector<EntryInfo> entries = Entries(Archive());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, c.fileName);
    EXPECT_EQ(entries[0].method, c.method);
    EXPECT_EQ(entries[0].size, c.data.size());
    if (c.method == ZIP_CM_DEFLATE && c.fileName == "photo.jpg") {
      EXPECT_LT(entries[0].packedSize, c.data.size() / 3);
    }

    ZipResult extracted = ZipExtractAll(Archive(), Destination());
    ASSERT_TRUE(extracted.ok()) << extracted.message;
    std::string copy = Destination() + "/" + c.fileName;
    EXPECT_EQ(ReadFile(copy), c.data);
    EXPECT_EQ(Modified(copy), kOldTime);
    fs::remove(Archive());
  }
  EXPECT_EQ(FilesBelow(Destination()).size(), std::size(cases));  // no temporary files left
}

TEST_F(ZipArchiveTest, StoredExtensionsAreTheCallersList) {
  std::string source = Source("photo.jpg", TextData(20000));
  ASSERT_TRUE(ZipAddFile(Archive(), source, 9, {"JPG"}).ok());
  EXPECT_EQ(Entries(Archive())[0].method, ZIP_CM_STORE);
}

TEST_F(ZipArchiveTest, LevelIsClampedAndReachesTheEntry) {
  std::string source = Source("data.txt", TextData(400000));
  int made = 0;
  auto packedSize = [&](int level) {
    std::string archive = Archive(std::to_string(++made) + ".zip");
    ZipResult result = ZipAddFile(archive, source, level, kStoredExtensions);
    EXPECT_TRUE(result.ok()) << result.message;
    return Entries(archive)[0].packedSize;
  };
  EXPECT_EQ(packedSize(0), packedSize(1));
  EXPECT_EQ(packedSize(12), packedSize(9));
  EXPECT_LT(packedSize(9), packedSize(1));
}

TEST_F(ZipArchiveTest, UnzipAcceptsTheArchives) {
  if (std::system("command -v unzip >/dev/null 2>&1") != 0) GTEST_SKIP() << "unzip missing";
  const std::pair<std::string, std::string> files[] = {
      {"text.txt", TextData(200000)}, {"stored.zip", RandomData(5000)}, {"empty.dat", ""}};
  for (const auto& [name, data] : files) {
    std::string archive = Archive(name + ".zip");
    ASSERT_TRUE(ZipAddFile(archive, Source(name, data), 6, kStoredExtensions).ok());
    std::string command = "unzip -tqq '" + archive + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << name;
  }
}

TEST_F(ZipArchiveTest, AddRefusesAnExistingArchiveAndMissingFiles) {
  WriteFile(Archive(), "keep me");
  ZipResult existing = ZipAddFile(Archive(), Source("a.txt", "a"), 9, kStoredExtensions);
  EXPECT_FALSE(existing.ok());
  EXPECT_NE(existing.message.find(Archive()), std::string::npos) << existing.message;
  EXPECT_EQ(ReadFile(Archive()), "keep me");

  std::string missing = dir_ / "source/missing.txt";
  ZipResult absent = ZipAddFile(Archive("new.zip"), missing, 9, kStoredExtensions);
  EXPECT_FALSE(absent.ok());
  EXPECT_NE(absent.message.find(missing), std::string::npos) << absent.message;
  EXPECT_FALSE(fs::exists(Archive("new.zip")));

  ZipResult directory = ZipAddFile(Archive("dir.zip"), dir_ / "source", 9, kStoredExtensions);
  EXPECT_FALSE(directory.ok());
  EXPECT_FALSE(fs::exists(Archive("dir.zip")));
}

TEST_F(ZipArchiveTest, ExtractReplacesAnExistingFile) {
  ASSERT_TRUE(ZipAddFile(Archive(), Source("a.txt", "new contents"), 9, kStoredExtensions).ok());
  WriteFile(Destination() + "/a.txt", "old contents that were longer");
  fs::permissions(Destination() + "/a.txt", fs::perms::owner_read);
  ZipResult result = ZipExtractAll(Archive(), Destination());
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(ReadFile(Destination() + "/a.txt"), "new contents");
  EXPECT_EQ(FilesBelow(Destination()), std::vector<std::string>{"a.txt"});
}

TEST_F(ZipArchiveTest, EntriesInFoldersArriveUnderTheirPlainName) {
  MakeArchive(Archive(), {{"data/sub/inner.txt", "inner"}, {"data/", ""}});
  ZipResult result = ZipExtractAll(Archive(), Destination());
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(FilesBelow(Destination()), std::vector<std::string>{"inner.txt"});
  EXPECT_EQ(ReadFile(Destination() + "/inner.txt"), "inner");
}

TEST_F(ZipArchiveTest, HostileEntryNamesAreRefused) {
  const std::string absolute = dir_ / "outside/abs.txt";
  const std::string names[] = {
      "../evil.txt",  "../../evil.txt",     "sub/../../evil.txt", "..",    absolute,
      "..\\evil.txt", "sub\\..\\..\\e.txt", "\\evil.txt",         "sub/.", "",
      "a/../b.txt"};
  fs::create_directories(dir_ / "outside");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    MakeArchive(Archive(), {{"good.txt", "good"}, {name, "evil"}});
    ZipResult result = ZipExtractAll(Archive(), Destination());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.message.empty());
    fs::remove(Archive());
    // Only the harmless first entry may have arrived, and only inside the destination.
    for (const std::string& file : FilesBelow(dir_ / "")) EXPECT_EQ(file, "worker/good.txt");
  }
}

TEST_F(ZipArchiveTest, AnArchiveWithoutFilesIsAnError) {
  WriteFile(Archive(), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_FALSE(ZipExtractAll(Archive(), Destination()).ok());
  WriteFile(Archive(), "");
  EXPECT_FALSE(ZipExtractAll(Archive(), Destination()).ok());
  EXPECT_FALSE(ZipExtractAll(dir_ / "missing.zip", Destination()).ok());
}

TEST_F(ZipArchiveTest, CorruptArchivesGiveErrors) {
  ASSERT_TRUE(
      ZipAddFile(Archive("good.zip"), Source("a.txt", TextData(50000)), 9, kStoredExtensions).ok());
  ASSERT_TRUE(
      ZipAddFile(Archive("stored.zip"), Source("b.gz", RandomData(20000)), 9, kStoredExtensions)
          .ok());
  std::vector<std::pair<std::string, std::string>> corruptions;
  corruptions.push_back({"not a zip", TextData(3000)});
  for (const char* name : {"good.zip", "stored.zip"}) {
    std::string bytes = ReadFile(Archive(name));
    std::string flipped = bytes;
    size_t middle = FirstDataOffset(bytes) + Entries(Archive(name))[0].packedSize / 2;
    flipped[middle] = static_cast<char>(flipped[middle] ^ 0x5A);
    corruptions.push_back({std::string(name) + " flipped", flipped});
    for (size_t cut = 0; cut < bytes.size(); cut += 997) {
      corruptions.push_back(
          {std::string(name) + " cut at " + std::to_string(cut), bytes.substr(0, cut)});
    }
  }
  for (const auto& [what, bytes] : corruptions) {
    SCOPED_TRACE(what);
    WriteFile(Archive("bad.zip"), bytes);
    ZipResult result = ZipExtractAll(Archive("bad.zip"), Destination());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.message.empty());
    EXPECT_TRUE(FilesBelow(Destination()).empty());
  }
}

// A changed byte anywhere either gives an error or still yields the original data.
TEST_F(ZipArchiveTest, NoChangedByteGivesWrongDataSilently) {
  const std::string data = TextData(600);
  for (const char* name : {"a.txt", "b.zip"}) {
    std::string archive = Archive(std::string(name) + ".zip");
    ASSERT_TRUE(ZipAddFile(archive, Source(name, data), 9, kStoredExtensions).ok());
    const std::string bytes = ReadFile(archive);
    for (size_t at = 0; at < bytes.size(); ++at) {
      SCOPED_TRACE(std::string(name) + " byte " + std::to_string(at));
      std::string changed = bytes;
      changed[at] = static_cast<char>(changed[at] ^ 0x21);
      WriteFile(Archive("bad.zip"), changed);
      std::string destination = dir_ / ("out/" + std::string(name) + std::to_string(at));
      fs::create_directories(destination);
      if (!ZipExtractAll(Archive("bad.zip"), destination).ok()) continue;
      std::vector<std::string> files = FilesBelow(destination);
      ASSERT_EQ(files.size(), 1u);
      EXPECT_EQ(ReadFile(destination + "/" + files[0]), data);
    }
  }
}

TEST_F(ZipArchiveTest, SizeThatDisagreesWithTheDataIsAnError) {
  MakeArchive(Archive("good.zip"), {{"a.txt", TextData(40000)}});
  std::string bytes = ReadFile(Archive("good.zip"));
  size_t central = bytes.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  for (uint32_t lie : {30000u, 50000u}) {
    SCOPED_TRACE(lie);
    std::string patched = bytes;
    WriteLe32(patched, 22, lie);            // local header: uncompressed size
    WriteLe32(patched, central + 24, lie);  // central directory: uncompressed size
    ASSERT_EQ(ReadLe32(patched, central + 24), lie);
    WriteFile(Archive(), patched);
    EXPECT_FALSE(ZipExtractAll(Archive(), Destination()).ok());
    EXPECT_TRUE(FilesBelow(Destination()).empty());
  }
}

}  // namespace
}  // namespace vantrel
