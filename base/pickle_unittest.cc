#include "base/pickle.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace base {
namespace {

std::string Bytes(const Pickle& pickle) {
  return std::string(static_cast<const char*>(pickle.data()), pickle.size());
}

TEST(PickleTest, InstallerMessageLayoutIsByteExact) {
  Pickle pickle;
  ASSERT_TRUE(pickle.WriteString(":Installer message:"));
  ASSERT_TRUE(pickle.WriteInt(6));
  ASSERT_TRUE(pickle.WriteInt(-2));
  ASSERT_TRUE(pickle.WriteString16(L"ab\u00E9"));
  ASSERT_TRUE(pickle.WriteString(""));
  const std::string expected =
      std::string("\x30\x00\x00\x00", 4) +                       // P = 48
      std::string("\x13\x00\x00\x00", 4) + ":Installer message:" +  // 19 bytes
      std::string("\x00", 1) +                                    // pad to 20
      std::string("\x06\x00\x00\x00", 4) +                        // offset 28: type
      std::string("\xFE\xFF\xFF\xFF", 4) +                        // int -2
      std::string("\x03\x00\x00\x00", 4) +                        // 3 UTF-16 units
      std::string("a\x00" "b\x00" "\xE9\x00" "\x00\x00", 8) +     // 6 bytes + pad
      std::string("\x00\x00\x00\x00", 4);                         // empty string
  EXPECT_EQ(52u, pickle.size());
  EXPECT_EQ(48u, pickle.payload_size());
  EXPECT_EQ(expected, Bytes(pickle));
}

TEST(PickleTest, RoundTripOfEveryField) {
  Pickle pickle;
  pickle.WriteBool(true);
  pickle.WriteInt(-7);
  pickle.WriteUInt16(0xBEEF);
  pickle.WriteUInt32(0xFFFFFFFFu);
  pickle.WriteInt64(-1234567890123LL);
  pickle.WriteUInt64(0xFFFFFFFFFFFFFFFFull);
  pickle.WriteDouble(2.5);
  pickle.WriteString(std::string("a\0b", 3));
  pickle.WriteString16(L"C:\\Program Files");
  pickle.WriteData("xyz", 3);
  pickle.WriteBytes("12345", 5);

  const Pickle received(static_cast<const char*>(pickle.data()), pickle.size());
  ASSERT_TRUE(received.IsValid());
  PickleIterator it(received);
  bool b = false;
  int i = 0;
  uint16_t u16 = 0;
  uint32_t u32 = 0;
  int64_t i64 = 0;
  uint64_t u64 = 0;
  double d = 0;
  std::string s;
  std::wstring w;
  const char* data = nullptr;
  size_t length = 0;
  ASSERT_TRUE(it.ReadBool(&b));
  EXPECT_TRUE(b);
  ASSERT_TRUE(it.ReadInt(&i));
  EXPECT_EQ(-7, i);
  ASSERT_TRUE(it.ReadUInt16(&u16));
  EXPECT_EQ(0xBEEF, u16);
  ASSERT_TRUE(it.ReadUInt32(&u32));
  EXPECT_EQ(0xFFFFFFFFu, u32);
  ASSERT_TRUE(it.ReadInt64(&i64));
  EXPECT_EQ(-1234567890123LL, i64);
  ASSERT_TRUE(it.ReadUInt64(&u64));
  EXPECT_EQ(0xFFFFFFFFFFFFFFFFull, u64);
  ASSERT_TRUE(it.ReadDouble(&d));
  EXPECT_EQ(2.5, d);
  ASSERT_TRUE(it.ReadString(&s));
  EXPECT_EQ(std::string("a\0b", 3), s);
  ASSERT_TRUE(it.ReadString16(&w));
  EXPECT_EQ(L"C:\\Program Files", w);
  ASSERT_TRUE(it.ReadData(&data, &length));
  EXPECT_EQ("xyz", std::string(data, length));
  ASSERT_TRUE(it.ReadBytes(&data, 5));
  EXPECT_EQ("12345", std::string(data, 5));
  EXPECT_TRUE(it.ReachedEnd());
  EXPECT_FALSE(it.ReadInt(&i));
  EXPECT_EQ(-7, i);  // untouched on failure
}

TEST(PickleTest, ReceivedBytesAreChecked) {
  Pickle pickle;
  pickle.WriteInt(1);
  pickle.WriteString("hello");
  const std::string bytes = Bytes(pickle);

  // Header claims more than arrived: invalid.
  const Pickle cut(bytes.data(), bytes.size() - 1);
  EXPECT_FALSE(cut.IsValid());
  EXPECT_EQ(0u, cut.size());
  EXPECT_EQ(nullptr, cut.data());
  int value = 0;
  EXPECT_FALSE(PickleIterator(cut).ReadInt(&value));
  EXPECT_FALSE(Pickle(bytes.data(), 3).IsValid());
  EXPECT_FALSE(Pickle(nullptr, 0).IsValid());

  // Extra bytes after the payload are ignored.
  const std::string longer = bytes + "tail";
  const Pickle extra(longer.data(), longer.size());
  ASSERT_TRUE(extra.IsValid());
  EXPECT_EQ(bytes, Bytes(extra));

  // Writes to an invalid pickle are refused.
  Pickle invalid(bytes.data(), 2);
  EXPECT_FALSE(invalid.WriteInt(1));
  EXPECT_EQ(0u, invalid.size());
}

TEST(PickleTest, HostileLengthsNeverReadOutOfBounds) {
  // A string whose length field exceeds the payload.
  Pickle pickle;
  pickle.WriteInt(1000);
  pickle.WriteInt(0x41414141);
  PickleIterator it(pickle);
  std::string s = "unchanged";
  EXPECT_FALSE(it.ReadString(&s));
  EXPECT_EQ("unchanged", s);
  // The failed read did not move the iterator: the int is still there.
  int first = 0;
  EXPECT_TRUE(it.ReadInt(&first));
  EXPECT_EQ(1000, first);

  Pickle negative;
  negative.WriteInt(-4);
  negative.WriteInt(0);
  std::wstring w = L"unchanged";
  PickleIterator it2(negative);
  EXPECT_FALSE(PickleIterator(negative).ReadString16(&w));
  EXPECT_EQ(L"unchanged", w);
  size_t length = 0;
  EXPECT_FALSE(it2.ReadLength(&length));

  // A wide length whose byte size would wrap around.
  Pickle huge;
  huge.WriteInt(0x7FFFFFFF);
  EXPECT_FALSE(PickleIterator(huge).ReadString16(&w));

  // The last field may come without padding from a foreign writer.
  const char raw[] = {6, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
  const Pickle unpadded(raw, sizeof(raw));
  ASSERT_TRUE(unpadded.IsValid());
  PickleIterator it3(unpadded);
  EXPECT_TRUE(it3.ReadString(&s));
  EXPECT_EQ("hi", s);
  EXPECT_TRUE(it3.ReachedEnd());
  EXPECT_FALSE(it3.ReadBytes(nullptr, 1));
  EXPECT_FALSE(PickleIterator().ReadInt(&first));
}

TEST(PickleTest, CopyAndMove) {
  Pickle pickle;
  pickle.WriteInt(5);
  Pickle copy(pickle);
  EXPECT_EQ(Bytes(pickle), Bytes(copy));
  Pickle moved(std::move(copy));
  EXPECT_EQ(8u, moved.size());
  EXPECT_FALSE(copy.IsValid());  // NOLINT: moved-from state is documented as empty
}

}  // namespace
}  // namespace base
