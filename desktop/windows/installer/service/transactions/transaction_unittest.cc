#include "desktop/windows/installer/service/transactions/transaction.h"

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/files/file_enumerator.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/test/test_environment.h"
#include "desktop/windows/installer/service/transactions/change_reg_value_operation.h"
#include "desktop/windows/installer/service/transactions/copy_file_operation.h"
#include "desktop/windows/installer/service/transactions/create_folder_operation.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/delete_reg_key_operation.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

// Records every call of every fake operation in one shared journal.
class FakeOperation : public Operation {
 public:
  FakeOperation(std::string name,
                std::vector<std::string>* journal,
                bool result = true,
                std::vector<std::string> nested = {})
      : name_(std::move(name)), journal_(journal), result_(result), nested_(std::move(nested)) {}
  ~FakeOperation() override { journal_->push_back("~" + name_); }

  bool Do(Transaction* nested) override {
    journal_->push_back("do " + name_);
    for (const std::string& name : nested_)
      nested->Do(std::make_unique<FakeOperation>(name, journal_));
    return result_;
  }
  void Undo() override { journal_->push_back("undo " + name_); }

 private:
  std::string name_;
  std::vector<std::string>* journal_;
  bool result_;
  std::vector<std::string> nested_;
};

using Journal = std::vector<std::string>;

TEST(TransactionTest, RollbackUndoesNewestFirstThenDestroysOldestFirst) {
  Journal journal;
  Transaction transaction;
  EXPECT_TRUE(transaction.Do(std::make_unique<FakeOperation>("a", &journal)));
  EXPECT_TRUE(transaction.Do(std::make_unique<FakeOperation>("b", &journal, true,
                                                             Journal{"b1", "b2"})));
  EXPECT_EQ(4u, transaction.size());
  journal.clear();
  transaction.Rollback();
  // The operation comes back before its nested preparations, newest first.
  EXPECT_EQ((Journal{"undo b", "undo b2", "undo b1", "undo a", "~a", "~b1", "~b2", "~b"}),
            journal);
  EXPECT_TRUE(transaction.empty());

  journal.clear();
  transaction.Rollback();
  EXPECT_TRUE(journal.empty());

  // Usable again after a rollback.
  EXPECT_TRUE(transaction.Do(std::make_unique<FakeOperation>("c", &journal)));
  EXPECT_EQ(1u, transaction.size());
}

TEST(TransactionTest, DestructionKeepsEffectsWithoutUndo) {
  Journal journal;
  {
    Transaction transaction;
    transaction.Do(std::make_unique<FakeOperation>("a", &journal, true, Journal{"a1"}));
    transaction.Do(std::make_unique<FakeOperation>("b", &journal));
    journal.clear();
  }
  EXPECT_EQ((Journal{"~a1", "~a", "~b"}), journal);
}

TEST(TransactionTest, CommitKeepsEffectsNowAndLeavesItEmpty) {
  Journal journal;
  Transaction transaction;
  transaction.Do(std::make_unique<FakeOperation>("a", &journal, true, Journal{"a1"}));
  transaction.Do(std::make_unique<FakeOperation>("b", &journal));
  journal.clear();
  transaction.Commit();
  EXPECT_EQ((Journal{"~a1", "~a", "~b"}), journal);
  EXPECT_TRUE(transaction.empty());
  journal.clear();
  transaction.Rollback();
  EXPECT_TRUE(journal.empty());
}

TEST(TransactionTest, FailedOperationIsUndoneWithItsNestedOperationsAndNotKept) {
  Journal journal;
  Transaction transaction;
  transaction.Do(std::make_unique<FakeOperation>("a", &journal));
  journal.clear();
  EXPECT_FALSE(transaction.Do(
      std::make_unique<FakeOperation>("f", &journal, false, Journal{"f1", "f2"})));
  EXPECT_EQ((Journal{"do f", "do f1", "do f2", "undo f", "undo f2", "undo f1", "~f1", "~f2",
                     "~f"}),
            journal);
  EXPECT_EQ(1u, transaction.size());
}

// A snapshot of a folder tree: relative path -> contents ("<dir>" for folders).
std::map<std::wstring, std::string> SnapshotFolder(const base::FilePath& root) {
  std::map<std::wstring, std::string> snapshot;
  base::FileEnumerator enumerator(root, true,
                                  base::FileEnumerator::FILES | base::FileEnumerator::DIRECTORIES);
  for (base::FilePath path = enumerator.Next(); !path.empty(); path = enumerator.Next()) {
    base::FilePath relative;
    root.AppendRelativePath(path, &relative);
    std::string contents = "<dir>";
    if (!enumerator.GetInfo().IsDirectory())
      base::ReadFileToString(path, &contents);
    snapshot[relative.value()] = contents;
  }
  return snapshot;
}

// A snapshot of a registry tree: "key|value" -> type and bytes.
void SnapshotKey(HKEY root, const std::wstring& path, std::map<std::wstring, std::string>* out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return;
  (*out)[path] = "<key>";
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = 256;
    BYTE data[4096];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, data, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    (*out)[path + L"|" + std::wstring(name, name_length)] =
        std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
  }
  std::vector<std::wstring> subkeys;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD name_length = 256;
    if (RegEnumKeyExW(key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name, name_length);
  }
  RegCloseKey(key);
  for (const std::wstring& subkey : subkeys)
    SnapshotKey(root, path + L"\\" + subkey, out);
}

class TransactionFilesAndRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = base::FilePath(base::test::ScratchFolder()).Append(base::test::UniqueName(L"tx"));
    source_ = root_.Append(L"package");
    target_ = root_.Append(L"installed");
    key_ = L"Software\\" + base::test::UniqueName(L"TxTest");

    // The package: a tree of new files.
    Write(source_.Append(L"browser.exe"), "new browser");
    Write(source_.Append(L"browser.dll"), "new library");
    Write(source_.Append(L"locales\\en.pak"), "new english");
    Write(source_.Append(L"locales\\de.pak"), "new german");
    Write(source_.Append(L"resources\\extra\\data.bin"), std::string("\0\1\2new", 6));
    // The installed tree it goes over: some files to replace, some to keep.
    Write(target_.Append(L"browser.exe"), "old browser");
    Write(target_.Append(L"locales\\en.pak"), "old english");
    Write(target_.Append(L"user_notes.txt"), "the user's own file");

    // Registry: one value that exists before, the rest go under missing keys.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    DWORD old_value = 7;
    RegSetValueExW(key, L"Existing", 0, REG_DWORD, reinterpret_cast<BYTE*>(&old_value),
                   sizeof(old_value));
    RegCloseKey(key);
  }

  static void Write(const base::FilePath& path, const std::string& contents) {
    ASSERT_TRUE(base::CreateDirectory(path.DirName()));
    ASSERT_TRUE(base::WriteFile(path, contents));
  }

  std::map<std::wstring, std::string> RegistrySnapshot() {
    std::map<std::wstring, std::string> snapshot;
    SnapshotKey(HKEY_CURRENT_USER, key_, &snapshot);
    return snapshot;
  }

  // Copies the package over the installed tree and writes the registration.
  bool Install(Transaction* transaction) {
    const wchar_t* files[] = {L"browser.exe", L"browser.dll", L"locales\\en.pak",
                              L"locales\\de.pak", L"resources\\extra\\data.bin"};
    for (const wchar_t* file : files) {
      if (!transaction->Do(std::make_unique<CopyFileOperation>(source_.Append(file).value(),
                                                               target_.Append(file).value()))) {
        return false;
      }
    }
    const std::wstring text = L"C:\\Velto\\browser.exe";
    const DWORD number = 42;
    return transaction->Do(std::make_unique<ChangeRegValueOperation>(
               HKEY_CURRENT_USER, key_ + L"\\Classes\\VeltoHTML\\shell\\open\\command", L"",
               text.c_str(), REG_SZ, (text.size() + 1) * 2, 0)) &&
           transaction->Do(std::make_unique<ChangeRegValueOperation>(
               HKEY_CURRENT_USER, key_, L"Existing", &number, REG_DWORD, 4, 0)) &&
           transaction->Do(std::make_unique<ChangeRegValueOperation>(
               HKEY_CURRENT_USER, key_ + L"\\Deep\\Er", L"Flag", &number, REG_DWORD, 4, 0));
  }

  bool HasOldFile() {
    for (const auto& [path, contents] : SnapshotFolder(target_)) {
      if (path.size() > 4 && path.compare(path.size() - 4, 4, L".old") == 0)
        return true;
    }
    return false;
  }

  base::FilePath root_;
  base::FilePath source_;
  base::FilePath target_;
  std::wstring key_;
};

TEST_F(TransactionFilesAndRegistryTest, RollbackRestoresFilesAndRegistryExactly) {
  const auto files_before = SnapshotFolder(target_);
  const auto registry_before = RegistrySnapshot();
  Transaction transaction;
  ASSERT_TRUE(Install(&transaction));
  EXPECT_NE(files_before, SnapshotFolder(target_));
  EXPECT_NE(registry_before, RegistrySnapshot());

  transaction.Rollback();
  EXPECT_EQ(files_before, SnapshotFolder(target_));
  EXPECT_EQ(registry_before, RegistrySnapshot());
}

TEST_F(TransactionFilesAndRegistryTest, CommitLeavesNewFilesAndNoBackups) {
  {
    Transaction transaction;
    ASSERT_TRUE(Install(&transaction));
    // The replaced files wait as backups until the transaction is kept.
    EXPECT_TRUE(HasOldFile());
  }
  EXPECT_FALSE(HasOldFile());
  auto files = SnapshotFolder(target_);
  EXPECT_EQ("new browser", files[L"browser.exe"]);
  EXPECT_EQ("new english", files[L"locales\\en.pak"]);
  EXPECT_EQ(std::string("\0\1\2new", 6), files[L"resources\\extra\\data.bin"]);
  EXPECT_EQ("the user's own file", files[L"user_notes.txt"]);
  auto registry = RegistrySnapshot();
  EXPECT_EQ(std::string("4:") + std::string("\x2a\0\0\0", 4), registry[key_ + L"|Existing"]);
  EXPECT_EQ(1u, registry.count(key_ + L"\\Deep\\Er|Flag"));
}

TEST_F(TransactionFilesAndRegistryTest, FailureMidwayIsRolledBackCompletely) {
  const auto files_before = SnapshotFolder(target_);
  const auto registry_before = RegistrySnapshot();
  Transaction transaction;
  ASSERT_TRUE(Install(&transaction));
  // A step that fails after a key deletion and a file deletion were kept.
  ASSERT_TRUE(transaction.Do(std::make_unique<DeleteFileOperation>(
      target_.Append(L"user_notes.txt").value(), false, true)));
  ASSERT_TRUE(transaction.Do(
      std::make_unique<DeleteRegKeyOperation>(HKEY_CURRENT_USER, key_ + L"\\Classes", 0)));
  ASSERT_TRUE(transaction.Do(
      std::make_unique<CreateFolderOperation>(target_.Append(L"a\\b\\c").value())));
  EXPECT_FALSE(transaction.Do(std::make_unique<CopyFileOperation>(
      source_.Append(L"missing.dll").value(), target_.Append(L"x\\y\\missing.dll").value())));
  // The failed copy took back the folders it created for itself.
  EXPECT_FALSE(base::PathExists(target_.Append(L"x")));

  transaction.Rollback();
  EXPECT_EQ(files_before, SnapshotFolder(target_));
  EXPECT_EQ(registry_before, RegistrySnapshot());
}

}  // namespace
}  // namespace installer
