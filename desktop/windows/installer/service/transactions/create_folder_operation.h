// CreateFolderOperation creates a folder with every missing level above it.
// Undo removes the levels it created, deepest first, as long as they are empty:
// a folder that meanwhile received a file of someone else stops the removal
// there and keeps that file.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_

#include <string>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class CreateFolderOperation : public Operation {
 public:
  explicit CreateFolderOperation(const std::wstring& path);
  ~CreateFolderOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  std::wstring path_;
  // The deepest folder that existed before Do(); empty while Do() has created
  // nothing.
  std::wstring existing_ancestor_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_CREATE_FOLDER_OPERATION_H_
