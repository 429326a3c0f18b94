// The front end's service to code that runs elsewhere and needs the user: it
// runs a UI callback (such as the proxy-credentials dialog) on the UI thread,
// with the front end's window as parent, and posts the callback's result to
// the requester's thread. Implemented by the front-end controllers and by the
// package fetcher's proxy.

#ifndef DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_UI_DELEGATE_H_
#define DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_UI_DELEGATE_H_

#include <windows.h>

#include "base/functional/callback.h"
#include "base/memory/ref_counted.h"
#include "base/task/single_thread_task_runner.h"

namespace installer {

class PackageFetcherUIDelegate {
 public:
  // Runs on the UI thread with the front end's window (may be null).
  using UICallback = base::OnceCallback<DWORD(HWND parent)>;
  // Receives the UI callback's result on the reply task runner.
  using ReplyCallback = base::OnceCallback<void(DWORD result)>;

  virtual ~PackageFetcherUIDelegate() = default;
  virtual void RunUICallbackAndPostReply(UICallback ui_callback,
                                         scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                         ReplyCallback reply_callback) = 0;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_WININET_PACKAGE_FETCHER_UI_DELEGATE_H_
