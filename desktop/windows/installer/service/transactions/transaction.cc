#include "desktop/windows/installer/service/transactions/transaction.h"

#include <utility>

namespace installer {

Transaction::Transaction() = default;

Transaction::~Transaction() {
  DestroyOperations();
}

bool Transaction::Do(std::unique_ptr<Operation> operation) {
  Transaction nested;
  if (operation->Do(&nested)) {
    Adopt(&nested);
    operations_.push_back(std::move(operation));
    return true;
  }
  // The failed operation goes first: its own partial change may stand on what
  // its nested operations prepared.
  operation->Undo();
  nested.Rollback();
  operation.reset();
  return false;
}

void Transaction::Adopt(Transaction* other) {
  for (auto& operation : other->operations_)
    operations_.push_back(std::move(operation));
  other->operations_.clear();
}

void Transaction::Commit() {
  DestroyOperations();
}

void Transaction::Rollback() {
  for (auto it = operations_.rbegin(); it != operations_.rend(); ++it)
    (*it)->Undo();
  DestroyOperations();
}

void Transaction::DestroyOperations() {
  // Take the list first so that a destructor that (indirectly) looks at this
  // transaction finds it already empty.
  std::vector<std::unique_ptr<Operation>> operations = std::move(operations_);
  operations_.clear();
  for (auto& operation : operations)
    operation.reset();
}

}  // namespace installer
