#include "desktop/windows/installer/installer_mutex.h"

#include "base/logging.h"
#include "base/strings/utf_string_conversions.h"
#include "desktop/windows/installer/service/kernel_object_security.h"

namespace installer {

namespace {

constexpr wchar_t kMutexPrefix[] = L"Global\\Velto/Installer/";

}  // namespace

// static
std::wstring InstallerMutex::GetName(const base::FilePath& install_path) {
  std::wstring path = install_path.value();
  std::wstring normalised;
  normalised.reserve(path.size());
  for (wchar_t c : path) {
    if (c == L'\\')
      c = L'/';
    if (c == L'/' && !normalised.empty() && normalised.back() == L'/')
      continue;
    normalised.push_back(c);
  }
  while (normalised.size() > 1 && normalised.back() == L'/')
    normalised.pop_back();
  if (!normalised.empty()) {
    ::CharLowerBuffW(normalised.data(), static_cast<DWORD>(normalised.size()));
  }
  return kMutexPrefix + normalised;
}

InstallerMutex::InstallerMutex() = default;

InstallerMutex::~InstallerMutex() {
  StopHolding();
  Close();
}

// static
bool InstallerMutex::Open(const std::wstring& name, bool inherit_handle,
                          base::win::ScopedHandle* mutex, bool* foreign, bool* existed) {
  *foreign = false;
  *existed = false;
  KernelObjectSecurity security;
  if (!security.IsValid())
    return false;
  mutex->Set(::CreateMutexW(security.GetAttributes(inherit_handle), FALSE, name.c_str()));
  if (!mutex->IsValid())
    return false;
  *existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  if (*existed && !KernelObjectSecurity::IsOwnedByTrustedAccount(mutex->Get())) {
    LOG(ERROR) << "The installer mutex " << base::WideToUTF8(name)
               << " belongs to another account";
    mutex->Close();
    *foreign = true;
    return false;
  }
  return true;
}

InstallerMutex::AcquireResult InstallerMutex::TryAcquire(const std::wstring& name) {
  bool foreign = false;
  bool existed = false;
  if (!Open(name, true, &mutex_, &foreign, &existed))
    return foreign ? HELD_ELSEWHERE : NOT_CREATED;
  DWORD wait = ::WaitForSingleObject(mutex_.Get(), 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    mutex_.Close();
    return HELD_ELSEWHERE;
  }
  if (wait == WAIT_ABANDONED)
    LOG(INFO) << "Taking over an abandoned installer mutex";
  owned_ = true;
  // A mutex that was there before is this run's now: whoever made it chose
  // its access list, which this run replaces by its own, or leaves the
  // mutex alone.
  KernelObjectSecurity security;
  if (existed && !security.ReplaceAccessList(mutex_.Get())) {
    LOG(ERROR) << "The installer mutex " << base::WideToUTF8(name)
               << " cannot be given the installer's access list";
    Release();
    mutex_.Close();
    return HELD_ELSEWHERE;
  }
  return ACQUIRED;
}

void InstallerMutex::Release() {
  if (owned_ && mutex_.IsValid())
    ::ReleaseMutex(mutex_.Get());
  owned_ = false;
}

void InstallerMutex::Close() {
  mutex_.Close();
  owned_ = false;
}

bool InstallerMutex::HoldInBackground(const std::wstring& name) {
  if (holder_thread_.IsValid())
    return false;
  bool foreign = false;
  bool existed = false;
  if (!Open(name, false, &mutex_, &foreign, &existed))
    return false;
  stop_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  waiting_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  held_event_.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stop_event_.IsValid() || !waiting_event_.IsValid() || !held_event_.IsValid()) {
    return false;
  }
  holder_thread_.Set(::CreateThread(nullptr, 0, &InstallerMutex::HoldThread, this, 0, nullptr));
  if (!holder_thread_.IsValid())
    return false;
  // The thread signals this in the same call that begins its wait, so from
  // here on the mutex goes to it before any other installer can take it.
  HANDLE handles[] = {waiting_event_.Get(), holder_thread_.Get()};
  return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0;
}

bool InstallerMutex::WaitUntilHeld(DWORD timeout_ms) {
  return held_event_.IsValid() &&
         ::WaitForSingleObject(held_event_.Get(), timeout_ms) == WAIT_OBJECT_0;
}

// static
DWORD WINAPI InstallerMutex::HoldThread(void* param) {
  auto* self = static_cast<InstallerMutex*>(param);
  // Alertable, so that StopHolding can end the wait (WakeHolder); only that
  // queues anything to this thread.
  DWORD wait =
      ::SignalObjectAndWait(self->waiting_event_.Get(), self->mutex_.Get(), INFINITE, TRUE);
  while (wait == WAIT_IO_COMPLETION) {
    if (::WaitForSingleObject(self->stop_event_.Get(), 0) == WAIT_OBJECT_0)
      return 0;
    wait = ::WaitForSingleObjectEx(self->mutex_.Get(), INFINITE, TRUE);
  }
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED)
    return 0;
  ::SetEvent(self->held_event_.Get());
  ::WaitForSingleObject(self->stop_event_.Get(), INFINITE);
  ::ReleaseMutex(self->mutex_.Get());
  return 0;
}

// static
void CALLBACK InstallerMutex::WakeHolder(ULONG_PTR param) {}

void InstallerMutex::StopHolding() {
  if (!holder_thread_.IsValid())
    return;
  ::SetEvent(stop_event_.Get());
  ::QueueUserAPC(&InstallerMutex::WakeHolder, holder_thread_.Get(), 0);
  ::WaitForSingleObject(holder_thread_.Get(), INFINITE);
  holder_thread_.Close();
}

}  // namespace installer
