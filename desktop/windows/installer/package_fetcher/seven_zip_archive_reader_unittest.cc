#include "desktop/windows/installer/package_fetcher/seven_zip_archive_reader.h"

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// The fixture tree's modification time, 2020-01-02 03:04:05 UTC, as FILETIME.
constexpr int64_t kFixtureTime = (1577934245LL + 11644473600LL) * 10000000LL;

base::FilePath Fixtures() {
  return base::FilePath(SEVEN_ZIP_FIXTURES_DIR);
}

base::FilePath Archive(const std::string& name) {
  return Fixtures().AppendASCII(name + ".7z");
}

// Relative path -> contents (nullopt for a folder).
using Tree = std::map<std::wstring, std::optional<std::string>>;

Tree ReadTree(const base::FilePath& root) {
  Tree tree;
  base::FileEnumerator walk(root, true,
                            base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = walk.Next(); !path.empty(); path = walk.Next()) {
    base::FilePath relative;
    EXPECT_TRUE(root.AppendRelativePath(path, &relative));
    std::optional<std::string> contents;
    if (!walk.GetInfo().IsDirectory()) {
      contents.emplace();
      EXPECT_TRUE(base::ReadFileToString(path, &*contents)) << path.value();
    }
    tree[relative.value()] = contents;
  }
  return tree;
}

int64_t LastWriteTime(const base::FilePath& path) {
  base::File::Info info;
  EXPECT_TRUE(base::GetFileInfo(path, &info));
  return info.last_modified;
}

class RecordingObserver : public PackageFetcherObserver {
 public:
  void SetTotalProgress(int total) override { totals.push_back(total); }
  void SetCurrentProgress(int current) override { currents.push_back(current); }
  void NotifyStalled(int) override {}
  void NotifyStatusChanged(PackageFetcherStatus) override {}

  std::vector<int> totals;
  std::vector<int> currents;
};

class SevenZipArchiveReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.CreateUniqueTempDir());
    out_ = dir_.GetPath().Append(L"out");
    ASSERT_TRUE(base::CreateDirectory(out_));
  }

  SevenZipExtractResult Extract(const base::FilePath& archive, base::FilePath* last = nullptr) {
    SevenZipArchiveReader reader;
    reader.set_observer(&observer_);
    EXPECT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(archive));
    return ExtractSevenZipArchive(&reader, out_, last);
  }

  // A copy of |archive| with |prefix| in front and |suffix| after it.
  base::FilePath Wrap(const std::string& archive, const std::string& prefix,
                      const std::string& suffix = std::string()) {
    std::string bytes;
    EXPECT_TRUE(base::ReadFileToString(Archive(archive), &bytes));
    base::FilePath wrapped = dir_.GetPath().Append(L"wrapped.exe");
    EXPECT_TRUE(base::WriteFile(wrapped, prefix + bytes + suffix));
    return wrapped;
  }

  base::ScopedTempDir dir_;
  base::FilePath out_;
  RecordingObserver observer_;
};

class SevenZipMethodTest : public SevenZipArchiveReaderTest,
                           public testing::WithParamInterface<const char*> {};

TEST_P(SevenZipMethodTest, ExtractsTheWholeTreeByteForByte) {
  ASSERT_EQ(SEVEN_ZIP_OK, Extract(Archive(GetParam())));
  const Tree expected = ReadTree(Fixtures().Append(L"content"));
  ASSERT_GT(expected.size(), 10u);
  // Also: the decoder's temporary file is gone.
  EXPECT_EQ(expected, ReadTree(out_));

  ASSERT_EQ(1u, observer_.totals.size());
  EXPECT_EQ(static_cast<int>(expected.size()), observer_.totals[0]);
  ASSERT_EQ(expected.size(), observer_.currents.size());
  for (size_t i = 0; i < observer_.currents.size(); ++i)
    EXPECT_EQ(static_cast<int>(i), observer_.currents[i]);

  for (const auto& [name, contents] : expected) {
    if (contents) {
      EXPECT_EQ(kFixtureTime, LastWriteTime(out_.Append(name))) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Methods, SevenZipMethodTest,
                         testing::Values("lzma", "lzma2", "ppmd", "copy", "bcj", "bcj2", "arm",
                                         "armt", "arm64", "ppc", "ia64", "sparc", "riscv",
                                         "delta", "multi_block", "non_solid",
                                         "header_uncompressed"));

TEST_F(SevenZipArchiveReaderTest, EntryWithoutTimeKeepsTheTimeOfWriting) {
  FILETIME before;
  ::GetSystemTimeAsFileTime(&before);
  ASSERT_EQ(SEVEN_ZIP_OK, Extract(Archive("no_mtime")));
  const int64_t written = LastWriteTime(out_.Append(L"readme.txt"));
  const int64_t start =
      static_cast<int64_t>(before.dwHighDateTime) << 32 | before.dwLowDateTime;
  // File times may be rounded to a coarser tick than the clock's.
  EXPECT_GE(written, start - 20000000);
  EXPECT_EQ(ReadTree(Fixtures().Append(L"content")), ReadTree(out_));
}

TEST_F(SevenZipArchiveReaderTest, ExistingFileIsOverwritten) {
  ASSERT_TRUE(base::WriteFile(out_.Append(L"readme.txt"),
                              std::string(1 << 20, 'x')));  // Longer than the entry.
  ASSERT_EQ(SEVEN_ZIP_OK, Extract(Archive("lzma2")));
  EXPECT_EQ(ReadTree(Fixtures().Append(L"content")), ReadTree(out_));
}

TEST_F(SevenZipArchiveReaderTest, ExtractingAgainMakesTheFoldersAgain) {
  SevenZipArchiveReader reader;
  ASSERT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(Archive("lzma2")));
  ASSERT_EQ(SEVEN_ZIP_OK, ExtractSevenZipArchive(&reader, out_, nullptr));
  ASSERT_TRUE(base::DeletePathRecursively(out_));
  ASSERT_TRUE(base::CreateDirectory(out_));
  ASSERT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(Archive("lzma2")));
  ASSERT_EQ(SEVEN_ZIP_OK, ExtractSevenZipArchive(&reader, out_, nullptr));
  EXPECT_EQ(ReadTree(Fixtures().Append(L"content")), ReadTree(out_));
  // The decoy holds the same tree without times: the times tell which one
  // was unpacked.
  EXPECT_EQ(kFixtureTime, LastWriteTime(out_.Append(L"readme.txt")));
}

TEST_F(SevenZipArchiveReaderTest, SelfExtractingFileWithSignatureAcrossChunks) {
  // The signature starts at 1020 and so spans the first two 1024-byte chunks;
  // the stub itself holds the signature bytes with a start header that does
  // not check out, as a program that knows the signature would.
  std::string stub(1020, 'M');
  stub.replace(100, 6, std::string("7z\xBC\xAF\x27\x1C", 6));
  ASSERT_EQ(SEVEN_ZIP_OK, Extract(Wrap("lzma2", stub, "VLO trailer")));
  EXPECT_EQ(ReadTree(Fixtures().Append(L"content")), ReadTree(out_));
}

TEST_F(SevenZipArchiveReaderTest, SignatureNearTheEndOfTheScannedMegabyteIsFound) {
  ASSERT_EQ(SEVEN_ZIP_OK, Extract(Wrap("copy", std::string(0x100000 - 512, '\0'))));
}

TEST_F(SevenZipArchiveReaderTest, SignatureAfterTheFirstMegabyteIsNotFound) {
  EXPECT_EQ(SEVEN_ZIP_NO_SIGNATURE, Extract(Wrap("lzma2", std::string(0x100000 + 1024, 'M'))));
  EXPECT_TRUE(base::IsDirectoryEmpty(out_));
}

// A package's payload lies where its program ends, which may be past the
// first megabyte: read from its offset it unpacks; a decoy archive before
// that offset is not taken.
TEST_F(SevenZipArchiveReaderTest, ArchiveIsFoundFromWhereTheReaderStarts) {
  std::string decoy;
  ASSERT_TRUE(base::ReadFileToString(Archive("no_mtime"), &decoy));
  std::string prefix = decoy + std::string(0x100000 + 1024, 'M');
  const uint64_t start = prefix.size();
  const base::FilePath package = Wrap("lzma2", prefix, "certificate table");
  SevenZipArchiveReader reader;
  ASSERT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(package, start));
  ASSERT_EQ(SEVEN_ZIP_OK, ExtractSevenZipArchive(&reader, out_, nullptr));
  EXPECT_EQ(ReadTree(Fixtures().Append(L"content")), ReadTree(out_));
  // The decoy holds the same tree without times: the times tell which one
  // was unpacked.
  EXPECT_EQ(kFixtureTime, LastWriteTime(out_.Append(L"readme.txt")));
}

TEST_F(SevenZipArchiveReaderTest, SignatureWithABadStartHeaderIsNoArchive) {
  std::string bytes;
  ASSERT_TRUE(base::ReadFileToString(Archive("lzma2"), &bytes));
  bytes[20] ^= 1;  // Inside the part the start header's CRC covers.
  const base::FilePath broken = dir_.GetPath().Append(L"broken.7z");
  ASSERT_TRUE(base::WriteFile(broken, bytes));
  EXPECT_EQ(SEVEN_ZIP_NO_SIGNATURE, Extract(broken));
}

TEST_F(SevenZipArchiveReaderTest, TruncatedArchiveFailsToOpen) {
  std::string bytes;
  ASSERT_TRUE(base::ReadFileToString(Archive("lzma2"), &bytes));
  const base::FilePath truncated = dir_.GetPath().Append(L"truncated.7z");
  ASSERT_TRUE(base::WriteFile(truncated, bytes.substr(0, bytes.size() - 40)));
  EXPECT_EQ(SEVEN_ZIP_ARCHIVE_OPEN_FAILED, Extract(truncated));
  EXPECT_TRUE(base::IsDirectoryEmpty(out_));
}

TEST_F(SevenZipArchiveReaderTest, CorruptedDataFailsToDecode) {
  std::string bytes;
  ASSERT_TRUE(base::ReadFileToString(Archive("copy"), &bytes));
  bytes[32 + 1000] ^= 0x40;  // Inside the stored data, before the header.
  const base::FilePath corrupted = dir_.GetPath().Append(L"corrupted.7z");
  ASSERT_TRUE(base::WriteFile(corrupted, bytes));
  EXPECT_EQ(SEVEN_ZIP_DECODE_FAILED, Extract(corrupted));
}

TEST_F(SevenZipArchiveReaderTest, UncreatableOutputFileFailsAndIsTheLastPathReached) {
  // A folder where the archive has a file, which is not its last entry.
  ASSERT_TRUE(base::CreateDirectory(out_.Append(L"readme.txt")));
  base::FilePath last;
  EXPECT_EQ(SEVEN_ZIP_CREATE_FILE_FAILED, Extract(Archive("lzma2"), &last));
  EXPECT_EQ(out_.Append(L"readme.txt"), last);
  ASSERT_FALSE(observer_.totals.empty());
  EXPECT_LT(observer_.currents.size(), static_cast<size_t>(observer_.totals[0]));
}

TEST_F(SevenZipArchiveReaderTest, ReaderWithoutFileFails) {
  SevenZipArchiveReader reader;
  EXPECT_EQ(SEVEN_ZIP_NOT_OPEN, ExtractSevenZipArchive(&reader, out_, nullptr));
  EXPECT_EQ(SEVEN_ZIP_OPEN_NOT_FOUND, reader.Open(dir_.GetPath().Append(L"missing.7z")));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(SEVEN_ZIP_OPEN_FAILED, reader.Open(dir_.GetPath()));
  ASSERT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(Archive("copy")));
  reader.Close();
  EXPECT_EQ(SEVEN_ZIP_NOT_OPEN, ExtractSevenZipArchive(&reader, out_, nullptr));
}

TEST_F(SevenZipArchiveReaderTest, StreamReadsToTheEndAndSeeksFromEveryOrigin) {
  const base::FilePath file = dir_.GetPath().Append(L"ten.bin");
  ASSERT_TRUE(base::WriteFile(file, "0123456789"));
  SevenZipArchiveReader reader;
  ASSERT_EQ(SEVEN_ZIP_OPEN_OK, reader.Open(file));
  ISeekInStreamPtr stream = reader.stream();
  Int64 position = -3;
  ASSERT_EQ(SZ_OK, stream->Seek(stream, &position, SZ_SEEK_END));
  EXPECT_EQ(7, position);
  char buffer[100] = {};
  // Past the end: what there is, and then nothing, both without an error.
  size_t size = sizeof(buffer);
  ASSERT_EQ(SZ_OK, stream->Read(stream, buffer, &size));
  EXPECT_EQ("789", std::string(buffer, size));
  size = sizeof(buffer);
  ASSERT_EQ(SZ_OK, stream->Read(stream, buffer, &size));
  EXPECT_EQ(0u, size);
  position = 2;
  ASSERT_EQ(SZ_OK, stream->Seek(stream, &position, SZ_SEEK_SET));
  position = 3;
  ASSERT_EQ(SZ_OK, stream->Seek(stream, &position, SZ_SEEK_CUR));
  EXPECT_EQ(5, position);
  size = 2;
  ASSERT_EQ(SZ_OK, stream->Read(stream, buffer, &size));
  EXPECT_EQ("56", std::string(buffer, size));
  size = 0;
  EXPECT_EQ(SZ_OK, stream->Read(stream, buffer, &size));
  EXPECT_EQ(SZ_ERROR_PARAM, stream->Seek(stream, &position, static_cast<ESzSeek>(3)));
}

class SevenZipHostileNameTest : public SevenZipArchiveReaderTest,
                                public testing::WithParamInterface<const char*> {};

TEST_P(SevenZipHostileNameTest, FailsAndWritesNothing) {
  EXPECT_EQ(SEVEN_ZIP_UNSAFE_NAME, Extract(Archive(std::string("hostile_") + GetParam())));
  EXPECT_TRUE(base::IsDirectoryEmpty(out_));
  EXPECT_TRUE(observer_.currents.empty());
  // Nothing beside the destination either.
  EXPECT_FALSE(base::PathExists(dir_.GetPath().Append(L"evil.txt")));
  EXPECT_EQ(1u, ReadTree(dir_.GetPath()).size());
}

INSTANTIATE_TEST_SUITE_P(Names, SevenZipHostileNameTest,
                         testing::Values("parent_slash", "parent_backslash", "inner_parent",
                                         "drive", "drive_relative", "root_slash",
                                         "root_backslash", "stream", "control", "device"));

}  // namespace
}  // namespace installer
