#include "desktop/windows/installer/wininet/wininet_termination_thread.h"

#include <wininet.h>

#include "base/logging.h"
#include "base/threading/platform_thread.h"
#include "base/time/time.h"
#include "base/win/windows_version.h"

namespace installer {

namespace {

constexpr char kThreadName[] = "Wininet Termination";
// Before Vista WinINet may never report the connection closed.
constexpr base::TimeDelta kPreVistaWait = base::TimeDelta::FromSeconds(5);

}  // namespace

WininetTerminationThread::WininetTerminationThread(base::WaitableEvent* event, void** session)
    : event_(event), session_(session) {}

WininetTerminationThread::~WininetTerminationThread() {
  Join();
}

bool WininetTerminationThread::Start() {
  thread_.Set(CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
  if (!thread_.IsValid()) {
    PLOG(ERROR) << "Could not start the " << kThreadName << " thread";
    return false;
  }
  return true;
}

void WininetTerminationThread::Join() {
  if (!thread_.IsValid())
    return;
  WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Close();
}

// static
DWORD WINAPI WininetTerminationThread::ThreadMain(void* param) {
  base::PlatformThread::SetName(kThreadName);
  static_cast<WininetTerminationThread*>(param)->Run();
  return 0;
}

void WininetTerminationThread::Run() {
  if (base::win::GetVersion() < base::win::VERSION_VISTA) {
    if (!event_->TimedWait(kPreVistaWait))
      InternetSetStatusCallbackW(*session_, nullptr);
  } else {
    VLOG(1) << "Waiting for WinINET to finish";
    event_->Wait();
  }
  if (*session_)
    InternetCloseHandle(*session_);
  *session_ = nullptr;
  event_->Reset();
}

}  // namespace installer
