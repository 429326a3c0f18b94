// Carries every report of the package fetcher's worker thread to the front
// end's thread: each observer and UI-delegate call posts a task there that
// makes the same call on the front end's object, as long as that object is
// still set. The fetcher's core clears both when it goes, so reports still
// on their way then do nothing.
//
// Built on the front end's thread, whose task runner it keeps. Reference
// counted (thread-safe): the core and every posted task hold a reference, so
// the proxy outlives everything that names it.

#ifndef DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_DELEGATE_PROXY_H_
#define DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_DELEGATE_PROXY_H_

#include <atomic>

#include "base/memory/ref_counted.h"
#include "base/task/single_thread_task_runner.h"
#include "desktop/windows/installer/wininet/package_fetcher_observer.h"
#include "desktop/windows/installer/wininet/package_fetcher_ui_delegate.h"

namespace installer {

class PackageFetcherDelegateProxy : public PackageFetcherObserver,
                                    public PackageFetcherUIDelegate,
                                    public base::RefCountedThreadSafe<PackageFetcherDelegateProxy> {
 public:
  // |ui_delegate| is required; |observer| may be null. Both belong to the front
  // end and are only called on the current thread.
  PackageFetcherDelegateProxy(PackageFetcherUIDelegate* ui_delegate,
                              PackageFetcherObserver* observer);
  PackageFetcherDelegateProxy(const PackageFetcherDelegateProxy&) = delete;
  PackageFetcherDelegateProxy& operator=(const PackageFetcherDelegateProxy&) = delete;

  // From now on posted reports do nothing. Called when the fetcher's core
  // goes, while the front end's thread waits for it.
  void Clear();

  // PackageFetcherObserver:
  void SetTotalProgress(int total) override;
  void SetCurrentProgress(int current) override;
  void NotifyStalled(int last_error) override;
  void NotifyStatusChanged(PackageFetcherStatus status) override;

  // PackageFetcherUIDelegate:
  void RunUICallbackAndPostReply(UICallback ui_callback,
                                 scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                 ReplyCallback reply_callback) override;

 private:
  friend class base::RefCountedThreadSafe<PackageFetcherDelegateProxy>;
  ~PackageFetcherDelegateProxy() override;

  void DoSetTotalProgress(int total);
  void DoSetCurrentProgress(int current);
  void DoNotifyStalled(int last_error);
  void DoNotifyStatusChanged(PackageFetcherStatus status);
  void DoRunUICallbackAndPostReply(UICallback ui_callback,
                                   scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
                                   ReplyCallback reply_callback);

  const scoped_refptr<base::SingleThreadTaskRunner> task_runner_;
  std::atomic<PackageFetcherObserver*> observer_;
  std::atomic<PackageFetcherUIDelegate*> ui_delegate_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_PACKAGE_FETCHER_PACKAGE_FETCHER_DELEGATE_PROXY_H_
