#include "base/synchronization/lock.h"

namespace base {

Lock::Lock() = default;
Lock::~Lock() = default;

void Lock::Acquire() {
  AcquireSRWLockExclusive(&srw_lock_);
}

void Lock::Release() {
  ReleaseSRWLockExclusive(&srw_lock_);
}

bool Lock::Try() {
  return TryAcquireSRWLockExclusive(&srw_lock_) != 0;
}

}  // namespace base
