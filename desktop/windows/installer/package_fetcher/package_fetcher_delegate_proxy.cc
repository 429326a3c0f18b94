#include "desktop/windows/installer/package_fetcher/package_fetcher_delegate_proxy.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"

namespace installer {

PackageFetcherDelegateProxy::PackageFetcherDelegateProxy(PackageFetcherUIDelegate* ui_delegate,
                                                         PackageFetcherObserver* observer)
    : task_runner_(base::SingleThreadTaskRunner::GetCurrentDefault()),
      observer_(observer),
      ui_delegate_(ui_delegate) {
  CHECK(ui_delegate);
}

PackageFetcherDelegateProxy::~PackageFetcherDelegateProxy() = default;

void PackageFetcherDelegateProxy::Clear() {
  observer_ = nullptr;
  ui_delegate_ = nullptr;
}

void PackageFetcherDelegateProxy::SetTotalProgress(int total) {
  task_runner_->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("SetTotalProgress"),
                         base::BindOnce(&PackageFetcherDelegateProxy::DoSetTotalProgress,
                                        scoped_refptr<PackageFetcherDelegateProxy>(this), total));
}

void PackageFetcherDelegateProxy::SetCurrentProgress(int current) {
  task_runner_->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("SetCurrentProgress"),
      base::BindOnce(&PackageFetcherDelegateProxy::DoSetCurrentProgress,
                     scoped_refptr<PackageFetcherDelegateProxy>(this), current));
}

void PackageFetcherDelegateProxy::NotifyStalled(int last_error) {
  task_runner_->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("NotifyStalled"),
                         base::BindOnce(&PackageFetcherDelegateProxy::DoNotifyStalled,
                                        scoped_refptr<PackageFetcherDelegateProxy>(this),
                                        last_error));
}

void PackageFetcherDelegateProxy::NotifyStatusChanged(PackageFetcherStatus status) {
  task_runner_->PostTask(FROM_HERE_WITH_EXPLICIT_FUNCTION("NotifyStatusChanged"),
                         base::BindOnce(&PackageFetcherDelegateProxy::DoNotifyStatusChanged,
                                        scoped_refptr<PackageFetcherDelegateProxy>(this), status));
}

void PackageFetcherDelegateProxy::RunUICallbackAndPostReply(
    UICallback ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
    ReplyCallback reply_callback) {
  task_runner_->PostTask(
      FROM_HERE_WITH_EXPLICIT_FUNCTION("RunUICallbackAndPostReply"),
      base::BindOnce(&PackageFetcherDelegateProxy::DoRunUICallbackAndPostReply,
                     scoped_refptr<PackageFetcherDelegateProxy>(this), std::move(ui_callback),
                     std::move(reply_runner), std::move(reply_callback)));
}

void PackageFetcherDelegateProxy::DoSetTotalProgress(int total) {
  if (PackageFetcherObserver* observer = observer_.load())
    observer->SetTotalProgress(total);
}

void PackageFetcherDelegateProxy::DoSetCurrentProgress(int current) {
  if (PackageFetcherObserver* observer = observer_.load())
    observer->SetCurrentProgress(current);
}

void PackageFetcherDelegateProxy::DoNotifyStalled(int last_error) {
  if (PackageFetcherObserver* observer = observer_.load())
    observer->NotifyStalled(last_error);
}

void PackageFetcherDelegateProxy::DoNotifyStatusChanged(PackageFetcherStatus status) {
  if (PackageFetcherObserver* observer = observer_.load())
    observer->NotifyStatusChanged(status);
}

void PackageFetcherDelegateProxy::DoRunUICallbackAndPostReply(
    UICallback ui_callback,
    scoped_refptr<base::SingleThreadTaskRunner> reply_runner,
    ReplyCallback reply_callback) {
  if (PackageFetcherUIDelegate* ui_delegate = ui_delegate_.load()) {
    ui_delegate->RunUICallbackAndPostReply(std::move(ui_callback), std::move(reply_runner),
                                           std::move(reply_callback));
  }
}

}  // namespace installer
