// RemoveListedFilesOperation removes what one earlier installation left: the
// files its status record lists, then that status file, and at the commit the
// folders that became empty below the install folder. The deletions are
// nested operations, so the run's transaction takes them back with the rest
// of a failed run, and they become final only when the run succeeds.
//
// With |keep_going| (uninstall) a deletion that fails is passed over and the
// status file is kept for a later run; without it (upgrade) the first failure
// fails Do(), which takes back this installation's deletions at once.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_LISTED_FILES_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_LISTED_FILES_OPERATION_H_

#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class RemoveListedFilesOperation : public Operation {
 public:
  // |files| and |status_file| lie below |install_folder|, which is never
  // removed itself.
  RemoveListedFilesOperation(std::vector<base::FilePath> files, base::FilePath status_file,
                             base::FilePath install_folder, bool keep_going);
  ~RemoveListedFilesOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override {}

  // Some listed file could not be removed.
  bool any_failed() const { return any_failed_; }

 private:
  std::vector<base::FilePath> files_;
  base::FilePath status_file_;
  base::FilePath install_folder_;
  bool keep_going_;
  bool any_failed_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_REMOVE_LISTED_FILES_OPERATION_H_
