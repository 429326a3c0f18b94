#include "desktop/windows/installer/authenticode/running_image.h"

#include <string>

#include "base/files/file_util.h"
#include "base/files/scoped_temp_dir.h"
#include "desktop/windows/installer/service/test/signature_fixtures.h"
#include "gtest/gtest.h"

namespace authenticode {
namespace {

// A fixture mapped as an image, as the loader maps an executable it starts.
class MappedFixture {
 public:
  explicit MappedFixture(const wchar_t* name)
      : module_(LoadLibraryExW(installer::GetSignatureFixture(name).value().c_str(), nullptr,
                               LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~MappedFixture() {
    if (module_)
      FreeLibrary(module_);
  }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
};

TEST(RunningImageTest, TestProgramIsUnsigned) {
  EXPECT_TRUE(RunningImage().IsUnsigned());
}

TEST(RunningImageTest, SignedImageIsNotUnsigned) {
  MappedFixture signed_image(L"expected.exe");
  MappedFixture unsigned_image(L"unsigned.exe");
  ASSERT_TRUE(signed_image.module());
  ASSERT_TRUE(unsigned_image.module());
  EXPECT_FALSE(RunningImage(signed_image.module()).IsUnsigned());
  EXPECT_TRUE(RunningImage(unsigned_image.module()).IsUnsigned());
}

// Once mapped, the image stays what it was loaded as, whatever happens to its
// file.
TEST(RunningImageTest, ImageOutlivesItsFile) {
  base::ScopedTempDir temp;
  ASSERT_TRUE(temp.CreateUniqueTempDir());
  const base::FilePath copy = temp.GetPath().Append(L"copy.exe");
  ASSERT_TRUE(base::CopyFile(installer::GetSignatureFixture(L"expected.exe"), copy));
  HMODULE module = LoadLibraryExW(copy.value().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module);
  const base::FilePath moved = temp.GetPath().Append(L"moved.exe");
  ASSERT_TRUE(MoveFileW(copy.value().c_str(), moved.value().c_str()));
  ASSERT_TRUE(base::CopyFile(installer::GetSignatureFixture(L"unsigned.exe"), copy));
  EXPECT_FALSE(RunningImage(module).IsUnsigned());
  FreeLibrary(module);
}

}  // namespace
}  // namespace authenticode
