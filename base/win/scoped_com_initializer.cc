#include "base/win/scoped_com_initializer.h"

#include <objbase.h>

#include "base/logging.h"

namespace base::win {

ScopedCOMInitializer::ScopedCOMInitializer() {
  Initialize(COINIT_APARTMENTTHREADED);
}

ScopedCOMInitializer::ScopedCOMInitializer(SelectMTA) {
  Initialize(COINIT_MULTITHREADED);
}

ScopedCOMInitializer::~ScopedCOMInitializer() {
  DCHECK_EQ(thread_id_, ::GetCurrentThreadId());
  // S_FALSE (already initialized in the same apartment) also needs its own
  // CoUninitialize; RPC_E_CHANGED_MODE does not.
  if (Succeeded())
    ::CoUninitialize();
}

void ScopedCOMInitializer::Initialize(DWORD init) {
  thread_id_ = ::GetCurrentThreadId();
  hr_ = ::CoInitializeEx(nullptr, init);
  if (hr_ == RPC_E_CHANGED_MODE)
    LOG(WARNING) << "COM is already initialized in the other apartment kind on this thread";
}

}  // namespace base::win
