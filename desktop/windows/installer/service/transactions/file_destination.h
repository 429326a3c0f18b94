// What copying and moving a file onto a path have in common: making room at
// the destination as nested, undoable operations, and the read-only bit of the
// source, which is cleared for the transfer and given back afterwards so that
// the source is left as it was found.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_FILE_DESTINATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_FILE_DESTINATION_H_

#include <string>

namespace installer {

class Transaction;

// Creates the destination's missing folder, or moves an existing destination
// aside to its ".old" backup, each as an operation in |nested|. False when the
// nested operation failed.
bool PrepareFileDestination(const std::wstring& destination, Transaction* nested);

// Clears FILE_ATTRIBUTE_READONLY on |path|. Returns true when the bit was set
// and has been cleared (so the caller should give it back later).
bool ClearReadOnlyAttribute(const std::wstring& path);

// Sets FILE_ATTRIBUTE_READONLY on |path| again; failures are ignored.
void RestoreReadOnlyAttribute(const std::wstring& path);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_FILE_DESTINATION_H_
