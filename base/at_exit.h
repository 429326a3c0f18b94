// Process-exit clean-up without static destructors. The entry point keeps one
// AtExitManager on its stack; singletons register their clean-up with it, and
// the manager's destructor runs every registered callback, last registered
// first. ProcessCallbacksNow runs (and forgets) them earlier.
//
// Managers nest only through ShadowingAtExitManager (tests): a shadowing
// manager hides the outer one until it is destroyed, so a test can create and
// tear down singletons of its own. Registering with no manager is an error
// (logged); the callback then never runs.
//
// Callbacks run on the thread that destroys the manager (or calls
// ProcessCallbacksNow); one may register further callbacks, which run in the
// same pass.

#ifndef BASE_AT_EXIT_H_
#define BASE_AT_EXIT_H_

#include <stack>

#include "base/functional/callback.h"
#include "base/synchronization/lock.h"

namespace base {

class AtExitManager {
 public:
  using AtExitCallbackType = void (*)(void*);

  AtExitManager();
  AtExitManager(const AtExitManager&) = delete;
  AtExitManager& operator=(const AtExitManager&) = delete;
  ~AtExitManager();

  // Thread-safe.
  static void RegisterCallback(AtExitCallbackType func, void* param);
  static void RegisterTask(OnceClosure task);
  static void ProcessCallbacksNow();
  // True when a manager exists.
  static bool IsRegistered();

 protected:
  // For ShadowingAtExitManager.
  explicit AtExitManager(bool shadow);

 private:
  Lock lock_;
  std::stack<OnceClosure> stack_;
  AtExitManager* next_manager_;
};

// A manager that may be created while another one exists; for tests.
class ShadowingAtExitManager : public AtExitManager {
 public:
  ShadowingAtExitManager() : AtExitManager(true) {}
};

}  // namespace base

#endif  // BASE_AT_EXIT_H_
