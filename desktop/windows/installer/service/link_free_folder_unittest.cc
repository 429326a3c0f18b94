#include "desktop/windows/installer/service/link_free_folder.h"

#include <windows.h>

#include <string>

#include "base/files/file_util.h"
#include "base/strings/utf_string_conversions.h"
#include "base/test/test_environment.h"
#include "gtest/gtest.h"

namespace installer {

namespace {

class LinkFreeFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    base_ = base::FilePath(base::test::ScratchFolder())
                .Append(base::test::UniqueName(L"link free folder"));
    ASSERT_TRUE(base::CreateDirectory(base_));
  }

  base::FilePath base_;
};

}  // namespace

TEST_F(LinkFreeFolderTest, OpensAnExistingFolderWithoutMakingIt) {
  LinkFreeFolder folder;
  std::string reason;
  ASSERT_TRUE(folder.Open(base_, READ_CONTROL, nullptr, &reason)) << reason;
  EXPECT_FALSE(folder.made());
  base::FilePath opened;
  ASSERT_TRUE(base::GetFinalPathFromHandle(folder.Get(), &opened));
  base::FilePath expected;
  ASSERT_TRUE(base::NormalizeFilePath(base_, &expected));
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(expected.value(), opened.value()));
  EXPECT_TRUE(folder.RemoveMade(&reason));
  EXPECT_TRUE(base::DirectoryExists(base_));
}

// The missing folders are made inside the folder that was opened, however
// its path changes meanwhile: a folder swapped in at the same path (for a
// junction to a system folder, say) never receives them.
TEST_F(LinkFreeFolderTest, MakesTheMissingFoldersInTheFolderItHolds) {
  const base::FilePath existing = base_.Append(L"a");
  ASSERT_TRUE(base::CreateDirectory(existing));
  const base::FilePath moved = base_.Append(L"a moved");
  base::FilePath seen;
  const auto swap = [&](const base::FilePath& found) {
    seen = found;
    // Between finding what exists and making the rest.
    EXPECT_TRUE(::MoveFileW(existing.value().c_str(), moved.value().c_str()));
    EXPECT_TRUE(base::CreateDirectory(existing));
    return std::string();
  };
  LinkFreeFolder folder;
  std::string reason;
  ASSERT_TRUE(folder.Open(existing.Append(L"b\\c"), READ_CONTROL, swap, &reason)) << reason;
  EXPECT_TRUE(folder.made());
  EXPECT_TRUE(base::FilePath::CompareEqualIgnoreCase(seen.BaseName().value(), L"a"));
  EXPECT_TRUE(base::DirectoryExists(moved.Append(L"b\\c")));
  EXPECT_FALSE(base::PathExists(existing.Append(L"b")));

}

// What was made goes with what was put in it; a folder made by someone else
// stays.
TEST_F(LinkFreeFolderTest, RemovesWhatItMadeWithWhatLiesInIt) {
  const base::FilePath existing = base_.Append(L"a");
  ASSERT_TRUE(base::CreateDirectory(existing));
  LinkFreeFolder folder;
  std::string reason;
  ASSERT_TRUE(folder.Open(existing.Append(L"b\\c"), READ_CONTROL, nullptr, &reason)) << reason;
  ASSERT_TRUE(base::WriteFile(existing.Append(L"b\\c\\file.txt"), "x"));
  ASSERT_TRUE(base::CreateDirectory(existing.Append(L"b\\c\\d\\e")));
  EXPECT_TRUE(folder.RemoveMade(&reason)) << reason;
  EXPECT_FALSE(base::PathExists(existing.Append(L"b")));
  EXPECT_TRUE(base::DirectoryExists(existing));
}

TEST_F(LinkFreeFolderTest, MakesNothingWhereItIsRefused) {
  const auto refuse = [](const base::FilePath&) { return std::string("refused"); };
  LinkFreeFolder folder;
  std::string reason;
  EXPECT_FALSE(folder.Open(base_.Append(L"a\\b"), READ_CONTROL, refuse, &reason));
  EXPECT_EQ("refused", reason);
  EXPECT_FALSE(base::PathExists(base_.Append(L"a")));
}

// A component that cannot be made stops the walk, and so does a file where
// a folder should be; the folders made before go again.
TEST_F(LinkFreeFolderTest, RemovesWhatItMadeWhenItFails) {
  ASSERT_TRUE(base::WriteFile(base_.Append(L"file"), "x"));
  LinkFreeFolder folder;
  std::string reason;
  EXPECT_FALSE(folder.Open(base_.Append(L"b\\c\\bad|name"), READ_CONTROL, nullptr, &reason));
  EXPECT_NE(std::string::npos, reason.find("Cannot make the folder")) << reason;
  EXPECT_FALSE(folder.Open(base_.Append(L"file\\b"), READ_CONTROL, nullptr, &reason));
  EXPECT_EQ("Not a folder: " + base::WideToUTF8(base_.Append(L"file").value()), reason);
  EXPECT_FALSE(folder.Open(base_.Append(L"..\\b"), READ_CONTROL, nullptr, &reason));
  EXPECT_FALSE(folder.Open(base::FilePath(L"relative\\b"), READ_CONTROL, nullptr, &reason));
  EXPECT_FALSE(base::PathExists(base_.Append(L"b")));
}

}  // namespace installer
