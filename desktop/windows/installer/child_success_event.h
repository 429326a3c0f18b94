// ChildSuccessEvent: how an installer process learns that a child installer
// it hands its run to (the elevated copy, the package's own installer)
// succeeded. An exit code of 0 alone does not say so: a process ended from
// outside may leave 0 behind (Wine gives it to a process killed by a signal,
// and any program may end another with 0).
//
// Before each launch the waiting process makes an event of its own, not set,
// and names it on the child's command line (switch "success-event"); the
// child's back end sets it once its run has succeeded. The child succeeded
// when it ended with exit code 0 and the event is set. The name holds the
// waiting process's id and a count of its launches, so that the events of
// nested children (an elevated copy that itself starts the package's
// installer) and of successive children never meet.
#ifndef DESKTOP_WINDOWS_INSTALLER_CHILD_SUCCESS_EVENT_H_
#define DESKTOP_WINDOWS_INSTALLER_CHILD_SUCCESS_EVENT_H_

#include <windows.h>

#include "base/win/scoped_handle.h"

namespace base {
class CommandLine;
}

namespace installer {

class ChildSuccessEvent {
 public:
  ChildSuccessEvent();
  ChildSuccessEvent(const ChildSuccessEvent&) = delete;
  ChildSuccessEvent& operator=(const ChildSuccessEvent&) = delete;
  ~ChildSuccessEvent();

  // Makes a new event, not set, and names it on |child|. False when no event
  // could be made: the child could then never report its success.
  bool Prepare(base::CommandLine* child);
  // Whether the child has reported success.
  bool IsSet() const;

  // The child's side: sets the event that |command_line| names, if it names
  // one. False when it names one that cannot be set.
  static bool Report(const base::CommandLine& command_line);

 private:
  base::win::ScopedHandle event_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_CHILD_SUCCESS_EVENT_H_
