#include "desktop/windows/installer/ipc/ipc_receiver.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/ipc/mailslot_reader.h"

namespace installer {

IpcReceiver::IpcReceiver(Delegate* delegate)
    : ipc_thread_(kIpcThreadName), delegate_(delegate) {}

IpcReceiver::~IpcReceiver() {
  Close();
}

bool IpcReceiver::Connect(const std::wstring& name) {
  owner_task_runner_ = base::SingleThreadTaskRunner::GetCurrentDefault();
  weak_this_ = weak_factory_.GetWeakPtr();
  if (!ipc_thread_.StartWithOptions(base::Thread::Options(base::MessageLoop::TYPE_IO))) {
    LOG(ERROR) << "Could not start IPC thread";
    return false;
  }
  VLOG(1) << "Preparing to receive IPC on " << name;
  // Created here rather than on the IPC thread: a name that cannot be had
  // (another receiver owns it) must fail the connection, before the caller
  // starts a writer that would report into the void.
  std::unique_ptr<MailslotReader> reader = MailslotReader::Create(
      std::wstring(kMailslotPathPrefix) + name,
      base::BindRepeating(&IpcReceiver::OnMessageReceived, base::Unretained(this)));
  if (!reader) {
    ipc_thread_.Stop();
    return false;
  }
  ipc_thread_.task_runner()->PostTask(
      FROM_HERE,
      base::BindOnce(&IpcReceiver::StartOnIpcThread, base::Unretained(this), std::move(reader)));
  return true;
}

void IpcReceiver::Close() {
  // Messages already on their way to the creating thread are dropped too.
  weak_factory_.InvalidateWeakPtrs();
  if (!ipc_thread_.IsRunning())
    return;
  VLOG(1) << "Stopping RPC receiver";
  ipc_thread_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IpcReceiver::CloseOnIpcThread, base::Unretained(this)));
  ipc_thread_.Stop();
}

void IpcReceiver::CloseWhenRead() {
  if (!ipc_thread_.IsRunning())
    return;
  ipc_thread_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IpcReceiver::CloseWhenReadOnIpcThread, base::Unretained(this)));
  // Joined after the close: the mailslot's name is free on return. The
  // messages read are on their way to this thread, still bound to a valid
  // receiver.
  ipc_thread_.Stop();
}

void IpcReceiver::OnMessageReceived(base::Pickle message) {
  owner_task_runner_->PostTask(
      FROM_HERE, base::BindOnce(&IpcReceiver::DeliverMessage, weak_this_, std::move(message)));
}

void IpcReceiver::StartOnIpcThread(std::unique_ptr<MailslotReader> reader) {
  reader_ = std::move(reader);
  reader_->Start();
}

void IpcReceiver::CloseOnIpcThread() {
  reader_.reset();
}

void IpcReceiver::CloseWhenReadOnIpcThread() {
  if (!reader_)
    return;
  reader_->ReadWaiting();
  reader_.reset();
}

void IpcReceiver::DeliverMessage(base::Pickle message) {
  delegate_->HandleMessage(message);
}

}  // namespace installer
