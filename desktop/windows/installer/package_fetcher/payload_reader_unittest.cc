#include "desktop/windows/installer/package_fetcher/payload_reader.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

constexpr uint32_t kPeOffset = 0x80;
const std::string kSevenZip("7z\xBC\xAF\x27\x1C", 6);

void PutUInt16(std::string* image, size_t offset, uint16_t value) {
  (*image)[offset] = static_cast<char>(value & 0xFF);
  (*image)[offset + 1] = static_cast<char>(value >> 8);
}

void PutUInt32(std::string* image, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*image)[offset + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// The headers a reader looks at, padded with zeros: "MZ", the PE offset, the
// PE signature, the machine and an empty security entry.
std::string MakeImage(bool pe32 = false) {
  std::string image(0x200, '\0');
  PutUInt16(&image, 0, 0x5A4D);
  PutUInt32(&image, 0x3C, kPeOffset);
  image.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  PutUInt16(&image, kPeOffset + 4, pe32 ? 0x014C : 0x8664);
  return image;
}

size_t SecurityEntry(const std::string& image) {
  return kPeOffset + (image[kPeOffset + 4] == '\x4C' ? 152 : 168);
}

std::string Block(const std::string& payload) {
  std::string block = "VLO" + payload + "0000";
  PutUInt32(&block, block.size() - 4, static_cast<uint32_t>(payload.size()));
  return block;
}

// What a signing tool does: align to 8 bytes, append a certificate table and
// point the security entry at it. The table's bytes are arbitrary here.
void Sign(std::string* image) {
  image->resize((image->size() + 7) / 8 * 8, '\0');
  std::string table(0x180, '\x5A');
  PutUInt32(image, SecurityEntry(*image), static_cast<uint32_t>(image->size()));
  PutUInt32(image, SecurityEntry(*image) + 4, static_cast<uint32_t>(table.size()));
  *image += table;
}

// Appends a block that ends on an 8-byte boundary, as the writer of a block
// that must end up inside the signature does.
void AppendAlignedBlock(std::string* image, const std::string& payload) {
  size_t end = image->size() + 7 + payload.size();
  image->append((8 - end % 8) % 8, '\0');
  *image += Block(payload);
}

class PayloadReaderTest : public testing::Test {
 protected:
  base::FilePath Write(const std::string& contents) {
    base::FilePath path = Path(L"image");
    EXPECT_TRUE(base::WriteFile(path, contents));
    return path;
  }

  base::FilePath Path(const std::wstring& prefix) {
    return base::FilePath(base::test::ScratchFolder())
        .Append(base::test::UniqueName(prefix) + L".bin");
  }

  std::string ReadBack(const base::FilePath& path) {
    std::string contents;
    EXPECT_TRUE(base::ReadFileToString(path, &contents));
    return contents;
  }
};

TEST_F(PayloadReaderTest, NamesOfTheTypes) {
  EXPECT_EQ("none", PayloadTypeToString(PayloadType::none));
  EXPECT_EQ("tracking_data", PayloadTypeToString(PayloadType::tracking_data));
  EXPECT_EQ("external_tracking_data", PayloadTypeToString(PayloadType::external_tracking_data));
  EXPECT_EQ("full_package", PayloadTypeToString(PayloadType::full_package));
  EXPECT_EQ("corrupted", PayloadTypeToString(PayloadType::corrupted));
  EXPECT_EQ("", PayloadTypeToString(static_cast<PayloadType>(7)));
  EXPECT_EQ("", PayloadTypeToString(static_cast<PayloadType>(-1)));
}

TEST_F(PayloadReaderTest, SevenZipSignatureNeedsAllSixBytes) {
  EXPECT_TRUE(IsSevenZipSignature(kSevenZip));
  EXPECT_TRUE(IsSevenZipSignature(kSevenZip + "rest"));
  EXPECT_FALSE(IsSevenZipSignature(kSevenZip.substr(0, 5)));
  EXPECT_FALSE(IsSevenZipSignature(""));
  EXPECT_FALSE(IsSevenZipSignature("7z\xBC\xAF\x27\x1D"));
}

TEST_F(PayloadReaderTest, ImageWithoutPayloadHasNone) {
  PayloadReader reader(Write(MakeImage()));
  EXPECT_EQ(PayloadType::none, reader.type());
  EXPECT_EQ("", reader.GetPayloadData());
  EXPECT_FALSE(reader.WriteToFile(Path(L"out")));
}

TEST_F(PayloadReaderTest, FileThatCannotBeMappedHasNone) {
  PayloadReader missing(Path(L"missing"));
  EXPECT_EQ(PayloadType::none, missing.type());
  EXPECT_EQ("", missing.GetPayloadData());
  // Zero bytes cannot be mapped: no payload rather than a corrupted one, and
  // the log says why.
  const base::FilePath log = Path(L"log");
  logging::LoggingSettings settings;
  settings.log_file_path = log;
  ASSERT_TRUE(logging::InitLogging(settings));
  EXPECT_EQ(PayloadType::none, PayloadReader(Write("")).type());
  logging::CloseLogFile();
  EXPECT_NE(std::string::npos, ReadBack(log).find("Could not initialize memory mapped file"));
}

TEST_F(PayloadReaderTest, TrackingDataAtTheEnd) {
  std::string image = MakeImage();
  const std::string data = R"({"uuid":"1234","utm":{"medium":"web"}})";
  image += Block(data);
  PayloadReader reader(Write(image));
  ASSERT_EQ(PayloadType::tracking_data, reader.type());
  EXPECT_EQ(data, reader.GetPayloadData());
  EXPECT_EQ(data.size(), reader.payload_length());
  EXPECT_EQ(image.size() - 4 - data.size(), reader.payload_offset());

  base::FilePath out = Path(L"out");
  EXPECT_TRUE(reader.WriteToFile(out));
  EXPECT_EQ(data, ReadBack(out));
}

TEST_F(PayloadReaderTest, ShortAndEmptyPayloadsAreTrackingData) {
  // A prefix of the 7z signature is not a package.
  PayloadReader short_reader(Write(MakeImage() + Block(kSevenZip.substr(0, 5))));
  EXPECT_EQ(PayloadType::tracking_data, short_reader.type());

  PayloadReader empty_reader(Write(MakeImage() + Block("")));
  ASSERT_EQ(PayloadType::tracking_data, empty_reader.type());
  EXPECT_EQ("", empty_reader.GetPayloadData());
  base::FilePath out = Path(L"out");
  EXPECT_TRUE(empty_reader.WriteToFile(out));
  EXPECT_EQ("", ReadBack(out));
}

TEST_F(PayloadReaderTest, FullPackageAtTheEndOfAnUnsignedImage) {
  std::string package = kSevenZip + std::string(5000, '\0') + "archive end";
  for (bool pe32 : {false, true}) {
    SCOPED_TRACE(pe32 ? "PE32" : "PE32+");
    PayloadReader reader(Write(MakeImage(pe32) + Block(package)));
    ASSERT_EQ(PayloadType::full_package, reader.type());
    EXPECT_EQ(package, reader.GetPayloadData());
    base::FilePath out = Path(L"package");
    EXPECT_TRUE(reader.WriteToFile(out));
    EXPECT_EQ(package, ReadBack(out));
  }
}

TEST_F(PayloadReaderTest, SignedImages) {
  const std::string package = kSevenZip + "inside the signed part";
  const std::string tracking = R"({"uuid":"abc"})";

  std::string plain = MakeImage();
  Sign(&plain);
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(plain)).type());

  // A package before the certificate table is covered by the signature.
  std::string inside = MakeImage();
  AppendAlignedBlock(&inside, package);
  Sign(&inside);
  PayloadReader inside_reader(Write(inside));
  ASSERT_EQ(PayloadType::full_package, inside_reader.type());
  EXPECT_EQ(package, inside_reader.GetPayloadData());

  // The same package appended after the table is not.
  std::string outside = MakeImage();
  Sign(&outside);
  outside += Block(package);
  PayloadReader outside_reader(Write(outside));
  EXPECT_EQ(PayloadType::none, outside_reader.type());
  EXPECT_EQ("", outside_reader.GetPayloadData());
  EXPECT_FALSE(outside_reader.WriteToFile(Path(L"out")));

  // Tracking data may sit on either side of the table.
  std::string tracking_after = MakeImage();
  Sign(&tracking_after);
  tracking_after += Block(tracking);
  PayloadReader after_reader(Write(tracking_after));
  EXPECT_EQ(PayloadType::tracking_data, after_reader.type());
  EXPECT_EQ(tracking, after_reader.GetPayloadData());

  std::string tracking_before = MakeImage();
  AppendAlignedBlock(&tracking_before, tracking);
  Sign(&tracking_before);
  PayloadReader before_reader(Write(tracking_before));
  EXPECT_EQ(PayloadType::tracking_data, before_reader.type());
  EXPECT_EQ(tracking, before_reader.GetPayloadData());

  // A block at the file end wins over one before the table.
  std::string both = MakeImage();
  AppendAlignedBlock(&both, package);
  Sign(&both);
  both += Block(tracking);
  PayloadReader both_reader(Write(both));
  EXPECT_EQ(PayloadType::tracking_data, both_reader.type());
  EXPECT_EQ(tracking, both_reader.GetPayloadData());
}

TEST_F(PayloadReaderTest, BlockAppendedBeforeSigningIsFoundBehindThePadding) {
  const std::string tracking = R"({"uuid":"abc"})";
  const std::string package = kSevenZip + "package bytes";
  for (size_t extra = 0; extra < 8; ++extra) {
    for (const std::string& payload : {tracking + std::string(extra, ' '), package}) {
      std::string image = MakeImage();
      image += std::string(extra, 'x');
      image += Block(payload);
      Sign(&image);
      PayloadReader reader(Write(image));
      EXPECT_EQ(payload == package ? PayloadType::full_package : PayloadType::tracking_data,
                reader.type())
          << extra;
      EXPECT_EQ(payload, reader.GetPayloadData());
    }
  }
}

TEST_F(PayloadReaderTest, BlockFollowedByMoreThanAlignmentPaddingIsNotFound) {
  // Only the padding a signing tool adds is skipped.
  std::string image = MakeImage();
  image += Block(R"({"uuid":"abc"})");
  image += std::string(8, '\0');
  Sign(&image);
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(image)).type());
}

TEST_F(PayloadReaderTest, SecurityEntryFollowsTheMachine) {
  // An i386 image keeps its entry at +152; the PE32+ place is not looked at.
  std::string pe32 = MakeImage(/*pe32=*/true);
  AppendAlignedBlock(&pe32, kSevenZip);
  Sign(&pe32);
  EXPECT_EQ(PayloadType::full_package, PayloadReader(Write(pe32)).type());

  std::string wrong = MakeImage();
  AppendAlignedBlock(&wrong, kSevenZip + "x");
  std::string table(64, '\x5A');
  PutUInt32(&wrong, kPeOffset + 152, static_cast<uint32_t>(wrong.size()));
  PutUInt32(&wrong, kPeOffset + 156, static_cast<uint32_t>(table.size()));
  wrong += table;
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(wrong)).type());
}

TEST_F(PayloadReaderTest, BadHeadersAreCorrupted) {
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write("M")).type());

  std::string no_mz = MakeImage();
  no_mz[0] = 'X';
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write(no_mz + Block("x"))).type());

  std::string no_pe = MakeImage();
  no_pe[kPeOffset + 2] = 'X';
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write(no_pe + Block("x"))).type());

  // Offsets the file does not hold: the PE offset, the signature, the entry.
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write(MakeImage().substr(0, 0x3E))).type());
  std::string far_pe = MakeImage();
  PutUInt32(&far_pe, 0x3C, 0xFFFFFFFF);
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write(far_pe)).type());
  EXPECT_EQ(PayloadType::corrupted,
            PayloadReader(Write(MakeImage().substr(0, kPeOffset + 6))).type());
  EXPECT_EQ(PayloadType::corrupted,
            PayloadReader(Write(MakeImage().substr(0, kPeOffset + 170))).type());
}

TEST_F(PayloadReaderTest, CertificateTablePastTheEndIsCorrupted) {
  std::string image = MakeImage();
  Sign(&image);
  image += Block(R"({"uuid":"abc"})");
  PutUInt32(&image, SecurityEntry(image), static_cast<uint32_t>(image.size() + 1));
  EXPECT_EQ(PayloadType::corrupted, PayloadReader(Write(image)).type());
}

TEST_F(PayloadReaderTest, LengthsThatLieAreNotFollowed) {
  // A length larger than the file.
  std::string huge = MakeImage() + "VLO" + "0000";
  PutUInt32(&huge, huge.size() - 4, 0xFFFFFFFF);
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(huge)).type());

  // A length that leaves no room for the magic.
  std::string no_room = MakeImage() + "0000";
  PutUInt32(&no_room, no_room.size() - 4, static_cast<uint32_t>(no_room.size() - 4 - 2));
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(no_room)).type());

  // A length that points at bytes other than the magic.
  std::string wrong_magic = MakeImage() + Block("payload");
  wrong_magic[wrong_magic.size() - 4 - 7 - 3] = 'X';
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(wrong_magic)).type());

  // A certificate table at offset 0 with a size gives no position before it.
  std::string zero_table = MakeImage();
  PutUInt32(&zero_table, SecurityEntry(zero_table) + 4, 16);
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(zero_table)).type());

  // A signed image whose table lies about its place: the position before it
  // is checked like any other.
  std::string early_table = MakeImage();
  Sign(&early_table);
  PutUInt32(&early_table, SecurityEntry(early_table), 2);
  EXPECT_EQ(PayloadType::none, PayloadReader(Write(early_table)).type());
}

TEST_F(PayloadReaderTest, ExternalTrackingDataReplacesWhateverWasRead) {
  PayloadReader reader(Write(MakeImage()));
  ASSERT_EQ(PayloadType::none, reader.type());
  reader.SetExternalTrackingData(R"({"uuid":"from the command line"})");
  EXPECT_EQ(PayloadType::external_tracking_data, reader.type());
  EXPECT_EQ(R"({"uuid":"from the command line"})", reader.GetPayloadData());
  base::FilePath out = Path(L"out");
  EXPECT_TRUE(reader.WriteToFile(out));
  EXPECT_EQ(R"({"uuid":"from the command line"})", ReadBack(out));

  // Even an empty string is written (as an empty file), and even over a
  // corrupted classification.
  PayloadReader corrupted(Write("not an image"));
  ASSERT_EQ(PayloadType::corrupted, corrupted.type());
  EXPECT_FALSE(corrupted.WriteToFile(Path(L"out")));
  corrupted.SetExternalTrackingData("");
  EXPECT_EQ(PayloadType::external_tracking_data, corrupted.type());
  base::FilePath empty_out = Path(L"out");
  EXPECT_TRUE(corrupted.WriteToFile(empty_out));
  EXPECT_EQ("", ReadBack(empty_out));
}

TEST_F(PayloadReaderTest, WriteToAFolderThatDoesNotExistFails) {
  PayloadReader reader(Write(MakeImage() + Block(kSevenZip)));
  ASSERT_EQ(PayloadType::full_package, reader.type());
  EXPECT_FALSE(reader.WriteToFile(Path(L"missing").Append(L"package.7z")));
  // The reader stays usable.
  base::FilePath out = Path(L"out");
  EXPECT_TRUE(reader.WriteToFile(out));
  EXPECT_EQ(kSevenZip, ReadBack(out));
}

TEST_F(PayloadReaderTest, MappedFileStaysWholeWhileTheReaderLives) {
  // The reader's mapping keeps the file from being cut short under it.
  std::string package = kSevenZip + std::string(100000, 'p');
  base::FilePath path = Write(MakeImage() + Block(package));
  PayloadReader reader(path);
  ASSERT_EQ(PayloadType::full_package, reader.type());
  HANDLE file = ::CreateFileW(path.value().c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
  } else {
    LARGE_INTEGER zero = {};
    ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
    EXPECT_FALSE(::SetEndOfFile(file));
    ::CloseHandle(file);
  }
  EXPECT_EQ(package, reader.GetPayloadData());
}

// Executables signed by a real signing tool. The end-to-end suite makes them
// (they need host tools) and names their folder in this variable.
constexpr wchar_t kSignedFixturesVariable[] = L"VELTO_SIGNED_PAYLOAD_FIXTURES";

TEST(PayloadReaderSignedFileTest, FilesSignedByASigningTool) {
  wchar_t folder_text[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(kSignedFixturesVariable, folder_text, MAX_PATH))
    GTEST_SKIP() << "the end-to-end suite runs this test with signed files";
  const base::FilePath folder(folder_text);
  struct Case {
    const wchar_t* name;
    PayloadType type;
  } cases[] = {
      {L"signed.exe", PayloadType::none},
      {L"signed_package_inside.exe", PayloadType::full_package},
      {L"signed_package_outside.exe", PayloadType::none},
      {L"signed_tracking_inside.exe", PayloadType::tracking_data},
      {L"signed_tracking_outside.exe", PayloadType::tracking_data},
      {L"unsigned_package.exe", PayloadType::full_package},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUTF8(c.name));
    base::FilePath exe = folder.Append(c.name);
    ASSERT_TRUE(base::PathExists(exe));
    PayloadReader reader(exe);
    EXPECT_EQ(c.type, reader.type());
    std::string expected;
    base::ReadFileToString(base::FilePath(exe.value() + L".payload"), &expected);
    EXPECT_EQ(expected, reader.GetPayloadData());
  }
}

}  // namespace
}  // namespace installer
