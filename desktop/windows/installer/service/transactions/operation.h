// Operation is one undoable change to the file system or the registry.
//
// Contract:
// - Do() makes the change and remembers what it needs to take it back. A change
//   that needs a preparatory change first (a missing folder or key, a file in
//   the way) runs that as a further operation in |nested|; the caller's
//   transaction adopts the nested operations when Do() succeeds and rolls them
//   back when it fails.
// - Undo() takes back whatever part of the change Do() made, including after a
//   failed Do(); it reports nothing and does nothing when nothing was changed.
// - The destructor releases what the operation still holds. For some kinds
//   (deleting a file) this is when the change becomes final; it always runs
//   after the operation's own Undo() when there was one.
// Operations are used on one thread and are created on the heap and handed to
// a Transaction under unique ownership.

#ifndef DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_

namespace installer {

class Transaction;

class Operation {
 public:
  Operation() = default;
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;
  virtual ~Operation() = default;

  virtual bool Do(Transaction* nested) = 0;
  virtual void Undo() = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_SERVICE_TRANSACTIONS_OPERATION_H_
