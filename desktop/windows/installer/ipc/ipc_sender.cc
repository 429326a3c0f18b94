#include "desktop/windows/installer/ipc/ipc_sender.h"

#include <utility>

#include "base/functional/bind.h"
#include "base/location.h"
#include "base/logging.h"
#include "desktop/windows/installer/ipc/mailslot_constants.h"
#include "desktop/windows/installer/ipc/mailslot_writer.h"

namespace installer {

IpcSender::IpcSender() : ipc_thread_(kIpcThreadName) {}

IpcSender::~IpcSender() {
  Close();
}

bool IpcSender::Connect(const std::wstring& name) {
  if (!ipc_thread_.StartWithOptions(base::Thread::Options(base::MessageLoop::TYPE_IO))) {
    LOG(ERROR) << "Could not start IPC thread";
    return false;
  }
  VLOG(1) << "Preparing to send IPC on " << name;
  ipc_thread_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IpcSender::ConnectOnIpcThread, base::Unretained(this),
                                std::wstring(kMailslotPathPrefix) + name));
  return true;
}

void IpcSender::Send(base::Pickle message) {
  if (message.size() > kMailslotMaxMessageSize) {
    LOG(ERROR) << "Dropping a message of " << message.size()
               << " bytes, larger than the mailslot limit of " << kMailslotMaxMessageSize;
    return;
  }
  scoped_refptr<base::SingleThreadTaskRunner> runner = ipc_thread_.task_runner();
  if (!runner)
    return;  // not connected: nowhere to send
  runner->PostTask(FROM_HERE, base::BindOnce(&IpcSender::SendOnIpcThread, base::Unretained(this),
                                             std::move(message)));
}

void IpcSender::Close() {
  if (!ipc_thread_.IsRunning())
    return;
  VLOG(1) << "Stopping RPC sender";
  ipc_thread_.task_runner()->PostTask(
      FROM_HERE, base::BindOnce(&IpcSender::CloseOnIpcThread, base::Unretained(this)));
  ipc_thread_.Stop();
}

void IpcSender::ConnectOnIpcThread(const std::wstring& path) {
  writer_ = MailslotWriter::Open(path);
}

void IpcSender::SendOnIpcThread(base::Pickle message) {
  if (writer_)
    writer_->Write(std::move(message));
}

void IpcSender::CloseOnIpcThread() {
  writer_.reset();
}

}  // namespace installer
