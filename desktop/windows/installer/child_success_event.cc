#include "desktop/windows/installer/child_success_event.h"

#include <atomic>
#include <string>

#include "base/command_line.h"
#include "base/logging.h"
#include "desktop/windows/installer/installer_kernel_objects.h"
#include "desktop/windows/installer/installer_switches.h"
#include "desktop/windows/installer/service/kernel_object_security.h"
#include "desktop/windows/installer/service/system_utils.h"

namespace installer {

ChildSuccessEvent::ChildSuccessEvent() = default;

ChildSuccessEvent::~ChildSuccessEvent() = default;

bool ChildSuccessEvent::Prepare(base::CommandLine* child) {
  static std::atomic<unsigned> launches{0};
  const std::wstring name = GetKernelObjectName(
      std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++launches),
      kernel_objects::kChildSucceededEvent, false);
  // A name of this process's is new unless an event of an earlier process
  // with the same id is still held somewhere: its state is not this child's,
  // and it is reset. The child may run as another administrator account.
  event_ = KernelObjectSecurity::CreateNamedEvent(name, true);
  if (!event_.IsValid()) {
    LOG(ERROR) << "Could not create the event of the child installer's success";
    return false;
  }
  child->AppendSwitchNative(switches::kSuccessEvent, name);
  return true;
}

bool ChildSuccessEvent::IsSet() const {
  return event_.IsValid() && ::WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0;
}

// static
bool ChildSuccessEvent::Report(const base::CommandLine& command_line) {
  if (!command_line.HasSwitch(switches::kSuccessEvent))
    return true;
  const std::wstring name = command_line.GetSwitchValueNative(switches::kSuccessEvent);
  base::win::ScopedHandle event(::OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
  if (!event.IsValid() || !::SetEvent(event.Get())) {
    LOG(ERROR) << "Could not report success to the installer that started this one "
               << ::GetLastError();
    return false;
  }
  return true;
}

}  // namespace installer
