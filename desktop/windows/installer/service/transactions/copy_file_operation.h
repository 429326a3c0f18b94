// CopyFileOperation copies one file onto a destination path. A missing
// destination folder is created, and a file already standing at the
// destination is moved to its ".old" backup, both as nested operations: a
// rollback deletes the copy and then brings the old file back; a commit deletes
// the backup. The source is left as it was found (its read-only bit is cleared
// only for the copy); the copy itself is never read-only.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_

#include <string>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class CopyFileOperation : public Operation {
 public:
  CopyFileOperation(const std::wstring& source, const std::wstring& destination);
  ~CopyFileOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  std::wstring source_;
  std::wstring destination_;
  bool copied_ = false;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_COPY_FILE_OPERATION_H_
