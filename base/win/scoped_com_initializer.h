// Initializes COM on the current thread for the life of the object (single-
// threaded apartment by default) and uninitializes it on destruction, but only
// when the initialization succeeded. Succeeded() is false when the thread was
// already initialized in the other apartment kind (RPC_E_CHANGED_MODE); COM is
// still usable then, in that apartment. Create and destroy on the same thread.

#ifndef BASE_WIN_SCOPED_COM_INITIALIZER_H_
#define BASE_WIN_SCOPED_COM_INITIALIZER_H_

#include <windows.h>

namespace base::win {

class ScopedCOMInitializer {
 public:
  enum SelectMTA { kMTA };

  ScopedCOMInitializer();
  explicit ScopedCOMInitializer(SelectMTA mta);
  ScopedCOMInitializer(const ScopedCOMInitializer&) = delete;
  ScopedCOMInitializer& operator=(const ScopedCOMInitializer&) = delete;
  ~ScopedCOMInitializer();

  bool Succeeded() const { return SUCCEEDED(hr_); }
  HRESULT hr() const { return hr_; }

 private:
  void Initialize(DWORD init);

  HRESULT hr_ = E_FAIL;
  DWORD thread_id_ = 0;
};

}  // namespace base::win

#endif  // BASE_WIN_SCOPED_COM_INITIALIZER_H_
