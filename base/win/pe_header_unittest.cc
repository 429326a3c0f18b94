#include "base/win/pe_header.h"

#include <cstring>
#include <string>

#include "gtest/gtest.h"

namespace base::win {
namespace {

// "MZ", the signature offset at 0x3C, and at that offset "PE\0\0", the
// machine and the rest of a 20-byte file header.
std::string Image(uint32_t signature_offset, uint16_t machine) {
  std::string image(signature_offset + 24, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  std::memcpy(&image[0x3C], &signature_offset, 4);
  std::memcpy(&image[signature_offset], "PE\0\0", 4);
  std::memcpy(&image[signature_offset + 4], &machine, 2);
  return image;
}

bool Read(const std::string& image, PeHeader* header) {
  return ReadPeHeader(
      [&image](uint64_t offset, void* out, size_t size) {
        if (offset > image.size() || size > image.size() - offset)
          return false;
        std::memcpy(out, image.data() + offset, size);
        return true;
      },
      header);
}

TEST(PeHeaderTest, FindsTheSignatureAndTheMachine) {
  PeHeader header;
  ASSERT_TRUE(Read(Image(0x80, 0x8664), &header));
  EXPECT_EQ(0x80u, header.signature_offset);
  EXPECT_EQ(0x8664, header.machine);
}

TEST(PeHeaderTest, RefusesWhatIsNoImage) {
  PeHeader header;
  std::string image = Image(0x80, 0x014C);
  EXPECT_FALSE(Read(image.substr(0, image.size() - 1), &header));  // file header cut
  EXPECT_FALSE(Read(image.substr(0, 0x3E), &header));
  std::string no_mz = image;
  no_mz[1] = 'X';
  EXPECT_FALSE(Read(no_mz, &header));
  std::string no_pe = image;
  no_pe[0x82] = 'X';
  EXPECT_FALSE(Read(no_pe, &header));
  std::string far = image;
  std::memset(&far[0x3C], 0xFF, 4);
  EXPECT_FALSE(Read(far, &header));
}

}  // namespace
}  // namespace base::win
