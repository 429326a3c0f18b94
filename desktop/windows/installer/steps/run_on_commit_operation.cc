#include "desktop/windows/installer/steps/run_on_commit_operation.h"

#include <utility>

namespace installer {

RunOnCommitOperation::RunOnCommitOperation(base::OnceClosure work) : work_(std::move(work)) {}

RunOnCommitOperation::~RunOnCommitOperation() {
  if (work_)
    std::move(work_).Run();
}

bool RunOnCommitOperation::Do(Transaction* nested) {
  return true;
}

void RunOnCommitOperation::Undo() {
  work_.Reset();
}

}  // namespace installer
