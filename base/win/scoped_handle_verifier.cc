#include "base/win/scoped_handle_verifier.h"

#include <psapi.h>

#include <atomic>
#include <vector>

#include "base/logging.h"

namespace base::win {

namespace {

using GetHandleVerifierFunction = void* (*)();

const char* FaultName(ScopedHandleVerifier::Fault fault) {
  switch (fault) {
    case ScopedHandleVerifier::Fault::kAlreadyOwned:
      return "handle already held by another owner";
    case ScopedHandleVerifier::Fault::kNotOwner:
      return "handle released by an owner that does not hold it";
    case ScopedHandleVerifier::Fault::kDoubleClose:
      return "handle closed twice";
  }
  return "unknown handle fault";
}

// The first instance exported by a loaded module, or null.
ScopedHandleVerifier* FindExportedVerifier() {
  HANDLE process = GetCurrentProcess();
  std::vector<HMODULE> modules(256);
  DWORD needed = 0;
  for (;;) {
    DWORD size = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!EnumProcessModules(process, modules.data(), size, &needed))
      return nullptr;
    if (needed <= size)
      break;
    modules.resize(needed / sizeof(HMODULE));
  }
  modules.resize(needed / sizeof(HMODULE));
  for (HMODULE module : modules) {
    auto get = reinterpret_cast<GetHandleVerifierFunction>(
        GetProcAddress(module, ScopedHandleVerifier::kExportName));
    if (get)
      return static_cast<ScopedHandleVerifier*>(get());
  }
  return nullptr;
}

}  // namespace

ScopedHandleVerifier::ScopedHandleVerifier(FaultHandler fault_handler)
    : fault_handler_(fault_handler) {}

ScopedHandleVerifier::~ScopedHandleVerifier() = default;

// static
ScopedHandleVerifier* ScopedHandleVerifier::GetModuleInstance() {
  // Never destroyed: handles are still closed while the process ends.
  static ScopedHandleVerifier* instance = new ScopedHandleVerifier(&CrashOnFault);
  return instance;
}

// static
ScopedHandleVerifier* ScopedHandleVerifier::Get() {
  static std::atomic<ScopedHandleVerifier*> shared{nullptr};
  ScopedHandleVerifier* verifier = shared.load(std::memory_order_acquire);
  if (verifier)
    return verifier;
  verifier = FindExportedVerifier();
  if (!verifier)
    verifier = GetModuleInstance();
  ScopedHandleVerifier* expected = nullptr;
  if (!shared.compare_exchange_strong(expected, verifier, std::memory_order_acq_rel))
    verifier = expected;
  return verifier;
}

void ScopedHandleVerifier::StartTracking(HANDLE handle, const void* owner) {
  bool fault = false;
  AcquireSRWLockExclusive(&lock_);
  auto [it, inserted] = owners_.emplace(handle, owner);
  if (!inserted && it->second != owner)
    fault = true;
  ReleaseSRWLockExclusive(&lock_);
  if (fault)
    fault_handler_(Fault::kAlreadyOwned, handle);
}

void ScopedHandleVerifier::StopTracking(HANDLE handle, const void* owner) {
  bool fault = false;
  AcquireSRWLockExclusive(&lock_);
  auto it = owners_.find(handle);
  if (it == owners_.end() || it->second != owner)
    fault = true;
  else
    owners_.erase(it);
  ReleaseSRWLockExclusive(&lock_);
  if (fault)
    fault_handler_(Fault::kNotOwner, handle);
}

void ScopedHandleVerifier::OnCloseFailed(HANDLE handle) {
  fault_handler_(Fault::kDoubleClose, handle);
}

size_t ScopedHandleVerifier::TrackedCount() {
  AcquireSRWLockShared(&lock_);
  size_t count = owners_.size();
  ReleaseSRWLockShared(&lock_);
  return count;
}

// static
void ScopedHandleVerifier::CrashOnFault(Fault fault, HANDLE handle) {
  LOG(FATAL) << "Scoped handle fault: " << FaultName(fault) << " ("
             << reinterpret_cast<uintptr_t>(handle) << ")";
}

}  // namespace base::win
