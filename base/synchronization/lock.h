// A non-recursive mutual-exclusion lock (an SRW lock held exclusively), with
// scoped helpers: AutoLock holds it for a scope, AutoUnlock releases a held
// lock for a scope. Acquiring a lock already held by the same thread
// deadlocks; that is a bug in the caller.

#ifndef BASE_SYNCHRONIZATION_LOCK_H_
#define BASE_SYNCHRONIZATION_LOCK_H_

#include <windows.h>

namespace base {

class Lock {
 public:
  Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock();

  void Acquire();
  void Release();
  // Takes the lock if it is free; never waits.
  [[nodiscard]] bool Try();
  // No check in this build; documents the caller's expectation.
  void AssertAcquired() const {}

 private:
  friend class ConditionVariable;
  SRWLOCK srw_lock_ = SRWLOCK_INIT;
};

class AutoLock {
 public:
  explicit AutoLock(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;
  ~AutoLock() { lock_.Release(); }

 private:
  Lock& lock_;
};

class AutoUnlock {
 public:
  explicit AutoUnlock(Lock& lock) : lock_(lock) { lock_.Release(); }
  AutoUnlock(const AutoUnlock&) = delete;
  AutoUnlock& operator=(const AutoUnlock&) = delete;
  ~AutoUnlock() { lock_.Acquire(); }

 private:
  Lock& lock_;
};

}  // namespace base

#endif  // BASE_SYNCHRONIZATION_LOCK_H_
