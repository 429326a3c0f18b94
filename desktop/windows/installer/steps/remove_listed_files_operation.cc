#include "desktop/windows/installer/steps/remove_listed_files_operation.h"

#include <memory>
#include <utility>

#include "base/files/file_util.h"
#include "base/logging.h"
#include "desktop/windows/installer/service/transactions/delete_file_operation.h"
#include "desktop/windows/installer/service/transactions/transaction.h"

namespace installer {

namespace {

// At the commit (its destruction after a kept Do), removes each folder and
// its parents while they are empty, stopping below the install folder.
class PruneEmptyFoldersOperation : public Operation {
 public:
  PruneEmptyFoldersOperation(std::vector<base::FilePath> folders, base::FilePath top)
      : folders_(std::move(folders)), top_(std::move(top)) {}
  ~PruneEmptyFoldersOperation() override {
    if (undone_)
      return;
    for (base::FilePath folder : folders_) {
      while (top_.IsParent(folder) && base::IsDirectoryEmpty(folder) && base::DeleteFile(folder))
        folder = folder.DirName();
    }
  }
  bool Do(Transaction* nested) override { return true; }
  void Undo() override { undone_ = true; }

 private:
  std::vector<base::FilePath> folders_;
  base::FilePath top_;
  bool undone_ = false;
};

}  // namespace

RemoveListedFilesOperation::RemoveListedFilesOperation(std::vector<base::FilePath> files,
                                                       base::FilePath status_file,
                                                       base::FilePath install_folder,
                                                       bool keep_going)
    : files_(std::move(files)),
      status_file_(std::move(status_file)),
      install_folder_(std::move(install_folder)),
      keep_going_(keep_going) {}

RemoveListedFilesOperation::~RemoveListedFilesOperation() = default;

bool RemoveListedFilesOperation::Do(Transaction* nested) {
  std::vector<base::FilePath> folders;
  for (const base::FilePath& file : files_) {
    if (nested->Do(std::make_unique<DeleteFileOperation>(file.value(), false, false))) {
      folders.push_back(file.DirName());
      continue;
    }
    LOG(WARNING) << "Cannot remove " << file.AsUTF8Unsafe();
    any_failed_ = true;
    if (!keep_going_)
      return false;
  }
  if (!any_failed_) {
    VLOG(1) << "Deleting " << status_file_.AsUTF8Unsafe();
    if (nested->Do(std::make_unique<DeleteFileOperation>(status_file_.value(), false, false)))
      folders.push_back(status_file_.DirName());
  }
  nested->Do(std::make_unique<PruneEmptyFoldersOperation>(std::move(folders), install_folder_));
  return true;
}

}  // namespace installer
