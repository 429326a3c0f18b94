// RunOnCommitOperation: work that may only happen once a run is kept, as an
// operation of its transaction. Do() changes nothing; the work runs when the
// operation is destroyed without having been undone, that is when the
// transaction keeps its changes. A rollback drops the work. For what cannot
// be taken back (starting the clean-up batch file, deleting a profile), so
// that a run that fails or is cancelled after its step never does it.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_ON_COMMIT_OPERATION_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_ON_COMMIT_OPERATION_H_

#include "base/functional/callback.h"
#include "desktop/windows/installer/service/transactions/operation.h"

namespace installer {

class RunOnCommitOperation : public Operation {
 public:
  explicit RunOnCommitOperation(base::OnceClosure work);
  ~RunOnCommitOperation() override;

  bool Do(Transaction* nested) override;
  void Undo() override;

 private:
  base::OnceClosure work_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_ON_COMMIT_OPERATION_H_
