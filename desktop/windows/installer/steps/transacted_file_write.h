// Writes a whole file as one operation of a transaction: the contents go to a
// temporary file beside the target, which is then copied onto the target by
// a CopyFileOperation and removed. A rollback puts the previous file back (or removes a
// new one); nothing half-written is ever left at the target.
#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_TRANSACTED_FILE_WRITE_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_TRANSACTED_FILE_WRITE_H_

#include <string_view>

#include "base/files/file_path.h"

namespace installer {

class Transaction;

// False (and the temporary file removed) when the contents could not be
// written or moved into place.
bool WriteFileInTransaction(Transaction* transaction, const base::FilePath& path,
                            std::string_view contents);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_TRANSACTED_FILE_WRITE_H_
