// Transaction runs undoable operations one by one and keeps those that
// succeeded. Destroying it keeps their effects (each operation's destructor
// makes its change final); Rollback() takes them all back, newest first.
//
// Do() adopts the nested operations an operation ran on success, placed before
// it, so a rollback takes back the operation first and then its preparations.
// When an operation fails, its own partial change and its nested operations are
// taken back at once and the transaction is left as it was.
//
// Used on one thread; not copyable.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class Transaction {
 public:
  Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Keeps the effects: destroys the kept operations, first to last, without
  // undoing them.
  ~Transaction();

  // Takes ownership of |operation| and runs it. Returns the operation's result.
  bool Do(std::unique_ptr<Operation> operation);

  // Moves every kept operation of |other|, in its order, to the end of this
  // transaction, as if they had been done here; |other| is left empty. Lets a
  // group of operations that must stand or fall together be done in a
  // transaction of its own and kept only once all of them succeeded.
  void Adopt(Transaction* other);

  // Keeps the effects now, as destroying the transaction does: the kept
  // operations are destroyed, first to last, without being undone. The
  // transaction is empty afterwards and may be used again.
  void Commit();

  // Undoes every kept operation from the last to the first, then destroys them
  // from the first to the last. The transaction is empty afterwards and may be
  // used again.
  void Rollback();

  size_t size() const { return operations_.size(); }
  bool empty() const { return operations_.empty(); }

 private:
  // Destroys the operations from the first to the last.
  void DestroyOperations();

  std::vector<std::unique_ptr<Operation>> operations_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_TRANSACTION_H_
